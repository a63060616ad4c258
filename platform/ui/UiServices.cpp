// The accessor of the UI services and the message-box and sound functions over them.
#include "platform/ui/UiServices.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "platform/ui/QtUiServices.h"

namespace platform::ui {
namespace {

UiServices* gServices = nullptr;
std::string gCaption;

}  // namespace

UiServices& GetUiServices() {
    if (gServices) return *gServices;
    static QtUiServices desktop;
    return desktop;
}

void SetUiServices(UiServices* services) { gServices = services; }

void SetMessageBoxCaption(const std::string& caption) { gCaption = caption; }

bool IsWebAddress(const std::string& url) {
    auto startsWith = [&url](std::string_view scheme) {
        if (url.size() < scheme.size()) return false;
        for (size_t i = 0; i < scheme.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
        return true;
    };
    size_t host = 0;
    if (startsWith("http://"))
        host = 7;
    else if (startsWith("https://"))
        host = 8;
    else
        return false;
    if (host >= url.size() || url[host] == '/' || url[host] == '?' || url[host] == '#')
        return false;
    // No blanks or control characters, which a browser's command line could split on.
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace platform::ui

int AfxMessageBox(const std::string& text, UINT type, UINT) {
    return platform::ui::GetUiServices().MessageBox(0, text, platform::ui::gCaption, type);
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return platform::ui::GetUiServices().MessageBox(owner, text ? text : "",
                                                    caption ? caption : "错误", type);
}

BOOL MessageBeep(UINT type) {
    platform::ui::GetUiServices().Beep(type);
    return TRUE;
}

BOOL PlaySound(const char* sound, size_t size, DWORD flags) {
    auto& services = platform::ui::GetUiServices();
    if ((flags & SND_MEMORY) && (flags & SND_RESOURCE) != SND_RESOURCE)
        return sound && services.PlaySoundBytes(sound, size, flags) ? TRUE : FALSE;
    return services.PlaySoundFile(sound ? sound : "", flags) ? TRUE : FALSE;
}
