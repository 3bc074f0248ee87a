// The notice next to the taskbar: its slide for each taskbar side, its stay, the mouse, closing.
#include "controls/taskbar_notifier.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/controls/controls_test_support.h"
#include "tests/support/case_printing.h"

namespace {

using guisupport::ProcessMessagesUntil;

using XY = std::pair<int, int>;

const RECT kMonitor{0, 0, 1920, 1080};
// A slide takes its timings' worth of steps; a loaded machine runs them late, so the waits for
// it are bounds only.
constexpr int kSlideBoundMs = 30000;

class NotifierTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        SetWorkArea(kMonitor, RECT{0, 0, 1920, 1040});
        ASSERT_TRUE(m_notifier.CreateNotifier());
        RECT rc = m_notifier.GetWindowRect();
        ASSERT_EQ(XY(rc.GetWidth(), rc.GetHeight()), XY(320, 150))
            << "the expected positions rely on the skin's size";
    }
    void TearDown() override {
        UISetMonitorInfoOverride(nullptr, nullptr);
        controlstest::SkinTest::TearDown();
    }
    void SetWorkArea(const RECT& monitor, const RECT& work) {
        UISetMonitorInfoOverride(&monitor, &work);
    }
    void SetTimings(UINT showMs, UINT stayMs, UINT hideMs) {
        m_notifier.SetTimings(CTaskbarNotifier::Timings{showMs, stayMs, hideMs});
    }
    bool WaitForState(CTaskbarNotifier::State state) {
        return ProcessMessagesUntil([&] { return m_notifier.GetState() == state; },
                                    kSlideBoundMs);
    }
    XY Pos() const {
        RECT rc = m_notifier.GetWindowRect();
        return XY(rc.left, rc.top);
    }
    // Shows the notice and waits until it has slid fully in.
    void ShowFully(UINT stayMs) {
        SetTimings(20, stayMs, 20);
        m_notifier.Show();
        ASSERT_TRUE(WaitForState(CTaskbarNotifier::kStaying));
    }
    // The notice's positions at every turn of the loop until the state is reached.
    std::vector<XY> Track(CTaskbarNotifier::State until) {
        std::vector<XY> track;
        ProcessMessagesUntil(
            [&] {
                track.push_back(Pos());
                return m_notifier.GetState() == until;
            },
            kSlideBoundMs);
        return track;
    }

    CTaskbarNotifier m_notifier;
};

int Distance(XY a, XY b) {
    return std::abs(a.first - b.first) + std::abs(a.second - b.second);
}

// Every position lies on the straight way from `from` to `to`, none further back than the last.
void ExpectSlide(const std::vector<XY>& track, XY from, XY to) {
    int traveled = 0;
    for (XY pt : track) {
        EXPECT_EQ(Distance(pt, from) + Distance(pt, to), Distance(from, to));
        EXPECT_GE(Distance(pt, from), traveled);
        traveled = Distance(pt, from);
    }
}

struct SideCase : testcases::NamedCase {
    RECT monitor;
    RECT work;
    CTaskbarNotifier::Direction direction;
    XY start;
    XY shown;
};

class NotifierSlideTest : public NotifierTest, public ::testing::WithParamInterface<SideCase> {};

TEST_P(NotifierSlideTest, SlidesInFromTheTaskbarSideAndLeavesTheSameWay) {
    const SideCase& side = GetParam();
    SetWorkArea(side.monitor, side.work);
    SetTimings(60, 30, 60);

    m_notifier.Show();
    EXPECT_EQ(m_notifier.GetDirection(), side.direction);
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kAppearing);
    EXPECT_TRUE(m_notifier.IsVisible());
    EXPECT_EQ(Pos(), side.start);

    std::vector<XY> in = Track(CTaskbarNotifier::kStaying);
    ASSERT_EQ(m_notifier.GetState(), CTaskbarNotifier::kStaying);
    ExpectSlide(in, side.start, side.shown);
    EXPECT_EQ(Pos(), side.shown);

    std::vector<XY> out = Track(CTaskbarNotifier::kHidden);
    ASSERT_EQ(m_notifier.GetState(), CTaskbarNotifier::kHidden);
    ExpectSlide(out, side.shown, side.start);
    EXPECT_EQ(Pos(), side.start);
    EXPECT_FALSE(m_notifier.IsVisible());
}

// The monitors beside and below the first one have edges away from 0.
// clang-format off
const SideCase kSides[] = {
    {"Bottom",             kMonitor,              {0, 0, 1920, 1040},    CTaskbarNotifier::kFromBottom, {1600, 1040}, {1600, 890}},
    {"Top",                kMonitor,              {0, 40, 1920, 1080},   CTaskbarNotifier::kFromTop,    {1600, -110}, {1600, 40}},
    {"Left",               kMonitor,              {60, 0, 1920, 1080},   CTaskbarNotifier::kFromLeft,   {-260, 930},  {60, 930}},
    {"Right",              kMonitor,              {0, 0, 1860, 1080},    CTaskbarNotifier::kFromRight,  {1860, 930},  {1540, 930}},
    {"NoTaskbar",          kMonitor,              kMonitor,              CTaskbarNotifier::kFromBottom, {1600, 1080}, {1600, 930}},
    {"SecondMonitorRight", {1920, 0, 3840, 1080}, {1920, 0, 3780, 1080}, CTaskbarNotifier::kFromRight,  {3780, 930},  {3460, 930}},
    {"SecondMonitorLeft",  {1920, 0, 3840, 1080}, {1980, 0, 3840, 1080}, CTaskbarNotifier::kFromLeft,   {1660, 930},  {1980, 930}},
    {"LowerMonitorTop",    {0, 1080, 1920, 2160}, {0, 1120, 1920, 2160}, CTaskbarNotifier::kFromTop,    {1600, 970},  {1600, 1120}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(TaskbarSides, NotifierSlideTest, ::testing::ValuesIn(kSides),
                         testcases::kCaseName);

// A new Show and the mouse over the notice both keep it up: the table runs each case for both.
class NotifierKeepShownTest : public NotifierTest, public ::testing::WithParamInterface<bool> {
protected:
    void KeepShown() {
        if (GetParam())
            guisupport::MoveMouse(m_notifier.GetHWND(), POINT{10, 10});
        else
            m_notifier.Show();
    }
};

// The stay is long enough that only a restart with the shorter one can end it in time.
TEST_P(NotifierKeepShownTest, WhileShownOnlyRestartsTheStay) {
    ShowFully(60000);
    XY shown = Pos();

    SetTimings(20, 30, 20);
    KeepShown();
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kStaying);
    EXPECT_EQ(Pos(), shown);
    EXPECT_TRUE(WaitForState(CTaskbarNotifier::kHidden));
}

TEST_P(NotifierKeepShownTest, WhileLeavingItComesBackFullyShown) {
    ShowFully(40);
    XY shown = Pos();
    SetTimings(20, 60000, 3000);  // a slow exit, and a stay that outlasts the test
    ASSERT_TRUE(WaitForState(CTaskbarNotifier::kDisappearing));
    ASSERT_TRUE(ProcessMessagesUntil([&] { return Pos() != shown; }));

    KeepShown();
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kStaying);
    EXPECT_EQ(Pos(), shown);
    guisupport::ProcessMessages();
    EXPECT_EQ(Pos(), shown);
}

INSTANTIATE_TEST_SUITE_P(ShowOrMouse, NotifierKeepShownTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Mouse" : "Show");
                         });

TEST_F(NotifierTest, MouseWhileAppearingSkipsTheRestOfTheSlide) {
    SetTimings(60000, 60000, 20);
    m_notifier.Show();
    guisupport::MoveMouse(m_notifier.GetHWND(), POINT{10, 10});
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kStaying);
    EXPECT_EQ(Pos(), XY(1600, 890));
}

TEST_F(NotifierTest, CloseButtonPutsItAwayAtOnceAndItCanShowAgain) {
    ShowFully(60000);
    guisupport::SaveScreenshot(m_notifier.GetHWND(), "taskbar_notifier");
    HWND h = m_notifier.GetHWND();
    guisupport::Click(h, controlstest::CenterOf(m_notifier.GetPaintManager(), "closebtn"));
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kHidden);
    EXPECT_FALSE(m_notifier.IsVisible());
    guisupport::ProcessMessages();
    ASSERT_TRUE(IsWindow(h));

    m_notifier.Show();
    EXPECT_EQ(m_notifier.GetState(), CTaskbarNotifier::kAppearing);
    EXPECT_EQ(Pos(), XY(1600, 1040));
}

TEST_F(NotifierTest, TextNotifierReplacesThePreviousOneAndFreesItself) {
    HWND first = TextTaskbarNotifier::ShowMessage(nullptr, "第一条");
    ASSERT_TRUE(IsWindow(first));
    HWND second = TextTaskbarNotifier::ShowMessage(
        first, "导入已完成，共处理数据<c #FF2D8CF0>120</c>条,成功导入<c #FF19A15F>118</c>条");
    ASSERT_TRUE(IsWindow(second));
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(first); }));
    EXPECT_TRUE(IsWindow(second));
    guisupport::SaveScreenshot(second, "text_taskbar_notifier");

    ASSERT_TRUE(::PostMessage(second, WM_CLOSE, IDCANCEL, 0));
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(second); }));
}

}  // namespace
