// Dialog template parser and dialog units.
//
// A template is UTF-8 text, one statement per line; blank lines and lines starting with '#'
// are ignored:
//
//   DIALOG  <id> <name> <x> <y> <cx> <cy> "<caption>" [<style> ...]
//   CONTROL <id> "<class>" "<text>" <x> <y> <cx> <cy> [<style> ...]
//
// - Exactly one DIALOG line, before every CONTROL line. Controls follow in tab order.
// - <id>: a decimal number or IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO,
//   IDC_STATIC (-1). Control ids other than IDC_STATIC are unique in a template.
// - <name>: letters, digits and '_' (the name the template can be found by), or '-' for none.
// - Positions and sizes: decimal dialog units; every control lies inside the dialog's
//   cx x cy client area.
// - Strings are in double quotes; \" \\ \n \t are the escapes.
// - Styles: names such as WS_TABSTOP or BS_DEFPUSHBUTTON, optionally joined by '|';
//   "NOT <name>" removes a style. Controls start as WS_CHILD | WS_VISIBLE, dialogs as 0.
//   WS_EX_ names go to the extended style. ES_, BS_ and SS_ names apply to "Edit", "Button"
//   and "Static" only, DS_ names to the DIALOG line only.
// - An unknown keyword, class, id or style name, a missing field or anything left over on a
//   line is an error that names the line.
#include "platform/ui/DialogTemplate.h"

#include <charconv>
#include <optional>
#include <set>

#include "platform/ui/WinDefsBoxes.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {
namespace {

struct StyleName {
    const char* name;
    DWORD value;
    const char* scope;  // nullptr: any window; "" the dialog; else a window class
    bool extended;
};

constexpr StyleName kStyleNames[] = {
    {"WS_POPUP", WS_POPUP, nullptr, false},
    {"WS_CHILD", WS_CHILD, nullptr, false},
    {"WS_VISIBLE", WS_VISIBLE, nullptr, false},
    {"WS_DISABLED", WS_DISABLED, nullptr, false},
    {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS, nullptr, false},
    {"WS_CLIPCHILDREN", WS_CLIPCHILDREN, nullptr, false},
    {"WS_CAPTION", WS_CAPTION, nullptr, false},
    {"WS_BORDER", WS_BORDER, nullptr, false},
    {"WS_DLGFRAME", WS_DLGFRAME, nullptr, false},
    {"WS_VSCROLL", WS_VSCROLL, nullptr, false},
    {"WS_HSCROLL", WS_HSCROLL, nullptr, false},
    {"WS_SYSMENU", WS_SYSMENU, nullptr, false},
    {"WS_THICKFRAME", WS_THICKFRAME, nullptr, false},
    {"WS_GROUP", WS_GROUP, nullptr, false},
    {"WS_TABSTOP", WS_TABSTOP, nullptr, false},
    {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME, nullptr, true},
    {"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY, nullptr, true},
    {"WS_EX_TOPMOST", WS_EX_TOPMOST, nullptr, true},
    {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT, nullptr, true},
    {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW, nullptr, true},
    {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE, nullptr, true},
    {"WS_EX_STATICEDGE", WS_EX_STATICEDGE, nullptr, true},
    {"DS_3DLOOK", DS_3DLOOK, "", false},
    {"DS_MODALFRAME", DS_MODALFRAME, "", false},
    {"DS_SETFOREGROUND", DS_SETFOREGROUND, "", false},
    {"DS_CONTROL", DS_CONTROL, "", false},
    {"DS_CENTER", DS_CENTER, "", false},
    {"ES_LEFT", ES_LEFT, "Edit", false},
    {"ES_CENTER", ES_CENTER, "Edit", false},
    {"ES_RIGHT", ES_RIGHT, "Edit", false},
    {"ES_MULTILINE", ES_MULTILINE, "Edit", false},
    {"ES_UPPERCASE", ES_UPPERCASE, "Edit", false},
    {"ES_LOWERCASE", ES_LOWERCASE, "Edit", false},
    {"ES_PASSWORD", ES_PASSWORD, "Edit", false},
    {"ES_AUTOVSCROLL", ES_AUTOVSCROLL, "Edit", false},
    {"ES_AUTOHSCROLL", ES_AUTOHSCROLL, "Edit", false},
    {"ES_NOHIDESEL", ES_NOHIDESEL, "Edit", false},
    {"ES_READONLY", ES_READONLY, "Edit", false},
    {"ES_WANTRETURN", ES_WANTRETURN, "Edit", false},
    {"ES_NUMBER", ES_NUMBER, "Edit", false},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON, "Button", false},
    {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON, "Button", false},
    {"BS_CHECKBOX", BS_CHECKBOX, "Button", false},
    {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX, "Button", false},
    {"BS_RADIOBUTTON", BS_RADIOBUTTON, "Button", false},
    {"BS_3STATE", BS_3STATE, "Button", false},
    {"BS_AUTO3STATE", BS_AUTO3STATE, "Button", false},
    {"BS_GROUPBOX", BS_GROUPBOX, "Button", false},
    {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON, "Button", false},
    {"BS_OWNERDRAW", BS_OWNERDRAW, "Button", false},
    {"BS_LEFTTEXT", BS_LEFTTEXT, "Button", false},
    {"BS_LEFT", BS_LEFT, "Button", false},
    {"BS_RIGHT", BS_RIGHT, "Button", false},
    {"BS_CENTER", BS_CENTER, "Button", false},
    {"BS_TOP", BS_TOP, "Button", false},
    {"BS_BOTTOM", BS_BOTTOM, "Button", false},
    {"BS_MULTILINE", BS_MULTILINE, "Button", false},
    {"BS_NOTIFY", BS_NOTIFY, "Button", false},
    {"BS_FLAT", BS_FLAT, "Button", false},
    {"CBS_SIMPLE", CBS_SIMPLE, "ComboBox", false},
    {"CBS_DROPDOWN", CBS_DROPDOWN, "ComboBox", false},
    {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST, "ComboBox", false},
    {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED, "ComboBox", false},
    {"CBS_OWNERDRAWVARIABLE", CBS_OWNERDRAWVARIABLE, "ComboBox", false},
    {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL, "ComboBox", false},
    {"CBS_SORT", CBS_SORT, "ComboBox", false},
    {"CBS_HASSTRINGS", CBS_HASSTRINGS, "ComboBox", false},
    {"SS_LEFT", SS_LEFT, "Static", false},
    {"SS_CENTER", SS_CENTER, "Static", false},
    {"SS_RIGHT", SS_RIGHT, "Static", false},
    {"SS_BITMAP", SS_BITMAP, "Static", false},
    {"SS_NOTIFY", SS_NOTIFY, "Static", false},
    {"SS_CENTERIMAGE", SS_CENTERIMAGE, "Static", false},
    {"TBS_AUTOTICKS", TBS_AUTOTICKS, "msctls_trackbar32", false},
    {"TBS_HORZ", TBS_HORZ, "msctls_trackbar32", false},
    {"TBS_VERT", TBS_VERT, "msctls_trackbar32", false},
    {"TBS_TOP", TBS_TOP, "msctls_trackbar32", false},
    {"TBS_BOTTOM", TBS_BOTTOM, "msctls_trackbar32", false},
    {"TBS_LEFT", TBS_LEFT, "msctls_trackbar32", false},
    {"TBS_RIGHT", TBS_RIGHT, "msctls_trackbar32", false},
    {"TBS_BOTH", TBS_BOTH, "msctls_trackbar32", false},
    {"TBS_NOTICKS", TBS_NOTICKS, "msctls_trackbar32", false},
    {"PBS_SMOOTH", PBS_SMOOTH, "msctls_progress32", false},
    {"PBS_VERTICAL", PBS_VERTICAL, "msctls_progress32", false},
};

struct NamedId {
    const char* name;
    int32_t id;
};
constexpr NamedId kNamedIds[] = {
    {"IDOK", IDOK},       {"IDCANCEL", IDCANCEL},     {"IDABORT", IDABORT},
    {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE},     {"IDYES", IDYES},
    {"IDNO", IDNO},       {"IDC_STATIC", IDC_STATIC},
};

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits one line into words and quoted strings; false (with `error`) on a bad string.
bool Tokenize(std::string_view line, std::vector<Token>* tokens, std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '|') {  // a style joiner, a word of its own
            tokens->push_back({"|", false});
            ++i;
            continue;
        }
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\') {
                    if (i >= line.size()) break;
                    char escaped = line[i++];
                    switch (escaped) {
                        case 'n':
                            token.text += '\n';
                            break;
                        case 't':
                            token.text += '\t';
                            break;
                        case '"':
                        case '\\':
                            token.text += escaped;
                            break;
                        default:
                            *error = std::string("unknown escape \\") + escaped;
                            return false;
                    }
                    continue;
                }
                token.text += ch;
            }
            if (!closed) {
                *error = "unterminated string";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '|' && line[i] != '"')
                token.text += line[i++];
        }
        tokens->push_back(std::move(token));
    }
    return true;
}

std::optional<int> ParseNumber(const Token& token) {
    if (token.quoted || token.text.empty()) return std::nullopt;
    int value = 0;
    const char* begin = token.text.data();
    const char* end = begin + token.text.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<int32_t> ParseId(const Token& token) {
    if (token.quoted) return std::nullopt;
    for (const NamedId& named : kNamedIds)
        if (token.text == named.name) return named.id;
    return ParseNumber(token);
}

bool IsIdentifier(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

// The style names from `first` on; `style` and `exStyle` hold the starting values.
bool ParseStyles(const std::vector<Token>& tokens, size_t first, const std::string& className,
                 DWORD* style, DWORD* exStyle, std::string* error) {
    bool negate = false;
    for (size_t i = first; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.quoted) {
            *error = "a string where a style name belongs";
            return false;
        }
        if (token.text == "|") continue;
        if (token.text == "NOT") {
            negate = true;
            continue;
        }
        DWORD value = 0;
        bool extended = false;
        if (!LookUpStyleName(token.text, className, &value, &extended)) {
            *error = "unknown style " + token.text +
                     (className.empty() ? " for the dialog" : " for class " + className);
            return false;
        }
        DWORD* target = extended ? exStyle : style;
        *target = negate ? (*target & ~value) : (*target | value);
        negate = false;
    }
    if (negate) {
        *error = "NOT without a style name";
        return false;
    }
    return true;
}

bool KnownByDefault(const std::string& className) { return FindWindowClass(className) != nullptr; }

}  // namespace

bool LookUpStyleName(std::string_view name, const std::string& className, DWORD* style,
                     bool* extended) {
    for (const StyleName& entry : kStyleNames) {
        if (name != entry.name) continue;
        if (entry.scope && className != entry.scope) return false;
        *style = entry.value;
        *extended = entry.extended;
        return true;
    }
    return false;
}

bool ParseDialogTemplate(std::string_view text, DialogTemplate* out, std::string* error,
                         const ClassCheck& knownClass) {
    *out = DialogTemplate();
    bool haveDialog = false;
    std::set<int32_t> ids;
    int lineNumber = 0;
    std::string problem;
    auto fail = [&](const std::string& what) {
        *error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        std::vector<Token> tokens;
        if (!Tokenize(line, &tokens, &problem)) return fail(problem);
        if (tokens.empty() || (!tokens[0].quoted && tokens[0].text.starts_with('#'))) {
            if (end == text.size()) break;
            continue;
        }
        const std::string& keyword = tokens[0].quoted ? std::string() : tokens[0].text;
        if (keyword == "DIALOG") {
            if (haveDialog) return fail("a second DIALOG line");
            if (tokens.size() < 8) return fail("DIALOG needs id, name, x, y, cx, cy, caption");
            auto id = ParseId(tokens[1]);
            if (!id) return fail("bad dialog id " + tokens[1].text);
            if (tokens[2].quoted || (tokens[2].text != "-" && !IsIdentifier(tokens[2].text)))
                return fail("bad dialog name " + tokens[2].text);
            int numbers[4];
            for (int k = 0; k < 4; ++k) {
                auto n = ParseNumber(tokens[3 + k]);
                if (!n) return fail("bad number " + tokens[3 + k].text);
                numbers[k] = *n;
            }
            if (numbers[2] <= 0 || numbers[3] <= 0) return fail("the dialog has no size");
            if (!tokens[7].quoted) return fail("the caption must be a quoted string");
            out->id = *id;
            out->name = tokens[2].text == "-" ? std::string() : tokens[2].text;
            out->x = numbers[0];
            out->y = numbers[1];
            out->cx = numbers[2];
            out->cy = numbers[3];
            out->caption = tokens[7].text;
            if (!ParseStyles(tokens, 8, std::string(), &out->style, &out->exStyle, &problem))
                return fail(problem);
            haveDialog = true;
        } else if (keyword == "CONTROL") {
            if (!haveDialog) return fail("CONTROL before the DIALOG line");
            if (tokens.size() < 8) return fail("CONTROL needs id, class, text, x, y, cx, cy");
            DialogItemTemplate item;
            item.line = lineNumber;
            auto id = ParseId(tokens[1]);
            if (!id) return fail("bad control id " + tokens[1].text);
            item.id = *id;
            if (item.id != IDC_STATIC && !ids.insert(item.id).second)
                return fail("control id " + std::to_string(item.id) + " used twice");
            if (!tokens[2].quoted || !tokens[3].quoted)
                return fail("the class and the text must be quoted strings");
            item.className = tokens[2].text;
            if (!(knownClass ? knownClass(item.className) : KnownByDefault(item.className)))
                return fail("unknown window class " + item.className);
            item.text = tokens[3].text;
            int numbers[4];
            for (int k = 0; k < 4; ++k) {
                auto n = ParseNumber(tokens[4 + k]);
                if (!n) return fail("bad number " + tokens[4 + k].text);
                numbers[k] = *n;
            }
            item.x = numbers[0];
            item.y = numbers[1];
            item.cx = numbers[2];
            item.cy = numbers[3];
            if (item.x < 0 || item.y < 0 || item.cx < 0 || item.cy < 0 ||
                item.x + item.cx > out->cx || item.y + item.cy > out->cy)
                return fail("control " + std::to_string(item.id) + " lies outside the dialog");
            item.style = WS_CHILD | WS_VISIBLE;
            if (!ParseStyles(tokens, 8, item.className, &item.style, &item.exStyle, &problem))
                return fail(problem);
            out->items.push_back(std::move(item));
        } else {
            return fail("unknown statement " +
                        (tokens[0].quoted ? "\"" + tokens[0].text + "\"" : tokens[0].text));
        }
        if (end == text.size()) break;
    }
    if (!haveDialog) {
        *error = "no DIALOG line";
        return false;
    }
    return true;
}

int DialogUnitsToPixelsX(int units) {
    // Rounded as the desktop's MulDiv rounds: halves away from zero.
    long long scaled = static_cast<long long>(units) * kDialogBaseUnitX;
    return static_cast<int>(scaled >= 0 ? (scaled + 2) / 4 : -((-scaled + 2) / 4));
}

int DialogUnitsToPixelsY(int units) {
    long long scaled = static_cast<long long>(units) * kDialogBaseUnitY;
    return static_cast<int>(scaled >= 0 ? (scaled + 4) / 8 : -((-scaled + 4) / 8));
}

}  // namespace platform::ui

LONG GetDialogBaseUnits() {
    return static_cast<LONG>(
        MAKELPARAM(platform::ui::kDialogBaseUnitX, platform::ui::kDialogBaseUnitY));
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    if (!rect || !IsWindow(dialog)) return FALSE;
    using platform::ui::DialogUnitsToPixelsX;
    using platform::ui::DialogUnitsToPixelsY;
    *rect = RECT{DialogUnitsToPixelsX(rect->left), DialogUnitsToPixelsY(rect->top),
                 DialogUnitsToPixelsX(rect->right), DialogUnitsToPixelsY(rect->bottom)};
    return TRUE;
}
