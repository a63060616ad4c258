// The one replaceable interface for what the window code asks of the desktop: message boxes,
// file, colour and font dialogs, sounds, the screen work area and window opacity. Tests put a
// scripted implementation in place so that nothing ever waits for a person.
#pragma once

#include <cstddef>
#include <string>
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

class UiServices {
public:
    virtual ~UiServices() = default;
    // Returns the ID* of the chosen button.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption,
                           UINT type) = 0;
    // The chosen paths; empty when cancelled.
    virtual std::vector<std::string> FileDialog(HWND owner, const FileDialogRequest& request) = 0;
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
};

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
