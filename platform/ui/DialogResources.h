// The dialog templates built into the program, per resource module ("kelmon", "pavlet"),
// with a current module that is searched first, as a resource chain is.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/DialogTemplate.h"

namespace platform::ui {

// Adds (or re-points) a module whose templates are the *.dlg files of `root`, a folder of the
// program's built-in resources (":/dialogs/pavlet") or of the file system. The modules
// "kelmon" and "pavlet" exist from the start; later modules are searched after them.
// Re-pointing a module elsewhere drops its loaded templates (earlier pointers to them dangle).
// User-interface thread, as all functions here.
void RegisterDialogModule(const std::string& module, const std::string& root);

// Makes a module the current one (searched first); returns the previous current module.
std::string SetCurrentResourceModule(const std::string& module);
std::string CurrentResourceModule();

// The template of that id or name: the current module's first, then the other modules' in
// their order. Null when no module has it (or its file failed to load).
const DialogTemplate* FindDialogTemplate(int32_t id);
const DialogTemplate* FindDialogTemplate(const std::string& name);

// The roots of the modules in search order (the current module's first), for the other
// resources that live beside the templates (tool bars).
std::vector<std::string> ResourceModuleRoots();

// Loads every template file of a module; returns "file: error" lines for the files that
// failed and for ids or names used twice in the module.
std::vector<std::string> LoadDialogModule(const std::string& module);
// The templates of a module that loaded, in file-name order.
std::vector<const DialogTemplate*> DialogModuleTemplates(const std::string& module);

// Makes a module current for the lifetime of the object.
class ScopedResourceModule {
public:
    explicit ScopedResourceModule(const std::string& module)
        : previous_(SetCurrentResourceModule(module)) {}
    ~ScopedResourceModule() { SetCurrentResourceModule(previous_); }
    ScopedResourceModule(const ScopedResourceModule&) = delete;
    ScopedResourceModule& operator=(const ScopedResourceModule&) = delete;

private:
    std::string previous_;
};

}  // namespace platform::ui
