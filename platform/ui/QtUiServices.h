// The desktop implementation of the UI services over Qt's dialogs.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/UiServices.h"

class QTemporaryDir;

namespace platform::ui {

class QtUiServices : public UiServices {
public:
    QtUiServices();
    ~QtUiServices() override;
    int MessageBox(HWND owner, const std::string& text, const std::string& caption,
                   UINT type) override;
    std::vector<std::string> FileDialog(HWND owner, const FileDialogRequest& request) override;
    bool ChooseFolder(HWND owner, const std::string& title, std::string* folder) override;
    bool ChooseColor(HWND owner, COLORREF* color) override;
    bool ChooseFont(HWND owner, LOGFONT* font, COLORREF* color) override;
    bool PlaySoundFile(const std::string& path, DWORD flags) override;
    bool PlaySoundBytes(const void* data, size_t size, DWORD flags) override;
    void Beep(UINT type) override;
    RECT WorkArea(HWND near) override;
    bool SetWindowOpacity(HWND hwnd, BYTE alpha) override;
    bool OpenUrl(const std::string& url) override;
    // What hands an address (a web address or the form page's file: address) to the desktop;
    // the desktop's own opener unless replaced (tests record instead of starting a browser).
    using BrowserOpener = std::function<bool(const std::string& url)>;
    void SetBrowserOpener(BrowserOpener opener) { opener_ = std::move(opener); }
    // The browser opens a page of this process that submits the form as it loads: one file in
    // a folder of this process that only the user can enter, rewritten each time and removed
    // with this object (the browser may still be reading it when the call returns).
    bool PostForm(const std::string& url, const FormFields& fields) override;

private:
    // Sounds go through the program's one sound player (platform/core), one at a time.
    void StopSound();
    bool Open(const std::string& url);
    std::unique_ptr<QTemporaryDir> formFolder_;  // made on the first PostForm
    BrowserOpener opener_;
};

// "Text (*.txt)|*.txt|All (*.*)|*.*||" -> "Text (*.txt);;All (*.*)" with the patterns of
// each pair ("*.txt;*.csv" -> "*.txt *.csv").
std::string QtFileFilter(const std::string& filter);

// A UTF-8 page that posts the fields to the address as soon as it is loaded (a button does it
// where scripts are off). Names and values are escaped for HTML, never read as markup.
std::string AutoSubmitFormPage(const std::string& url, const FormFields& fields);

}  // namespace platform::ui
