// The accessor of the UI services and the message-box and sound functions over them.
#include "platform/ui/UiServices.h"

#include <cstring>

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
