// UI services for tests: every call is recorded and answered from a script (or with the
// default a person would most likely give), so that no test ever waits for a dialog.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/UiServices.h"

namespace platform::ui {

class ScriptedUiServices : public UiServices {
public:
    struct Call {
        std::string kind;  // "MessageBox", "FileDialog", "ChooseFolder", "ChooseColor",
                           // "ChooseFont", "PlaySoundFile", "PlaySoundBytes", "Beep",
                           // "SetWindowOpacity", "OpenUrl", "PostForm"
        HWND owner = 0;
        std::string text;     // message text, file path, dialog title, address
        std::string caption;  // message caption, the folder a folder dialog starts in
        UINT type = 0;        // MB_* / SND_* flags / beep type / alpha
        FormFields fields;    // a posted form's fields
    };

    // Answers are used in order; without one, a message box answers its default button, the
    // dialogs are cancelled.
    void AnswerMessageBox(int id) { messageBoxAnswers_.push_back(id); }
    void AnswerFileDialog(std::vector<std::string> paths) {
        fileAnswers_.push_back(std::move(paths));
    }
    void AnswerFolder(std::optional<std::string> folder) {
        folderAnswers_.push_back(std::move(folder));
    }
    // Whether the browser calls succeed (they do unless told otherwise); an address that is not
    // a web address fails as it does on the desktop.
    void SetBrowserAvailable(bool available) { browserAvailable_ = available; }
    void AnswerColor(std::optional<COLORREF> color) { colorAnswers_.push_back(color); }
    void AnswerFont(std::optional<LOGFONT> font) { fontAnswers_.push_back(font); }
    void SetWorkArea(const RECT& area) { workArea_ = area; }

    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<Call> CallsOf(const std::string& kind) const;
    // Opacity last set per window (absent: never set).
    std::optional<BYTE> Opacity(HWND hwnd) const;
    void Clear();

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
    bool PostForm(const std::string& url, const FormFields& fields) override;

    // The button a message box of this type answers when nobody picks one.
    static int DefaultAnswer(UINT type);

private:
    std::vector<Call> calls_;
    std::deque<int> messageBoxAnswers_;
    std::deque<std::vector<std::string>> fileAnswers_;
    std::deque<std::optional<std::string>> folderAnswers_;
    bool browserAvailable_ = true;
    std::deque<std::optional<COLORREF>> colorAnswers_;
    std::deque<std::optional<LOGFONT>> fontAnswers_;
    std::map<HWND, BYTE> opacity_;
    RECT workArea_{0, 0, 1280, 984};
};

}  // namespace platform::ui
