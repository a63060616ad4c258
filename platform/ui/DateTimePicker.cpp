// The "SysDateTimePick32" window class over QDateTimeEdit: fixed formats in the C locale, the
// "no date" check box, the allowed range and DTN_DATETIMECHANGE on the user's changes only.
#include "platform/ui/DateTimePicker.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QWidget>
#include <algorithm>

#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr const char* kShortDateFormat = "yyyy-MM-dd";
constexpr const char* kLongDateFormat = "yyyy'年'M'月'd'日'";
constexpr const char* kTimeFormat = "HH:mm:ss";

bool IsTimeStyle(DWORD style) { return (style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT; }

std::string DefaultFormat(DWORD style) {
    if (IsTimeStyle(style)) return kTimeFormat;
    return (style & DTS_LONGDATEFORMAT) ? kLongDateFormat : kShortDateFormat;
}

// The earliest and latest values the picker takes without a range of its own.
QDateTime EarliestValue() { return QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC); }
QDateTime LatestValue() { return QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC); }

// Times are wall-clock values without a zone: kept in UTC so that no hour is skipped.
bool ToDateTime(const SYSTEMTIME& st, QDateTime* out) {
    const QDate date(st.wYear, st.wMonth, st.wDay);
    const QTime time(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    if (!date.isValid() || !time.isValid()) return false;
    *out = QDateTime(date, time, Qt::UTC);
    return true;
}

SYSTEMTIME ToSystemTime(const QDateTime& value) {
    SYSTEMTIME st;
    const QDate date = value.date();
    const QTime time = value.time();
    st.wYear = static_cast<WORD>(date.year());
    st.wMonth = static_cast<WORD>(date.month());
    st.wDay = static_cast<WORD>(date.day());
    st.wDayOfWeek = static_cast<WORD>(date.dayOfWeek() % 7);  // Qt counts Monday 1 .. Sunday 7
    st.wHour = static_cast<WORD>(time.hour());
    st.wMinute = static_cast<WORD>(time.minute());
    st.wSecond = static_cast<WORD>(time.second());
    st.wMilliseconds = static_cast<WORD>(time.msec());
    return st;
}

class PickerWidget : public QWidget {
public:
    PickerWidget(QWidget* parent, DWORD style) : QWidget(parent), edit_(new QDateTimeEdit(this)) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        if (style & DTS_SHOWNONE) {
            none_ = new QCheckBox(this);
            none_->setChecked(true);
            none_->setFocusPolicy(Qt::NoFocus);
            layout->addWidget(none_);
        }
        layout->addWidget(edit_, 1);
        edit_->setLocale(QLocale::c());
        edit_->setTimeSpec(Qt::UTC);
        edit_->setDateTimeRange(EarliestValue(), LatestValue());
        {
            const QSignalBlocker quiet(edit_);
            edit_->setDateTime(value_);
        }
        setFocusProxy(edit_);
        setFocusPolicy(Qt::StrongFocus);
    }

    void ApplyStyle(DWORD style) {
        style_ = style;
        edit_->setCalendarPopup(!(style & DTS_UPDOWN) && !IsTimeStyle(style));
        edit_->setAlignment((style & DTS_RIGHTALIGN) ? Qt::AlignRight | Qt::AlignVCenter
                                                     : Qt::AlignLeft | Qt::AlignVCenter);
        ShowFormat();
    }

    void Connect(HWND hwnd) {
        // Program changes are made with the edit's signals blocked, so what arrives here is
        // the user's.
        QObject::connect(edit_, &QDateTimeEdit::dateTimeChanged, this, [this, hwnd] {
            // A format without date fields leaves the date as it was.
            const bool dates = edit_->displayedSections() & QDateTimeEdit::DateSections_Mask;
            value_ = dates ? edit_->dateTime() : QDateTime(value_.date(), edit_->time(), Qt::UTC);
            Notify(hwnd);
        });
        if (none_)
            QObject::connect(none_, &QCheckBox::clicked, this, [this, hwnd] {
                edit_->setEnabled(none_->isChecked());
                Notify(hwnd);
            });
    }

    LRESULT Get(SYSTEMTIME* st) const {
        if (!st) return GDT_ERROR;
        if (!HasValue()) return GDT_NONE;
        *st = ToSystemTime(value_);
        return GDT_VALID;
    }

    BOOL Set(WPARAM flag, const SYSTEMTIME* st) {
        if (static_cast<LRESULT>(flag) == GDT_NONE) {
            if (!none_) return FALSE;
            const QSignalBlocker quiet(none_);
            none_->setChecked(false);
            edit_->setEnabled(false);
            return TRUE;
        }
        QDateTime value;
        if (!st || !ToDateTime(*st, &value) || value < low_ || value > high_) return FALSE;
        value_ = value;
        const QSignalBlocker quiet(edit_);
        edit_->setDateTime(value);
        if (none_) {
            const QSignalBlocker quietBox(none_);
            none_->setChecked(true);
            edit_->setEnabled(true);
        }
        return TRUE;
    }

    BOOL SetRange(WPARAM flags, const SYSTEMTIME* range) {
        QDateTime low = EarliestValue(), high = LatestValue();
        if ((flags & GDTR_MIN) && (!range || !ToDateTime(range[0], &low))) return FALSE;
        if ((flags & GDTR_MAX) && (!range || !ToDateTime(range[1], &high))) return FALSE;
        if (low > high) return FALSE;
        rangeFlags_ = flags & (GDTR_MIN | GDTR_MAX);
        low_ = low;
        high_ = high;
        value_ = std::clamp(value_, low_, high_);
        const QSignalBlocker quiet(edit_);
        edit_->setDateTimeRange(low, high);
        edit_->setDateTime(value_);
        return TRUE;
    }

    LRESULT GetRange(SYSTEMTIME* range) const {
        if (!range) return 0;
        range[0] = (rangeFlags_ & GDTR_MIN) ? ToSystemTime(low_) : SYSTEMTIME{};
        range[1] = (rangeFlags_ & GDTR_MAX) ? ToSystemTime(high_) : SYSTEMTIME{};
        return static_cast<LRESULT>(rangeFlags_);
    }

    void SetFormat(const char* format) {
        format_ = format ? format : "";
        ShowFormat();
    }

    std::string Text() const { return HasValue() ? edit_->text().toStdString() : std::string(); }

private:
    bool HasValue() const { return !none_ || none_->isChecked(); }

    void ShowFormat() {
        const std::string format = format_.empty() ? DefaultFormat(style_) : format_;
        const QSignalBlocker quiet(edit_);
        edit_->setDisplayFormat(QString::fromStdString(PickerFormatToQt(format)));
        edit_->setDateTime(value_);
    }

    void Notify(HWND hwnd) {
        NMDATETIMECHANGE nm;
        if (HasValue()) {
            nm.dwFlags = static_cast<DWORD>(GDT_VALID);
            nm.st = ToSystemTime(value_);
        } else {
            nm.dwFlags = static_cast<DWORD>(GDT_NONE);
        }
        SendNotify(hwnd, DTN_DATETIMECHANGE, &nm.hdr);
    }

    QDateTimeEdit* edit_;
    QCheckBox* none_ = nullptr;
    DWORD style_ = 0;
    WPARAM rangeFlags_ = 0;
    QDateTime value_ = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    QDateTime low_ = EarliestValue();
    QDateTime high_ = LatestValue();
    std::string format_;  // empty: the style's own format
};

class DateTimePickerClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* picker = new PickerWidget(parent, style);
        if (flags) picker->setWindowFlags(flags);
        return picker;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        static_cast<PickerWidget*>(widget)->ApplyStyle(style);
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        static_cast<PickerWidget*>(widget)->Connect(hwnd);
    }
    std::string GetText(const QWidget* widget) const override {
        return static_cast<const PickerWidget*>(widget)->Text();
    }
    void SetText(QWidget*, const std::string&) const override {}
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* picker = static_cast<PickerWidget*>(record.widget);
        *handled = true;
        switch (message) {
            case DTM_GETSYSTEMTIME:
                return picker->Get(reinterpret_cast<SYSTEMTIME*>(lParam));
            case DTM_SETSYSTEMTIME:
                return picker->Set(wParam, reinterpret_cast<const SYSTEMTIME*>(lParam));
            case DTM_SETRANGE:
                return picker->SetRange(wParam, reinterpret_cast<const SYSTEMTIME*>(lParam));
            case DTM_GETRANGE:
                return picker->GetRange(reinterpret_cast<SYSTEMTIME*>(lParam));
            case DTM_SETFORMAT:
                picker->SetFormat(reinterpret_cast<const char*>(lParam));
                return TRUE;
            case WM_SETFOCUS: {
                *handled = false;
                NMHDR nm;
                SendNotify(record.hwnd, NM_SETFOCUS, &nm);
                return 0;
            }
            case WM_KILLFOCUS: {
                *handled = false;
                NMHDR nm;
                SendNotify(record.hwnd, NM_KILLFOCUS, &nm);
                return 0;
            }
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            default:
                *handled = false;
                return 0;
        }
    }
};

}  // namespace

std::string PickerFormatToQt(const std::string& format) {
    std::string out;
    std::string literal;  // pending literal text, written quoted
    auto flushLiteral = [&] {
        if (literal.empty()) return;
        out += '\'';
        for (char c : literal) out += c == '\'' ? std::string("''") : std::string(1, c);
        out += '\'';
        literal.clear();
    };
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '\'') {
            // A quoted literal; two quotes inside it stand for one.
            ++i;
            while (i < format.size()) {
                if (format[i] == '\'') {
                    if (i + 1 < format.size() && format[i + 1] == '\'') {
                        literal += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += format[i++];
            }
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        std::string field;
        switch (c) {
            case 'd':
                field = std::string(std::min<size_t>(run, 4), 'd');
                break;
            case 'M':
                field = std::string(std::min<size_t>(run, 4), 'M');
                break;
            case 'y':
                field = run <= 2 ? "yy" : "yyyy";
                break;
            case 'h':
            case 'H':
            case 'm':
            case 's':
                field = std::string(std::min<size_t>(run, 2), c);
                break;
            case 't':
                field = "AP";
                break;
            default:
                break;
        }
        if (field.empty()) {
            // Other letters mean nothing to the picker but would to Qt: they stay literal.
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (letter) {
                literal.append(run, c);
            } else {
                flushLiteral();
                out.append(run, c);
            }
        } else {
            flushLiteral();
            out += field;
        }
        i += run;
    }
    flushLiteral();
    return out;
}

std::unique_ptr<WindowClass> MakeDateTimePickerClass() {
    return std::make_unique<DateTimePickerClass>();
}

}  // namespace platform::ui
