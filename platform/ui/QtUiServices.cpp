// The desktop implementation of the UI services: Qt's message box, file, folder, colour and font
// dialogs, sounds through the system's wave player, the screen's work area, the desktop's web
// browser.
#include "platform/ui/QtUiServices.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "platform/core/SoundPlayer.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"

namespace platform::ui {
namespace {

struct ButtonChoice {
    int id;
    QMessageBox::StandardButton button;
};

std::vector<ButtonChoice> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{IDOK, QMessageBox::Ok}, {IDCANCEL, QMessageBox::Cancel}};
        case MB_ABORTRETRYIGNORE:
            return {{IDABORT, QMessageBox::Abort},
                    {IDRETRY, QMessageBox::Retry},
                    {IDIGNORE, QMessageBox::Ignore}};
        case MB_YESNOCANCEL:
            return {{IDYES, QMessageBox::Yes},
                    {IDNO, QMessageBox::No},
                    {IDCANCEL, QMessageBox::Cancel}};
        case MB_YESNO:
            return {{IDYES, QMessageBox::Yes}, {IDNO, QMessageBox::No}};
        case MB_RETRYCANCEL:
            return {{IDRETRY, QMessageBox::Retry}, {IDCANCEL, QMessageBox::Cancel}};
        default:
            return {{IDOK, QMessageBox::Ok}};
    }
}

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

QWidget* OwnerWidget(HWND owner) {
    QWidget* widget = WidgetOf(owner);
    return widget ? widget->window() : QApplication::activeWindow();
}

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string QtFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;  // the closing "||"
        std::string patterns = parts[i + 1];
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        if (!out.empty()) out += ";;";
        out += parts[i];
        // A description that already shows its patterns keeps them as they are.
        if (parts[i].find('(') == std::string::npos) out += " (" + patterns + ")";
    }
    return out;
}

std::string AutoSubmitFormPage(const std::string& url, const FormFields& fields) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title></title></head>\n"
        "<body onload=\"document.forms[0].submit()\">\n<form method=\"post\" action=\"" +
        EscapeHtml(url) +
        "\" enctype=\"application/x-www-form-urlencoded\" accept-charset=\"UTF-8\">\n";
    for (const auto& [name, value] : fields)
        page += "<input type=\"hidden\" name=\"" + EscapeHtml(name) + "\" value=\"" +
                EscapeHtml(value) + "\">\n";
    page += "<noscript><input type=\"submit\" value=\"OK\"></noscript>\n</form></body></html>\n";
    return page;
}

QtUiServices::QtUiServices() = default;

QtUiServices::~QtUiServices() { StopSound(); }

int QtUiServices::MessageBox(HWND owner, const std::string& text, const std::string& caption,
                             UINT type) {
    QMessageBox box(IconOf(type), ToQt(caption), ToQt(text), QMessageBox::NoButton,
                    OwnerWidget(owner));
    std::vector<ButtonChoice> buttons = ButtonsOf(type);
    for (const ButtonChoice& choice : buttons) box.addButton(choice.button);
    size_t defaultIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    box.setDefaultButton(buttons[defaultIndex].button);
    if (type & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const ButtonChoice& choice : buttons)
        if (clicked && box.standardButton(clicked) == choice.button) return choice.id;
    // Closed without a button: Cancel when there is one, else the only answer there is.
    for (const ButtonChoice& choice : buttons)
        if (choice.id == IDCANCEL) return IDCANCEL;
    return buttons.size() == 1 ? buttons.front().id : IDCANCEL;
}

std::vector<std::string> QtUiServices::FileDialog(HWND owner, const FileDialogRequest& request) {
    QString directory = ToQt(request.initialDir);
    if (!request.fileName.empty())
        directory = directory.isEmpty() ? ToQt(request.fileName)
                                        : QDir(directory).filePath(ToQt(request.fileName));
    QString filter = ToQt(QtFileFilter(request.filter));
    QWidget* parent = OwnerWidget(owner);
    std::vector<std::string> chosen;
    if (request.open && (request.flags & OFN_ALLOWMULTISELECT)) {
        for (const QString& path :
             QFileDialog::getOpenFileNames(parent, ToQt(request.title), directory, filter))
            chosen.push_back(path.toStdString());
        return chosen;
    }
    QString path =
        request.open ? QFileDialog::getOpenFileName(parent, ToQt(request.title), directory, filter)
                     : QFileDialog::getSaveFileName(parent, ToQt(request.title), directory, filter);
    if (path.isEmpty()) return chosen;
    if (!request.open && !request.defaultExt.empty() && QFileInfo(path).suffix().isEmpty())
        path += "." + ToQt(request.defaultExt);
    chosen.push_back(path.toStdString());
    return chosen;
}

bool QtUiServices::ChooseFolder(HWND owner, const std::string& title, std::string* folder) {
    if (!folder) return false;
    const QString chosen =
        QFileDialog::getExistingDirectory(OwnerWidget(owner), ToQt(title), ToQt(*folder));
    if (chosen.isEmpty()) return false;
    *folder = QDir::toNativeSeparators(chosen).toStdString();
    return true;
}

bool QtUiServices::ChooseColor(HWND owner, COLORREF* color) {
    if (!color) return false;
    QColor initial(GetRValue(*color), GetGValue(*color), GetBValue(*color));
    QColor chosen = QColorDialog::getColor(initial, OwnerWidget(owner));
    if (!chosen.isValid()) return false;
    *color = RGB(static_cast<BYTE>(chosen.red()), static_cast<BYTE>(chosen.green()),
                 static_cast<BYTE>(chosen.blue()));
    return true;
}

bool QtUiServices::ChooseFont(HWND owner, LOGFONT* font, COLORREF*) {
    if (!font) return false;
    QFont initial(QString::fromUtf8(font->lfFaceName));
    if (font->lfHeight != 0) initial.setPixelSize(std::abs(font->lfHeight));
    if (font->lfWeight > 0) initial.setWeight(static_cast<QFont::Weight>(font->lfWeight));
    initial.setItalic(font->lfItalic);
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, initial, OwnerWidget(owner));
    if (!ok) return false;
    // Heights are negative character heights in pixels, at the fixed 96 dpi.
    int pixels = chosen.pixelSize() > 0 ? chosen.pixelSize()
                                        : static_cast<int>(chosen.pointSizeF() * 96.0 / 72.0 + 0.5);
    font->lfHeight = -pixels;
    font->lfWeight = static_cast<LONG>(chosen.weight());
    font->lfItalic = chosen.italic();
    font->lfUnderline = chosen.underline();
    font->lfStrikeOut = chosen.strikeOut();
    CopyTextToBuffer(chosen.family().toStdString(), font->lfFaceName, LF_FACESIZE);
    return true;
}

void QtUiServices::StopSound() { platform::GetSoundPlayer().Stop(); }

bool QtUiServices::PlaySoundFile(const std::string& path, DWORD flags) {
    if (path.empty() || (flags & SND_PURGE)) {
        StopSound();
        return true;
    }
    if (!platform::GetSoundPlayer().PlayFile(path, !(flags & SND_ASYNC))) {
        if (!(flags & SND_NODEFAULT)) QApplication::beep();
        return false;
    }
    return true;
}

bool QtUiServices::PlaySoundBytes(const void* data, size_t size, DWORD flags) {
    // The player reads files; the image goes to one file of this process, rewritten each time.
    StopSound();
    QString path =
        QDir(QDir::tempPath())
            .filePath(QString("kelmon-sound-%1.wav").arg(QApplication::applicationPid()));
    QFile file(path);
    if (!data || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    file.write(static_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    return PlaySoundFile(path.toStdString(), (flags & ~SND_MEMORY) | SND_FILENAME);
}

void QtUiServices::Beep(UINT) { QApplication::beep(); }

RECT QtUiServices::WorkArea(HWND near) {
    QWidget* widget = WidgetOf(near);
    QScreen* screen = widget && widget->screen() ? widget->screen() : QApplication::primaryScreen();
    if (!screen) return RECT{};
    QRect area = screen->availableGeometry();
    return RECT{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

bool QtUiServices::SetWindowOpacity(HWND hwnd, BYTE alpha) {
    QWidget* widget = WidgetOf(hwnd);
    if (!widget) return false;
    widget->window()->setWindowOpacity(alpha / 255.0);
    return true;
}

bool QtUiServices::Open(const std::string& url) {
    return opener_ ? opener_(url) : QDesktopServices::openUrl(QUrl(ToQt(url)));
}

bool QtUiServices::OpenUrl(const std::string& url) {
    if (!IsWebAddress(url)) return false;
    return Open(url);
}

bool QtUiServices::PostForm(const std::string& url, const FormFields& fields) {
    if (!IsWebAddress(url)) return false;
    // The fields may hold sign-in keys: the folder is the user's alone (made 0700).
    if (!formFolder_) formFolder_ = std::make_unique<QTemporaryDir>();
    if (!formFolder_->isValid()) return false;
    const QString path = formFolder_->filePath("form.html");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const std::string page = AutoSubmitFormPage(url, fields);
    const bool written = file.write(page.data(), static_cast<qint64>(page.size())) ==
                         static_cast<qint64>(page.size());
    file.close();
    return written && Open(QUrl::fromLocalFile(path).toString().toStdString());
}

}  // namespace platform::ui
