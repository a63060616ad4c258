// The desktop implementation of the UI services over Qt's dialogs.
#pragma once

#include "platform/ui/UiServices.h"

namespace platform::ui {

class QtUiServices : public UiServices {
public:
    QtUiServices();
    ~QtUiServices() override;
    int MessageBox(HWND owner, const std::string& text, const std::string& caption,
                   UINT type) override;
    std::vector<std::string> FileDialog(HWND owner, const FileDialogRequest& request) override;
    bool ChooseColor(HWND owner, COLORREF* color) override;
    bool ChooseFont(HWND owner, LOGFONT* font, COLORREF* color) override;
    bool PlaySoundFile(const std::string& path, DWORD flags) override;
    bool PlaySoundBytes(const void* data, size_t size, DWORD flags) override;
    void Beep(UINT type) override;
    RECT WorkArea(HWND near) override;
    bool SetWindowOpacity(HWND hwnd, BYTE alpha) override;

private:
    // Sounds go through the program's one sound player (platform/core), one at a time.
    void StopSound();
};

// "Text (*.txt)|*.txt|All (*.*)|*.*||" -> "Text (*.txt);;All (*.*)" with the patterns of
// each pair ("*.txt;*.csv" -> "*.txt *.csv").
std::string QtFileFilter(const std::string& filter);

}  // namespace platform::ui
