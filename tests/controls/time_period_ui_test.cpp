// The weekly picker under the mouse and keys, its two-way binding with "period_edit", and the
// time-period box with its dialog.
#include "controls/time_period_ui.h"

#include <set>
#include <string>

#include "app/dialog_builder_callback_ex.h"
#include "controls/time_period_picker_ui.h"
#include "tests/controls/controls_test_support.h"

namespace {

using guisupport::ProcessMessages;
using guisupport::ProcessMessagesUntil;
using Window = controlstest::LayoutWindow<CDialogBuilderCallbackEx>;

const int kTuesday = 1;
const int kThursday = 3;

const char kThreePeriods[] =
    "星期一, 二, 三, 四, 五 08:00:00 至 12:00:00;星期一, 二, 三, 四, 五 13:30:00 至 18:00:00;"
    "星期六, 日 10:00:00 至 16:00:00";

class PickerTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        ASSERT_TRUE(m_window.Open(R"(<Window size="485,240"><VerticalLayout>
            <TimePeriodPicker name="period_picker" height="177"/>
            <Edit name="period_edit"/></VerticalLayout></Window>)"));
        m_picker = m_window.Find<CTimePeriodPickerUI>("period_picker");
        m_edit = m_window.Find<CEditUI>("period_edit");
        ASSERT_TRUE(m_picker && m_edit);
        ASSERT_EQ(m_picker->GetGrid().hourWidth, 18) << "the points below rely on it";
    }
    // The point of a time of day (seconds) in a day row.
    POINT At(int seconds, int day) {
        CTimePeriodPickerUI::Grid grid = m_picker->GetGrid();
        return POINT{grid.left + seconds * grid.hourWidth / 3600,
                     grid.top + day * CTimePeriodPickerUI::kRowHeight + 11};
    }
    void Drag(POINT from, POINT to) {
        guisupport::MouseDown(m_window, from, MK_LBUTTON);
        guisupport::MoveMouse(m_window, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
        guisupport::MoveMouse(m_window, to);
        guisupport::MouseUp(m_window, to);
        ProcessMessages();
    }
    int ActiveCount() {
        int count = 0;
        for (int slot = 0; slot < kMaxTimePeriods; ++slot) count += m_picker->GetPeriods()[slot].active;
        return count;
    }
    std::string Text(int slot) { return FormatTimePeriod(m_picker->GetPeriods()[slot]); }
    void Load(const char* text) {
        TimePeriodValue value;
        ASSERT_TRUE(ParseTimePeriodValue(text, &value));
        m_picker->SetPeriods(value.periods);
        m_window.GetPaintManager().PaintNow();
    }

    Window m_window;
    CTimePeriodPickerUI* m_picker = nullptr;
    CEditUI* m_edit = nullptr;
};

TEST_F(PickerTest, DragAcrossDaysMakesOnePeriodOverThoseDays) {
    Drag(At(8 * 3600, kTuesday), At(10 * 3600, kThursday));
    ASSERT_EQ(ActiveCount(), 1);
    EXPECT_EQ(Text(0), "星期二, 三, 四 08:00:00 至 10:00:00");
    EXPECT_EQ(m_picker->GetSelected(), 0);
    EXPECT_EQ(std::string(m_edit->GetText()), Text(0));
}

TEST_F(PickerTest, DragBackwardsMakesThePeriodFromTheLaterPoint) {
    Drag(At(10 * 3600, kThursday), At(8 * 3600, kTuesday));
    ASSERT_EQ(ActiveCount(), 1);
    EXPECT_EQ(Text(0), "星期二, 三, 四 08:00:00 至 10:00:00");
}

// A pixel of the grid is 200 seconds: drawn times snap to the nearest quarter hour.
TEST_F(PickerTest, DrawnTimesSnapToQuarterHours) {
    Drag(At(8 * 3600 + 400, kTuesday), At(17 * 3600 + 3300, kTuesday));
    EXPECT_EQ(Text(0), "星期二 08:00:00 至 18:00:00");
}

TEST_F(PickerTest, DragShorterThanFourPixelsLeavesNoPeriod) {
    POINT from = At(8 * 3600, kTuesday);
    Drag(from, POINT{from.x + 3, from.y});
    EXPECT_EQ(ActiveCount(), 0);
    EXPECT_EQ(m_picker->GetSelected(), -1);
    EXPECT_EQ(std::string(m_edit->GetText()), "");
}

TEST_F(PickerTest, NoNinthPeriodAndEveryPeriodHasItsOwnColour) {
    for (int hour = 0; hour < 9; ++hour) Drag(At(hour * 3600, 0), At(hour * 3600 + 3000, 0));
    EXPECT_EQ(ActiveCount(), 8);
    EXPECT_EQ(Text(7), "星期一 07:00:00 至 07:45:00");
    std::set<int> colours;
    for (int slot = 0; slot < kMaxTimePeriods; ++slot) colours.insert(m_picker->GetShape(slot).colour);
    EXPECT_EQ(colours.size(), 8u);
    EXPECT_EQ(colours.count(-1), 0u);
}

TEST_F(PickerTest, DraggingAPeriodMovesItAndItsDaysWithinTheWeek) {
    Load("星期一, 二 08:00:00 至 10:00:00");
    Drag(At(9 * 3600, 0), At(11 * 3600, 2));
    EXPECT_EQ(Text(0), "星期三, 四 10:00:00 至 12:00:00");
    Drag(At(11 * 3600, 2), At(30 * 3600, 9));
    EXPECT_EQ(Text(0), "星期六, 日 22:00:00 至 24:00:00") << "kept inside the day and the week";
}

TEST_F(PickerTest, DraggingAnEdgeChangesThatTimeAndCrossingTurnsIt) {
    Load("星期五 08:00:00 至 10:00:00");
    POINT end = At(10 * 3600, 4);
    Drag(POINT{end.x - 2, end.y}, At(12 * 3600, 4));
    EXPECT_EQ(Text(0), "星期五 08:00:00 至 12:00:00");
    POINT start = At(8 * 3600, 4);
    Drag(POINT{start.x + 1, start.y}, At(14 * 3600, 4));
    EXPECT_EQ(Text(0), "星期五 12:00:00 至 14:00:00");
}

TEST_F(PickerTest, RightClickTogglesADayButKeepsTheLastOne) {
    Load("星期一, 二 08:00:00 至 10:00:00");
    Drag(At(9 * 3600, 0), At(9 * 3600, 0));
    guisupport::RightClick(m_window, At(9 * 3600, 0));
    ProcessMessages();
    EXPECT_EQ(Text(0), "星期二 08:00:00 至 10:00:00");
    guisupport::RightClick(m_window, At(9 * 3600, 1));
    ProcessMessages();
    EXPECT_EQ(Text(0), "星期二 08:00:00 至 10:00:00");
    guisupport::RightClick(m_window, At(9 * 3600, 5));
    ProcessMessages();
    EXPECT_EQ(Text(0), "星期二, 六 08:00:00 至 10:00:00");
}

TEST_F(PickerTest, DeleteRemovesTheSelectedPeriod) {
    Load(kThreePeriods);
    Drag(At(11 * 3600, 5), At(11 * 3600, 5));
    ASSERT_EQ(m_picker->GetSelected(), 2);
    m_picker->SetFocus();
    guisupport::PressKey(m_window, VK_DELETE);
    ProcessMessages();
    EXPECT_EQ(ActiveCount(), 2);
    EXPECT_EQ(m_picker->GetSelected(), -1);
    EXPECT_EQ(std::string(m_edit->GetText()), "");
}

TEST_F(PickerTest, TypingInPeriodEditChangesTheSelectedPeriod) {
    Load(kThreePeriods);
    Drag(At(11 * 3600, 5), At(11 * 3600, 5));
    HWND h = m_window;
    ASSERT_TRUE(ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; }));
    m_edit->SetFocus();
    m_edit->SetSelAll();
    ASSERT_TRUE(guisupport::TypeText(m_window, "星期日 09:00:00 至 11:00:00"));
    EXPECT_EQ(Text(2), "星期日 09:00:00 至 11:00:00");
    m_window.GetPaintManager().PaintNow();
    EXPECT_EQ(m_picker->GetShape(2).days, 0x40);
    EXPECT_EQ(m_picker->GetShape(2).startX, 9 * 18);
}

// --- The box and its dialog -----------------------------------------------------------------

const RECT kMonitor{0, 0, 1280, 800};

class TimePeriodBoxTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        UISetMonitorInfoOverride(&kMonitor, &kMonitor);
        ASSERT_TRUE(m_window.Open(R"(<Window size="560,120"><VerticalLayout inset="20,20,20,20">
            <TimePeriod name="tp" width="500"/><Edit name="other"/></VerticalLayout></Window>)"));
        HWND h = m_window;
        ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; });
        m_box = m_window.Find<CTimePeriodUI>("tp");
        ASSERT_NE(m_box, nullptr);
    }
    void TearDown() override {
        UISetMonitorInfoOverride(nullptr, nullptr);
        controlstest::SkinTest::TearDown();
    }
    CTimePeriodWnd* ClickToOpen() {
        guisupport::Click(m_window, guisupport::CenterOf(m_box->GetPos()));
        ProcessMessagesUntil([&] { return m_box->GetPopup() != nullptr; });
        if (m_box->GetPopup()) m_box->GetPopup()->GetPaintManager().UpdateLayout();
        return m_box->GetPopup();
    }
    void ClickIn(CTimePeriodWnd* dialog, const char* name) {
        guisupport::Click(*dialog, controlstest::CenterOf(dialog->GetPaintManager(), name));
        ProcessMessages();
    }

    Window m_window;
    CTimePeriodUI* m_box = nullptr;
};

TEST_F(TimePeriodBoxTest, UnreadableTextKeepsValueAndText) {
    m_box->SetText(kThreePeriods);
    m_box->SetText("每天早上");
    EXPECT_EQ(std::string(m_box->GetText()), kThreePeriods);
    EXPECT_TRUE(m_box->GetValue().periodic);
    m_box->SetText("");
    EXPECT_FALSE(m_box->GetValue().present);
    EXPECT_EQ(std::string(m_box->GetText()), "");
}

TEST_F(TimePeriodBoxTest, DialogShowsTheScheduleAndSetsTheChosenRange) {
    m_box->SetText(kThreePeriods);
    CTimePeriodWnd* dialog = ClickToOpen();
    ASSERT_NE(dialog, nullptr);
    RECT rc = dialog->GetWindowRect();
    EXPECT_EQ(rc.GetWidth(), 487);
    EXPECT_EQ(rc.GetHeight(), 228);
    auto* tabs = static_cast<CTabLayoutUI*>(dialog->FindControl("tablayout"));
    EXPECT_EQ(tabs->GetCurSel(), 1);
    auto* picker = static_cast<CTimePeriodPickerUI*>(dialog->FindControl("period_picker"));
    EXPECT_EQ(FormatTimePeriod(picker->GetPeriods()[2]), "星期六, 日 10:00:00 至 16:00:00");
    CTimePeriodPickerUI::Grid grid = picker->GetGrid();
    guisupport::Click(*dialog, POINT{grid.left + 15 * grid.hourWidth, grid.top + 5 * 22 + 11});
    ProcessMessages();
    EXPECT_EQ(picker->GetSelected(), 2);
    EXPECT_EQ(std::string(dialog->FindControl("period_edit")->GetText()),
              "星期六, 日 10:00:00 至 16:00:00");
    dialog->GetPaintManager().PaintNow();
    guisupport::SaveScreenshot(*dialog, "time_period_weekly");

    ClickIn(dialog, "opt_range");
    EXPECT_EQ(tabs->GetCurSel(), 0);
    static_cast<CCalendarUI*>(dialog->FindControl("cld_begin"))->SetText("2026-01-01 00:00:00");
    static_cast<CCalendarUI*>(dialog->FindControl("cld_end"))->SetText("2026-12-31 23:59:59");
    dialog->GetPaintManager().PaintNow();
    guisupport::SaveScreenshot(*dialog, "time_period_range");
    HWND handle = *dialog;
    ClickIn(dialog, "btn_set");
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(handle); }));
    EXPECT_EQ(std::string(m_box->GetText()), "2026-01-01 00:00:00 至 2026-12-31 23:59:59");
    EXPECT_FALSE(m_box->GetValue().periodic);
    EXPECT_EQ(m_window.Count("textchanged", "tp"), 1);
}

class LeavingTheDialog : public TimePeriodBoxTest, public ::testing::WithParamInterface<bool> {};

// Escape typed in the dialog, or its 取消, leaves it without setting anything.
TEST_P(LeavingTheDialog, ClosesItAndKeepsTheValue) {
    m_box->SetText("2014-1-1 0:0:0 至 2014-12-31 23:59:59");
    CTimePeriodWnd* dialog = ClickToOpen();
    ASSERT_NE(dialog, nullptr);
    ClickIn(dialog, "opt_periodic");
    if (GetParam())
        ClickIn(dialog, "btn_cancel");
    else
        guisupport::PressKey(*dialog, VK_ESCAPE);
    EXPECT_TRUE(ProcessMessagesUntil([&] { return m_box->GetPopup() == nullptr; }));
    EXPECT_EQ(m_box->GetText().str(), "2014-01-01 00:00:00 至 2014-12-31 23:59:59");
    EXPECT_EQ(m_window.Count("textchanged", "tp"), 0);
}

INSTANTIATE_TEST_SUITE_P(ByEscapeOrCancel, LeavingTheDialog, ::testing::Bool());

TEST_F(TimePeriodBoxTest, ANewRangeIsTheWholeOfToday) {
    CTimePeriodWnd* dialog = ClickToOpen();
    ASSERT_NE(dialog, nullptr);
    const std::string today = FormatDateTime(DateTimeNow(), kDateOnly);
    EXPECT_EQ(dialog->FindControl("cld_begin")->GetText().str(), today + " 00:00:00");
    EXPECT_EQ(dialog->FindControl("cld_end")->GetText().str(), today + " 23:59:59");
}

TEST_F(TimePeriodBoxTest, WeeklyTabGivesTheDrawnSchedule) {
    CTimePeriodWnd* dialog = ClickToOpen();
    ASSERT_NE(dialog, nullptr);
    ClickIn(dialog, "opt_periodic");
    auto* picker = static_cast<CTimePeriodPickerUI*>(dialog->FindControl("period_picker"));
    CTimePeriodPickerUI::Grid grid = picker->GetGrid();
    POINT from{grid.left + 8 * grid.hourWidth, grid.top + 11};
    POINT to{grid.left + 10 * grid.hourWidth, grid.top + 22 + 11};
    guisupport::MouseDown(*dialog, from, MK_LBUTTON);
    guisupport::MoveMouse(*dialog, to);
    guisupport::MouseUp(*dialog, to);
    ProcessMessages();
    ClickIn(dialog, "btn_set");
    ProcessMessagesUntil([&] { return m_box->GetPopup() == nullptr; });
    EXPECT_EQ(std::string(m_box->GetText()), "星期一, 二 08:00:00 至 10:00:00");
}

TEST_F(TimePeriodBoxTest, TypedTextIsReadWhenTypingEnds) {
    CControlUI* other = m_window.Find<CControlUI>("other");
    m_box->SetFocus();
    m_box->SetSelAll();
    ASSERT_TRUE(guisupport::TypeText(m_window, "星期三 18:00:00 至 9:00:00"));
    other->SetFocus();
    EXPECT_EQ(std::string(m_box->GetText()), "星期三 09:00:00 至 18:00:00");
    m_box->SetFocus();
    m_box->SetSelAll();
    ASSERT_TRUE(guisupport::TypeText(m_window, "下午"));
    other->SetFocus();
    EXPECT_EQ(std::string(m_box->GetText()), "星期三 09:00:00 至 18:00:00");
}

TEST_F(TimePeriodBoxTest, LeavingTheBoxClosesTheDialog) {
    ASSERT_NE(ClickToOpen(), nullptr);
    m_window.Find<CControlUI>("other")->SetFocus();
    EXPECT_TRUE(ProcessMessagesUntil([&] { return m_box->GetPopup() == nullptr; }));
}

}  // namespace
