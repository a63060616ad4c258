// The settings store's window forms over the installation profile.
#include "flexui/ConfigureWindow.h"

#include <charconv>
#include <string>

#include "platform/ui/Wnd.h"
#include "record/Configure.h"

namespace pavlet {

void ReadConfigure(std::string_view section, std::string_view key, CWnd* window, const char* def) {
    if (window == nullptr) return;
    window->SetWindowText(ReadConfigure(section, key, def));
}

void ReadConfigure(std::string_view section, std::string_view key, CWnd* window, int def) {
    if (window == nullptr) return;
    char digits[16];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, ReadConfigInt(section, key, def, 0, 0)).ptr;
    window->SetWindowText(std::string(digits, end));
}

int WriteConfigure(std::string_view section, std::string_view key, CWnd* window) {
    if (window == nullptr) return 0;
    return WriteConfigure(section, key, std::string_view(window->GetWindowText()));
}

}  // namespace pavlet
