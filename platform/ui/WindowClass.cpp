// The registry of window classes and the behaviour shared by all of them.
#include "platform/ui/WindowClass.h"

#include <QWidget>
#include <map>

#include "platform/ui/Messages.h"
#include "platform/ui/StandardControls.h"
#include "platform/ui/WindowApi.h"

namespace platform::ui {
namespace {

std::map<std::string, std::unique_ptr<WindowClass>>& Registry() {
    static std::map<std::string, std::unique_ptr<WindowClass>> registry = [] {
        std::map<std::string, std::unique_ptr<WindowClass>> classes;
        classes[kPlainWindowClass] = std::make_unique<WindowClass>();
        for (auto& [name, windowClass] : MakeStandardClasses())
            classes[name] = std::move(windowClass);
        return classes;
    }();
    return registry;
}

}  // namespace

QWidget* WindowClass::CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const {
    return new QWidget(parent, flags);  // owned by its parent, or by its window until destroyed
}

void WindowClass::ApplyStyle(QWidget*, DWORD) const {}

void WindowClass::Connect(HWND, QWidget*) const {}

std::string WindowClass::GetText(const QWidget* widget) const {
    return widget->windowTitle().toStdString();
}

void WindowClass::SetText(QWidget* widget, const std::string& text) const {
    widget->setWindowTitle(QString::fromStdString(text));
}

LRESULT WindowClass::ClassProc(WindowRecord&, UINT, WPARAM, LPARAM, bool* handled) const {
    *handled = false;
    return 0;
}

void RegisterWindowClass(const std::string& name, std::unique_ptr<WindowClass> windowClass) {
    if (windowClass) Registry()[name] = std::move(windowClass);
}

const WindowClass* FindWindowClass(const std::string& name) {
    auto& registry = Registry();
    auto it = registry.find(name);
    return it == registry.end() ? nullptr : it->second.get();
}

void NotifyParent(HWND control, WORD code) {
    HWND parent = ::GetParent(control);
    if (!parent) return;
    ::SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(::GetDlgCtrlID(control)), code),
                  static_cast<LPARAM>(control));
}

LRESULT SendNotify(HWND from, UINT code, NMHDR* header) {
    header->hwndFrom = from;
    header->idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(from));
    header->code = code;
    HWND parent = ::GetParent(from);
    if (!parent) return 0;
    return ::SendMessage(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

}  // namespace platform::ui
