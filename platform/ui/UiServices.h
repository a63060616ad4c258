// The one replaceable interface for what the window code asks of the desktop: message boxes,
// file, folder, colour and font dialogs, sounds, the screen work area, window opacity and the
// web browser. Tests put a scripted implementation in place so that nothing ever waits for a
// person and no browser starts.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsBoxes.h"
#include "platform/ui/WinDefsDraw.h"

namespace platform::ui {

struct FileDialogRequest {
    bool open = true;   // open or save
    std::string title;  // empty: the desktop's own
    std::string initialDir;
    std::string fileName;    // proposed name
    std::string defaultExt;  // without the dot
    std::string filter;      // "Text (*.txt)|*.txt|All (*.*)|*.*||"
    DWORD flags = 0;         // OFN_*
};

// The fields of a web form, in the order they are sent: (name, value).
using FormFields = std::vector<std::pair<std::string, std::string>>;

class UiServices {
public:
    virtual ~UiServices() = default;
    // Returns the ID* of the chosen button.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption,
                           UINT type) = 0;
    // The chosen paths; empty when cancelled.
    virtual std::vector<std::string> FileDialog(HWND owner, const FileDialogRequest& request) = 0;
    // In: the folder to start in (empty: the desktop's choice); out: the chosen one. false when
    // cancelled, and *folder is then left alone.
    virtual bool ChooseFolder(HWND owner, const std::string& title, std::string* folder) = 0;
    // In: the proposed colour; out: the chosen one. false when cancelled.
    virtual bool ChooseColor(HWND owner, COLORREF* color) = 0;
    virtual bool ChooseFont(HWND owner, LOGFONT* font, COLORREF* color) = 0;
    // SND_FILENAME sound file; SND_PURGE with an empty path stops the playing sound.
    virtual bool PlaySoundFile(const std::string& path, DWORD flags) = 0;
    // A WAVE image in memory (SND_MEMORY).
    virtual bool PlaySoundBytes(const void* data, size_t size, DWORD flags) = 0;
    virtual void Beep(UINT type) = 0;
    // The work area (screen less task bars) of the screen that shows the window.
    virtual RECT WorkArea(HWND near) = 0;
    // 0 transparent .. 255 opaque, for a top-level window.
    virtual bool SetWindowOpacity(HWND hwnd, BYTE alpha) = 0;
    // Opens an http or https address in the desktop's web browser; false for any other kind of
    // address (a path or a program is never started) or when no browser takes it.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Posts a form (application/x-www-form-urlencoded) to an http or https address in the
    // desktop's web browser, as a sign-in page expects it; false as for OpenUrl.
    virtual bool PostForm(const std::string& url, const FormFields& fields) = 0;
};

// Whether an address is one the browser services open: http:// or https:// with a host.
bool IsWebAddress(const std::string& url);

// The services in force (the desktop implementation unless replaced). User-interface thread.
UiServices& GetUiServices();
// null restores the desktop implementation; the object must outlive its installation.
void SetUiServices(UiServices* services);

class ScopedUiServices {
public:
    explicit ScopedUiServices(UiServices& services) { SetUiServices(&services); }
    ~ScopedUiServices() { SetUiServices(nullptr); }
    ScopedUiServices(const ScopedUiServices&) = delete;
    ScopedUiServices& operator=(const ScopedUiServices&) = delete;
};

// The caption AfxMessageBox uses (the program's title).
void SetMessageBoxCaption(const std::string& caption);

}  // namespace platform::ui

int AfxMessageBox(const std::string& text, UINT type = MB_OK, UINT helpId = 0);
// A null caption is "错误", as the desktop's own message box has it.
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
BOOL MessageBeep(UINT type);
// SND_FILENAME: `sound` is a path; SND_MEMORY: a WAVE image of `size` bytes.
BOOL PlaySound(const char* sound, size_t size, DWORD flags);
