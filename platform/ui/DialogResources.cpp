// Dialog template modules: lazy loading of each module's template files and the search order.
#include "platform/ui/DialogResources.h"

#include <QDir>
#include <QFile>
#include <memory>

// Named here so that the static library's built-in templates are linked in and registered.
static void InitBuiltInTemplates() { Q_INIT_RESOURCE(pavlet_dialogs); }

namespace platform::ui {
namespace {

struct Module {
    std::string name;
    std::string root;
    bool loaded = false;
    std::vector<std::unique_ptr<DialogTemplate>> templates;  // in file-name order
    std::vector<std::string> errors;
};

struct Registry {
    std::vector<Module> modules;
    std::string current = "kelmon";
};

Registry& Modules() {
    static Registry registry = [] {
        InitBuiltInTemplates();
        Registry r;
        r.modules.push_back(Module{"kelmon", ":/dialogs/kelmon", false, {}, {}});
        r.modules.push_back(Module{"pavlet", ":/dialogs/pavlet", false, {}, {}});
        return r;
    }();
    return registry;
}

Module* FindModule(const std::string& name) {
    for (Module& module : Modules().modules)
        if (module.name == name) return &module;
    return nullptr;
}

void Load(Module& module) {
    if (module.loaded) return;
    module.loaded = true;
    QDir dir(QString::fromStdString(module.root));
    const QStringList files = dir.entryList({"*.dlg"}, QDir::Files, QDir::Name);
    for (const QString& fileName : files) {
        const std::string label = fileName.toStdString();
        QFile file(dir.filePath(fileName));
        if (!file.open(QIODevice::ReadOnly)) {
            module.errors.push_back(label + ": cannot be read");
            continue;
        }
        const QByteArray bytes = file.readAll();
        auto parsed = std::make_unique<DialogTemplate>();
        std::string error;
        if (!ParseDialogTemplate(std::string_view(bytes.constData(), bytes.size()), parsed.get(),
                                 &error)) {
            module.errors.push_back(label + ": " + error);
            continue;
        }
        bool clash = false;
        for (const auto& other : module.templates) {
            if (other->id == parsed->id || (!parsed->name.empty() && other->name == parsed->name)) {
                module.errors.push_back(label + ": dialog " + std::to_string(parsed->id) + " (" +
                                        parsed->name + ") defined twice");
                clash = true;
                break;
            }
        }
        if (!clash) module.templates.push_back(std::move(parsed));
    }
}

// Modules in search order: the current one, then the others as registered.
std::vector<Module*> SearchOrder() {
    Registry& registry = Modules();
    std::vector<Module*> order;
    if (Module* current = FindModule(registry.current)) order.push_back(current);
    for (Module& module : registry.modules)
        if (module.name != registry.current) order.push_back(&module);
    return order;
}

template <typename Match>
const DialogTemplate* Search(Match match) {
    for (Module* module : SearchOrder()) {
        Load(*module);
        for (const auto& each : module->templates)
            if (match(*each)) return each.get();
    }
    return nullptr;
}

}  // namespace

void RegisterDialogModule(const std::string& module, const std::string& root) {
    if (Module* existing = FindModule(module)) {
        if (existing->root != root) *existing = Module{module, root, false, {}, {}};
        return;
    }
    Modules().modules.push_back(Module{module, root, false, {}, {}});
}

std::string SetCurrentResourceModule(const std::string& module) {
    std::string previous = Modules().current;
    Modules().current = module;
    return previous;
}

std::string CurrentResourceModule() { return Modules().current; }

const DialogTemplate* FindDialogTemplate(int32_t id) {
    return Search([id](const DialogTemplate& t) { return t.id == id; });
}

const DialogTemplate* FindDialogTemplate(const std::string& name) {
    if (name.empty()) return nullptr;
    return Search([&name](const DialogTemplate& t) { return t.name == name; });
}

std::vector<std::string> ResourceModuleRoots() {
    std::vector<std::string> roots;
    for (const Module* module : SearchOrder()) roots.push_back(module->root);
    return roots;
}

std::vector<std::string> LoadDialogModule(const std::string& module) {
    Module* found = FindModule(module);
    if (!found) return {module + ": no such module"};
    Load(*found);
    return found->errors;
}

std::vector<const DialogTemplate*> DialogModuleTemplates(const std::string& module) {
    std::vector<const DialogTemplate*> out;
    if (Module* found = FindModule(module)) {
        Load(*found);
        for (const auto& each : found->templates) out.push_back(each.get());
    }
    return out;
}

}  // namespace platform::ui
