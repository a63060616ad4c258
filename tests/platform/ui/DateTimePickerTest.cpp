// "SysDateTimePick32": values in and out as SYSTEMTIME, the "no date" state, the range, the
// display formats (never the machine's locale) and DTN_DATETIMECHANGE for the user's changes.
#include "platform/ui/DateTimePicker.h"

#include <gtest/gtest.h>

#include <QTest>

#include "support/ui/NotifyProbe.h"

namespace {

using kelmon::test::ui::NotifyTest;
using platform::ui::PickerFormatToQt;

SYSTEMTIME Date(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(hh);
    st.wMinute = static_cast<WORD>(mm);
    st.wSecond = static_cast<WORD>(ss);
    return st;
}

class DateTimePickerTest : public NotifyTest {
protected:
    LRESULT Set(const SYSTEMTIME& st) {
        return Send(DTM_SETSYSTEMTIME, static_cast<WPARAM>(GDT_VALID),
                    reinterpret_cast<LPARAM>(&st));
    }
    LRESULT Get(SYSTEMTIME* st) { return Send(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(st)); }
};

TEST_F(DateTimePickerTest, ValuesRoundTripWithWeekdayAndShowInFixedFormats) {
    Make("SysDateTimePick32", DTS_SHORTDATEFORMAT);
    ASSERT_TRUE(Set(Date(2024, 2, 29, 13, 5, 9)));
    SYSTEMTIME got;
    EXPECT_EQ(Get(&got), GDT_VALID);
    EXPECT_EQ(got.wYear, 2024);
    EXPECT_EQ(got.wMonth, 2);
    EXPECT_EQ(got.wDay, 29);
    EXPECT_EQ(got.wDayOfWeek, 4);  // a Thursday
    EXPECT_EQ(control_.GetWindowText(), "2024-02-29");
    EXPECT_FALSE(Set(Date(2023, 2, 29)));  // no such day
    EXPECT_FALSE(Set(Date(2024, 13, 1)));
    EXPECT_EQ(Get(nullptr), GDT_ERROR);

    Send(DTM_SETFORMAT, 0, reinterpret_cast<LPARAM>("yyyy.MM.dd ddd"));
    EXPECT_EQ(control_.GetWindowText(), "2024.02.29 Thu");
    Send(DTM_SETFORMAT, 0, 0);  // back to the style's format
    EXPECT_EQ(control_.GetWindowText(), "2024-02-29");
    EXPECT_TRUE(notices.empty());  // program changes are silent
    control_.DestroyWindow();

    Make("SysDateTimePick32", DTS_TIMEFORMAT);
    Set(Date(2024, 2, 29, 13, 5, 9));
    EXPECT_EQ(control_.GetWindowText(), "13:05:09");
    Send(DTM_SETFORMAT, 0, reinterpret_cast<LPARAM>("HH'h'mm"));
    EXPECT_EQ(control_.GetWindowText(), "13h05");
}

TEST_F(DateTimePickerTest, FormatLettersTranslate) {
    const std::pair<const char*, const char*> cases[] = {
        {"yyyy-MM-dd", "yyyy-MM-dd"},
        {"HH:mm:ss", "HH:mm:ss"},
        {"yy.M.d", "yy.M.d"},
        {"hh:mm tt", "hh:mm AP"},
        {"'Day' d", "'Day' d"},
        {"yyyy'年'M'月'd'日'", "yyyy'年'M'月'd'日'"},
        {"d 'o''clock' zZ", "d 'o''clock' 'zZ'"},  // letters Qt would read stay literal
        {"dddddd", "dddd"},
    };
    for (const auto& [ours, qt] : cases) EXPECT_EQ(PickerFormatToQt(ours), qt) << ours;
}

TEST_F(DateTimePickerTest, RangeBoundsValues) {
    Make("SysDateTimePick32", 0);
    SYSTEMTIME range[2] = {Date(2020, 1, 1), Date(2020, 12, 31, 23, 59, 59)};
    EXPECT_TRUE(Send(DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range)));
    EXPECT_FALSE(Set(Date(2021, 1, 1)));
    EXPECT_TRUE(Set(Date(2020, 6, 1)));
    SYSTEMTIME back[2];
    EXPECT_EQ(Send(DTM_GETRANGE, 0, reinterpret_cast<LPARAM>(back)),
              static_cast<LRESULT>(GDTR_MIN | GDTR_MAX));
    EXPECT_EQ(back[1].wYear, 2020);
    EXPECT_EQ(back[1].wMonth, 12);
    SYSTEMTIME reversed[2] = {Date(2021, 1, 1), Date(2020, 1, 1)};
    EXPECT_FALSE(Send(DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(reversed)));
    EXPECT_TRUE(Send(DTM_SETRANGE, 0, 0));  // no bounds any more
    EXPECT_TRUE(Set(Date(2021, 1, 1)));
}

TEST_F(DateTimePickerTest, UserChangesNotifyOnce) {
    Make("SysDateTimePick32", DTS_UPDOWN);
    Set(Date(2024, 3, 10));
    notices.clear();
    Widget()->setFocus();
    notices.clear();                        // NM_SETFOCUS
    QTest::keyClick(Widget(), Qt::Key_Up);  // the first field, the year, steps up
    ASSERT_EQ(Codes(), (std::vector<UINT>{DTN_DATETIMECHANGE}));
    EXPECT_EQ(notices[0].date.dwFlags, static_cast<DWORD>(GDT_VALID));
    EXPECT_EQ(notices[0].date.st.wYear, 2025);
    EXPECT_EQ(notices[0].from, control_.m_hWnd);
    SYSTEMTIME got;
    Get(&got);
    EXPECT_EQ(got.wYear, 2025);
    EXPECT_EQ(Send(WM_GETDLGCODE) & DLGC_WANTARROWS, DLGC_WANTARROWS);
}

TEST_F(DateTimePickerTest, ShowNoneHoldsNoDate) {
    Make("SysDateTimePick32", DTS_SHOWNONE);
    Set(Date(2024, 3, 10));
    SYSTEMTIME got;
    EXPECT_EQ(Get(&got), GDT_VALID);
    EXPECT_TRUE(Send(DTM_SETSYSTEMTIME, static_cast<WPARAM>(GDT_NONE), 0));
    EXPECT_EQ(Get(&got), GDT_NONE);
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(Set(Date(2024, 3, 11)));
    EXPECT_EQ(Get(&got), GDT_VALID);
    EXPECT_EQ(got.wDay, 11);
    control_.DestroyWindow();

    Make("SysDateTimePick32", 0);  // without the style there is always a date
    EXPECT_FALSE(Send(DTM_SETSYSTEMTIME, static_cast<WPARAM>(GDT_NONE), 0));
    EXPECT_EQ(Get(&got), GDT_VALID);
}

}  // namespace
