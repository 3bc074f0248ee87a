// The calendar box: its texts in each mode, reading with normalisation and limits, the edit
// window's filter and field selection, and the month view that drops down from it.
#include "controls/calendar_ui.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include <cstdlib>
#include <string>

#include "app/dialog_builder_callback_ex.h"
#include "uilib/internal/native_window.h"
#include "tests/controls/controls_test_support.h"
#include "tests/support/case_printing.h"

namespace {

using guisupport::ProcessMessages;
using guisupport::ProcessMessagesUntil;
using Window = controlstest::LayoutWindow<CDialogBuilderCallbackEx>;

const char kStart[] = "2020-05-06 07:08:09";

DateTimeValue Moment(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return DateTimeFromFields(tm);
}

// Local time of the whole process for one test.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old, m_had = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        m_had ? setenv("TZ", m_old.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

// --- Texts ----------------------------------------------------------------------------------

struct TextCase : testcases::NamedCase {
    DateTimeMode mode;
    const char* typed;
    const char* shown;  // what the box shows afterwards
};

class CalendarTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CalendarTextTest, ReadsInItsModeAndShowsTheValue) {
    const TextCase& c = GetParam();
    CCalendarUI calendar;
    calendar.SetValue(Moment(2020, 5, 6, 7, 8, 9));
    calendar.SetMode(c.mode);
    calendar.SetText(c.typed);
    EXPECT_EQ(std::string(calendar.GetText()), c.shown);
}

const char kKeptDateTime[] = "2020-05-06 07:08:09";
INSTANTIATE_TEST_SUITE_P(
    Texts, CalendarTextTest,
    ::testing::Values(
        TextCase{{"DayBeyondTheMonthCarriesOver"}, kDateOnly, "2014-2-30", "2014-03-02"},
        TextCase{{"SecondsCarryIntoTheNextYear"}, kDateAndTime, "2016-12-31 23:59:60",
                 "2017-01-01 00:00:00"},
        TextCase{{"LeapDay"}, kDateOnly, "2016-2-29", "2016-02-29"},
        TextCase{{"TimeOnlyShowsOnlyTheTime"}, kTimeOnly, "7:5:3", "07:05:03"},
        TextCase{{"TooLongKeepsTheValue"}, kDateOnly, "2014-02-03 ", "2020-05-06"},
        TextCase{{"MissingFieldsKeepTheValue"}, kDateAndTime, "2014-3-1", kKeptDateTime},
        TextCase{{"LettersKeepTheValue"}, kDateAndTime, "yesterday", kKeptDateTime},
        TextCase{{"Year3000KeepsTheValue"}, kDateOnly, "3000-1-2", "2020-05-06"},
        TextCase{{"FirstOfYear3000IsTheLastValid"}, kDateAndTime, "2999-12-31 23:59:59",
                 "2999-12-31 23:59:59"}),
    testcases::kCaseName);

TEST(CalendarText, EmptyTextEmptiesTheBoxAndKeepsTheValue) {
    CCalendarUI calendar;
    calendar.SetText(kStart);
    calendar.SetText("");
    EXPECT_EQ(std::string(calendar.GetText()), "");
    EXPECT_EQ(FormatDateTime(calendar.GetValue(), kDateAndTime), kStart);
    calendar.SetMode(kDateOnly);
    EXPECT_EQ(std::string(calendar.GetText()), "2020-05-06");
}

struct RoundTripCase : testcases::NamedCase {
    DateTimeMode mode;
};

class CalendarRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

// Whatever the box writes reads back to the same text and, with a date, the same moment.
TEST_P(CalendarRoundTripTest, WrittenTextsReadBackToTheSameValue) {
    DateTimeMode mode = GetParam().mode;
    for (DateTimeValue value : {Moment(1970, 1, 2), Moment(2000, 2, 29, 12, 34, 56),
                                Moment(2014, 3, 30, 2, 30), Moment(2999, 12, 31, 23, 59, 59)}) {
        CCalendarUI calendar;
        calendar.SetMode(mode);
        calendar.SetValue(value);
        std::string written(calendar.GetText());
        DateTimeValue read;
        ASSERT_TRUE(ParseDateTime(written.c_str(), mode, &read)) << written;
        EXPECT_EQ(FormatDateTime(read, mode), written);
        if (mode != kTimeOnly) {
            EXPECT_EQ(read.time, mode == kDateOnly ? Moment(value.tm.tm_year + 1900,
                                                            value.tm.tm_mon + 1, value.tm.tm_mday)
                                                         .time
                                                   : value.time)
                << written;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CalendarRoundTripTest,
                         ::testing::Values(RoundTripCase{{"DateAndTime"}, kDateAndTime},
                                           RoundTripCase{{"DateOnly"}, kDateOnly},
                                           RoundTripCase{{"TimeOnly"}, kTimeOnly}),
                         testcases::kCaseName);

// A clock time the spring change skips moves as mktime moves it, and stays on its day.
TEST(CalendarText, TimeInTheSpringGapMovesWithinItsDay) {
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    CCalendarUI calendar;
    calendar.SetText("2014-3-30 2:30:00");
    std::string shown(calendar.GetText());
    EXPECT_TRUE(shown == "2014-03-30 03:30:00" || shown == "2014-03-30 01:30:00") << shown;
    DateTimeValue read;
    ASSERT_TRUE(ParseDateTime(shown.c_str(), kDateAndTime, &read));
    EXPECT_EQ(read.time, calendar.GetValue().time);
}

// Where the clocks skip midnight, the day itself still reads as that day.
TEST(CalendarText, DayWhoseMidnightIsSkippedStaysThatDay) {
    ScopedTimeZone zone("BRT3BRST,M10.3.0/0,M2.3.0/0");
    CCalendarUI calendar;
    calendar.SetMode(kDateOnly);
    calendar.SetText("2014-10-19");
    EXPECT_EQ(std::string(calendar.GetText()), "2014-10-19");
}

struct FieldCase : testcases::NamedCase {
    DateTimeMode mode;
    int pos;
    int start;
    int end;
};

class CalendarFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CalendarFieldTest, DoubleClickSelectsTheFieldUnderTheCaret) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(CCalendarEditWnd::FieldAt(c.mode, c.pos), std::make_pair(c.start, c.end));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CalendarFieldTest,
    ::testing::Values(FieldCase{{"Year"}, kDateAndTime, 2, 0, 4},
                      FieldCase{{"AfterYear"}, kDateAndTime, 4, 0, 4},
                      FieldCase{{"Month"}, kDateAndTime, 5, 5, 7},
                      FieldCase{{"Hour"}, kDateAndTime, 12, 11, 13},
                      FieldCase{{"Seconds"}, kDateAndTime, 19, 17, 19},
                      FieldCase{{"DateOnlyDay"}, kDateOnly, 9, 8, 10},
                      FieldCase{{"TimeOnlyMinute"}, kTimeOnly, 4, 3, 5},
                      FieldCase{{"TimeOnlySecond"}, kTimeOnly, 8, 6, 8}),
    testcases::kCaseName);

// --- In a window ----------------------------------------------------------------------------

const RECT kMonitor{0, 0, 1280, 800};

class CalendarWindowTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        UISetMonitorInfoOverride(&kMonitor, &kMonitor);
    }
    void TearDown() override {
        UISetMonitorInfoOverride(nullptr, nullptr);
        controlstest::SkinTest::TearDown();
    }
    CCalendarUI* OpenWith(const char* attributes, int y = 100) {
        std::string layout =
            std::string(R"(<Window size="320,120"><VerticalLayout inset="20,20,20,20">)") +
            "<Calendar name=\"cal\" width=\"200\" " + attributes +
            "/><Edit name=\"other\"/></VerticalLayout></Window>";
        if (!m_window.Open(layout, 100, y)) return nullptr;
        HWND h = m_window;
        ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; });
        return m_window.Find<CCalendarUI>("cal");
    }
    CCalendarWnd* ClickToOpen(CCalendarUI* calendar) {
        guisupport::Click(m_window, guisupport::CenterOf(calendar->GetPos()));
        ProcessMessagesUntil([&] { return calendar->GetPopup() != nullptr; });
        return calendar->GetPopup();
    }
    COptionUI* Day(CCalendarWnd* popup, int day) {
        auto* days = static_cast<CContainerUI*>(popup->FindControl("container_day"));
        for (int r = 0; r < days->GetCount(); ++r) {
            auto* row = static_cast<CContainerUI*>(days->GetItemAt(r));
            for (int i = 0; i < row->GetCount(); ++i)
                if (row->GetItemAt(i)->GetTag() == static_cast<UINT_PTR>(day))
                    return static_cast<COptionUI*>(row->GetItemAt(i));
        }
        return nullptr;
    }
    void ClickDay(CCalendarWnd* popup, int day) {
        popup->GetPaintManager().UpdateLayout();
        guisupport::Click(*popup, guisupport::CenterOf(Day(popup, day)->GetPos()));
        ProcessMessages();
    }

    Window m_window;
};

TEST_F(CalendarWindowTest, LayoutAttributeChoosesTheMode) {
    CCalendarUI* calendar = OpenWith(R"(class="calender_dateonly" text="2014-2-30")");
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->GetMode(), kDateOnly);
    EXPECT_EQ(calendar->GetMaxChar(), 10u);
    EXPECT_EQ(std::string(calendar->GetText()), "2014-03-02");
}

TEST_F(CalendarWindowTest, ClickOpensTheMonthBelowAndPickingADayClosesBoth) {
    CCalendarUI* calendar = OpenWith(R"(text="2014-3-9 10:11:12")");
    CCalendarWnd* popup = ClickToOpen(calendar);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(calendar->IsEditing());
    RECT rc = popup->GetWindowRect();
    POINT bottomLeft{calendar->GetPos().left, calendar->GetPos().bottom};
    m_window.GetPaintManager().ClientToScreen(bottomLeft);
    EXPECT_EQ(rc, (RECT{bottomLeft.x, bottomLeft.y, bottomLeft.x + 172, bottomLeft.y + 194}));
    EXPECT_TRUE(Day(popup, 9)->IsSelected());
    EXPECT_EQ(std::string(Day(popup, 17)->GetToolTip()), "2014-03-17");
    EXPECT_EQ(std::string(popup->FindControl("edit_current")->GetText()), "2014-03-09");
    guisupport::SaveScreenshot(*popup, "calendar_popup");

    HWND popupHandle = *popup;
    ClickDay(popup, 20);
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(popupHandle); }));
    EXPECT_EQ(calendar->GetPopup(), nullptr);
    EXPECT_FALSE(calendar->IsEditing());
    EXPECT_EQ(std::string(calendar->GetText()), "2014-03-20 10:11:12");
    EXPECT_EQ(m_window.Count("textchanged", "cal"), 1);
}

TEST_F(CalendarWindowTest, TimeOnlyBoxShowsOnlyTheTimeAfterADayIsPicked) {
    CCalendarUI* calendar = OpenWith(R"(datetimemode="timeonly" text="08:30:00")");
    CCalendarWnd* popup = ClickToOpen(calendar);
    ASSERT_NE(popup, nullptr);
    popup->GetPaintManager().PaintNow();
    guisupport::SaveScreenshot(*popup, "calendar_popup_today");
    ClickDay(popup, 1);
    ProcessMessagesUntil([&] { return calendar->GetPopup() == nullptr; });
    EXPECT_EQ(std::string(calendar->GetText()), "08:30:00");
    EXPECT_EQ(calendar->GetValue().tm.tm_mday, 1);
}

TEST_F(CalendarWindowTest, OpensAboveWhenBelowWouldLeaveTheWorkArea) {
    CCalendarUI* calendar = OpenWith("", 700);
    CCalendarWnd* popup = ClickToOpen(calendar);
    ASSERT_NE(popup, nullptr);
    POINT topLeft{calendar->GetPos().left, calendar->GetPos().top};
    m_window.GetPaintManager().ClientToScreen(topLeft);
    EXPECT_EQ(popup->GetWindowRect().bottom, topLeft.y);
}

TEST_F(CalendarWindowTest, MonthButtonsKeepTheDayInsideTheMonth) {
    CCalendarUI* calendar = OpenWith(R"(text="2015-1-31 00:00:00")");
    CCalendarWnd* popup = ClickToOpen(calendar);
    ASSERT_NE(popup, nullptr);
    auto click = [&](const char* name) {
        guisupport::Click(*popup, controlstest::CenterOf(popup->GetPaintManager(), name));
        ProcessMessages();
        return FormatDateTime(popup->GetDisplayed(), kDateOnly);
    };
    EXPECT_EQ(click("btn_nextmonth"), "2015-02-28");
    EXPECT_EQ(click("btn_premonth"), "2015-01-28");
    EXPECT_EQ(click("btn_nextyear"), "2016-01-28");
    EXPECT_EQ(click("btn_preyear"), "2015-01-28");
}

// The 1st of each month lies under the header of its weekday, whichever weekday that is.
TEST_F(CalendarWindowTest, FirstDayLinesUpWithItsWeekday) {
    CCalendarUI* calendar = OpenWith("");
    const char* firsts[] = {"2014-6-1 0:0:0", "2014-9-1 0:0:0",  "2014-7-1 0:0:0",
                            "2014-10-1 0:0:0", "2014-5-1 0:0:0", "2014-8-1 0:0:0",
                            "2014-3-1 0:0:0"};
    for (int weekday = 0; weekday < 7; ++weekday) {
        calendar->SetText(firsts[weekday]);
        CCalendarWnd* popup = ClickToOpen(calendar);
        ASSERT_NE(popup, nullptr);
        popup->GetPaintManager().UpdateLayout();
        auto* days = static_cast<CContainerUI*>(popup->FindControl("container_day"));
        auto* header = static_cast<CContainerUI*>(
            static_cast<CContainerUI*>(days->GetParent())->GetItemAt(1));
        EXPECT_EQ(Day(popup, 1)->GetPos().left, header->GetItemAt(weekday)->GetPos().left)
            << firsts[weekday];
        EXPECT_EQ(Day(popup, 8)->GetPos().left, Day(popup, 1)->GetPos().left);
        EXPECT_LE(days->GetItemAt(days->GetCount() - 1)->GetPos().bottom, days->GetPos().bottom);
        calendar->ClosePopup();
        ProcessMessages();
        m_window.GetPaintManager().SetFocus(nullptr);
    }
}

TEST_F(CalendarWindowTest, TypedLettersAndPastedTextChangeNothing) {
    CCalendarUI* calendar = OpenWith(R"(text="2020-05-06 07:08:09")");
    ASSERT_NE(ClickToOpen(calendar), nullptr);
    calendar->SetSelAll();
    ASSERT_TRUE(guisupport::TypeText(m_window, "x"));
    EXPECT_EQ(std::string(calendar->GetText()), kStart);
    auto* edit = uilib_detail::NativeFromHandle(m_window)->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QApplication::clipboard()->setText("abc");
    edit->end(false);
    edit->paste();
    EXPECT_EQ(std::string(calendar->GetText()), kStart);
    EXPECT_EQ(m_window.Count("textchanged", "cal"), 0);
    calendar->SetSelAll();
    ASSERT_TRUE(guisupport::TypeText(m_window, "2014-2-30 1:2:3"));
    EXPECT_EQ(std::string(calendar->GetText()), "2014-03-02 01:02:03");
    ASSERT_NE(calendar->GetPopup(), nullptr);
    EXPECT_EQ(FormatDateTime(calendar->GetPopup()->GetDisplayed(), kDateOnly), "2014-03-02")
        << "the month view follows what is typed";
}

// Two single clicks in quick succession work as a double click: the field under them is
// selected, so what is typed next replaces just that field.
TEST_F(CalendarWindowTest, SecondClickSoonSelectsTheFieldUnderIt) {
    CCalendarUI* calendar = OpenWith(R"(text="2014-03-09 10:11:12")");
    ASSERT_NE(ClickToOpen(calendar), nullptr);
    ASSERT_TRUE(calendar->IsEditing());
    RECT rc = calendar->GetPos();
    int y = (rc.top + rc.bottom) / 2;
    int x = rc.left;
    while (x < rc.right && calendar->GetCharFromPos(POINT{x, y}) < 6) ++x;
    ASSERT_LT(x, rc.right);
    ProcessMessagesUntil([] { return false; }, static_cast<int>(UIGetDoubleClickTime()) + 50);
    guisupport::Click(m_window, POINT{x, y});
    guisupport::Click(m_window, POINT{x, y});
    ASSERT_TRUE(guisupport::TypeText(m_window, "7"));
    EXPECT_EQ(std::string(calendar->GetText()), "2014-07-09 10:11:12");
}

TEST_F(CalendarWindowTest, EscapeAndLeavingTheBoxCloseTheMonth) {
    CCalendarUI* calendar = OpenWith("");
    ASSERT_NE(ClickToOpen(calendar), nullptr);
    guisupport::TypeKey(VK_ESCAPE);
    EXPECT_TRUE(ProcessMessagesUntil([&] { return calendar->GetPopup() == nullptr; }));
    ASSERT_NE(ClickToOpen(calendar), nullptr);
    m_window.Find<CControlUI>("other")->SetFocus();
    EXPECT_TRUE(ProcessMessagesUntil([&] { return calendar->GetPopup() == nullptr; }));

    // Clicked into, the month has the keyboard: Escape there closes it too, and nothing changes.
    const std::string before = calendar->GetText().str();
    CCalendarWnd* popup = ClickToOpen(calendar);
    ASSERT_NE(popup, nullptr);
    guisupport::Click(*popup, controlstest::CenterOf(popup->GetPaintManager(), "btn_nextmonth"));
    ProcessMessages();
    guisupport::PressKey(*popup, VK_ESCAPE);
    EXPECT_TRUE(ProcessMessagesUntil([&] { return calendar->GetPopup() == nullptr; }));
    EXPECT_EQ(calendar->GetText().str(), before);
}

}  // namespace
