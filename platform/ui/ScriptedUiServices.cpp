// UI services for tests: recorded calls, scripted answers.
#include "platform/ui/ScriptedUiServices.h"

#include <algorithm>

namespace platform::ui {

int ScriptedUiServices::DefaultAnswer(UINT type) {
    static constexpr int kButtons[][3] = {
        {IDOK, IDOK, IDOK},      {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
        {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
    };
    UINT kind = std::min<UINT>(type & MB_TYPEMASK, 5);
    UINT index = std::min<UINT>((type & MB_DEFMASK) >> 8, 2);
    return kButtons[kind][index];
}

std::vector<ScriptedUiServices::Call> ScriptedUiServices::CallsOf(const std::string& kind) const {
    std::vector<Call> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [&](const Call& call) { return call.kind == kind; });
    return out;
}

std::optional<BYTE> ScriptedUiServices::Opacity(HWND hwnd) const {
    auto it = opacity_.find(hwnd);
    if (it == opacity_.end()) return std::nullopt;
    return it->second;
}

void ScriptedUiServices::Clear() {
    calls_.clear();
    messageBoxAnswers_.clear();
    fileAnswers_.clear();
    folderAnswers_.clear();
    browserAvailable_ = true;
    colorAnswers_.clear();
    fontAnswers_.clear();
    opacity_.clear();
}

int ScriptedUiServices::MessageBox(HWND owner, const std::string& text, const std::string& caption,
                                   UINT type) {
    calls_.push_back({"MessageBox", owner, text, caption, type, {}});
    if (messageBoxAnswers_.empty()) return DefaultAnswer(type);
    int answer = messageBoxAnswers_.front();
    messageBoxAnswers_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedUiServices::FileDialog(HWND owner,
                                                        const FileDialogRequest& request) {
    calls_.push_back(
        {"FileDialog", owner, request.title, request.filter, static_cast<UINT>(request.flags), {}});
    if (fileAnswers_.empty()) return {};
    std::vector<std::string> answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
    return answer;
}

bool ScriptedUiServices::ChooseFolder(HWND owner, const std::string& title, std::string* folder) {
    calls_.push_back({"ChooseFolder", owner, title, folder ? *folder : std::string(), 0, {}});
    if (folderAnswers_.empty()) return false;
    std::optional<std::string> answer = std::move(folderAnswers_.front());
    folderAnswers_.pop_front();
    if (!answer || !folder) return false;
    *folder = std::move(*answer);
    return true;
}

bool ScriptedUiServices::ChooseColor(HWND owner, COLORREF* color) {
    calls_.push_back({"ChooseColor", owner, {}, {}, color ? *color : 0, {}});
    if (colorAnswers_.empty() || !color) return false;
    std::optional<COLORREF> answer = colorAnswers_.front();
    colorAnswers_.pop_front();
    if (!answer) return false;
    *color = *answer;
    return true;
}

bool ScriptedUiServices::ChooseFont(HWND owner, LOGFONT* font, COLORREF*) {
    calls_.push_back({"ChooseFont", owner, font ? font->lfFaceName : "", {}, 0, {}});
    if (fontAnswers_.empty() || !font) return false;
    std::optional<LOGFONT> answer = fontAnswers_.front();
    fontAnswers_.pop_front();
    if (!answer) return false;
    *font = *answer;
    return true;
}

bool ScriptedUiServices::PlaySoundFile(const std::string& path, DWORD flags) {
    calls_.push_back({"PlaySoundFile", 0, path, {}, static_cast<UINT>(flags), {}});
    return true;
}

bool ScriptedUiServices::PlaySoundBytes(const void*, size_t size, DWORD flags) {
    calls_.push_back({"PlaySoundBytes", 0, std::to_string(size), {}, static_cast<UINT>(flags), {}});
    return true;
}

void ScriptedUiServices::Beep(UINT type) { calls_.push_back({"Beep", 0, {}, {}, type, {}}); }

RECT ScriptedUiServices::WorkArea(HWND) { return workArea_; }

bool ScriptedUiServices::SetWindowOpacity(HWND hwnd, BYTE alpha) {
    calls_.push_back({"SetWindowOpacity", hwnd, {}, {}, alpha, {}});
    opacity_[hwnd] = alpha;
    return true;
}

bool ScriptedUiServices::OpenUrl(const std::string& url) {
    calls_.push_back({"OpenUrl", 0, url, {}, 0, {}});
    return browserAvailable_ && IsWebAddress(url);
}

bool ScriptedUiServices::PostForm(const std::string& url, const FormFields& fields) {
    calls_.push_back({"PostForm", 0, url, {}, 0, fields});
    return browserAvailable_ && IsWebAddress(url);
}

}  // namespace platform::ui
