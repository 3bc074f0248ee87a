// Pop-ups tied to a control: where they open, how they follow it, what closes them.
#include <QApplication>
#include <QLineEdit>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"

namespace {

const char kHost[] =
    u8R"(<Window size="300,400"><VerticalLayout name="body">
  <Control name="above" height="40"/>
  <Edit name="date" height="30" width="160"/>
  <Button name="other" text="other" height="30"/>
  <Control/>
  </VerticalLayout></Window>)";

const char kPopup[] =
    u8R"(<Window size="172,194"><VerticalLayout bkcolor="#FFFFFFFF">
  <Button name="inside" text="inside" height="30"/></VerticalLayout></Window>)";

// Remembers why it closed, and may refuse to.
class RecordingPopup : public CPopupWnd {
public:
    std::vector<UINT> reasons;
    bool keepOpen = false;
    CControlUI* ownerAtEnd = reinterpret_cast<CControlUI*>(1);

protected:
    void OnFinalMessage(HWND) override { ownerAtEnd = GetOwnerControl(); }
    bool OnAutoClose(UINT uReason, HWND) override {
        reasons.push_back(uReason);
        return !keepOpen;
    }
};

class PopupTest : public uitest::SkinTest {
protected:
    void SetUp() override {
        uitest::SkinTest::SetUp();
        RECT monitor{0, 0, 1920, 1080};
        UISetMonitorInfoOverride(&monitor, &monitor);
        ASSERT_TRUE(host.Open("host.xml"));
        host.MoveWindow(RECT{100, 100, 400, 500});
        guisupport::ProcessMessages();
        host.GetPaintManager().UpdateLayout();
        date = host.FindControl("date");
    }
    void TearDown() override {
        UISetMonitorInfoOverride(nullptr, nullptr);
        uitest::SkinTest::TearDown();
    }
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"host.xml", kHost}, {"popup.xml", kPopup}};
    }
    bool Open() {
        bool opened = popup.Popup(date, "popup.xml");
        guisupport::ProcessMessages();
        return opened;
    }
    RECT DateOnScreen() {
        RECT rc = date->GetPos();
        POINT topLeft{rc.left, rc.top};
        host.GetPaintManager().ClientToScreen(topLeft);
        return RECT{topLeft.x, topLeft.y, topLeft.x + rc.GetWidth(), topLeft.y + rc.GetHeight()};
    }
    bool ClosesWith(UINT reason) {
        bool closed =
            guisupport::ProcessMessagesUntil([&] { return !IsWindow(popup.GetHWND()); }, 1000);
        return closed && !popup.reasons.empty() && popup.reasons.back() == reason;
    }

    uitest::TestDialog host;
    CControlUI* date = nullptr;
    RecordingPopup popup;
};

struct PlacementCase : testcases::NamedCase {
    RECT control;
    RECT expected;
};

class PopupPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopupPlacement, LiesBelowOrAboveTheControlInsideTheWorkArea) {
    const PlacementCase& c = GetParam();
    RECT work{0, 0, 1000, 700};
    RECT rc = CPopupWnd::PlaceByControl(c.control, SIZE{172, 194}, work);
    EXPECT_EQ(rc, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopupPlacement,
    ::testing::Values(
        PlacementCase{{"below"}, RECT{100, 100, 260, 130}, RECT{100, 130, 272, 324}},
        PlacementCase{{"bottom_fits_exactly"}, RECT{100, 476, 260, 506}, RECT{100, 506, 272, 700}},
        PlacementCase{{"above_near_the_bottom"}, RECT{100, 600, 260, 630},
                      RECT{100, 406, 272, 600}},
        PlacementCase{{"pulled_left_at_the_right_edge"}, RECT{900, 100, 990, 130},
                      RECT{828, 130, 1000, 324}},
        PlacementCase{{"kept_below_the_top"}, RECT{100, 100, 260, 620}, RECT{100, 0, 272, 194}}),
    testcases::kCaseName);

TEST_F(PopupTest, OpensBelowTheControlWithTheLayoutsSize) {
    ASSERT_TRUE(Open());
    RECT rc = popup.GetWindowRect();
    RECT control = DateOnScreen();
    EXPECT_EQ(rc.left, control.left);
    EXPECT_EQ(rc.top, control.bottom);
    EXPECT_EQ(rc.GetWidth(), 172);
    EXPECT_EQ(rc.GetHeight(), 194);
    uitest::Screenshot(popup.GetHWND(), "popup_below_control");
}

TEST_F(PopupTest, StaysOverItsWindowWhereItFits) {
    date->SetPadding(RECT{180, 0, 0, 0});
    host.GetPaintManager().UpdateLayout();
    ASSERT_TRUE(Open());
    EXPECT_EQ(popup.GetWindowRect().right, host.GetWindowRect().right);
    EXPECT_LE(popup.GetWindowRect().left, DateOnScreen().left);
}

TEST_F(PopupTest, FollowsTheControlWhenTheWindowMoves) {
    ASSERT_TRUE(Open());
    host.MoveWindow(RECT{250, 180, 550, 580});
    ASSERT_TRUE(guisupport::ProcessMessagesUntil(
        [&] { return popup.GetWindowRect().top == DateOnScreen().bottom; }));
    EXPECT_EQ(popup.GetWindowRect().left, DateOnScreen().left);
    EXPECT_EQ(DateOnScreen().left, 250);
}

TEST_F(PopupTest, FollowsTheControlWhenTheLayoutMovesIt) {
    ASSERT_TRUE(Open());
    host.FindControl("above")->SetFixedHeight(90);
    host.GetPaintManager().UpdateLayout();
    EXPECT_EQ(popup.GetWindowRect().top, DateOnScreen().bottom);
    EXPECT_EQ(DateOnScreen().top, 100 + 90);
}

TEST_F(PopupTest, TypingGoesOnInTheControlsEditWhileItIsOpen) {
    guisupport::Click(host.GetHWND(), host.Center("date"));
    ASSERT_TRUE(static_cast<CEditUI*>(date)->IsEditing());
    ASSERT_TRUE(Open());
    EXPECT_EQ(guisupport::ActiveWindow(), host.GetHWND());
    EXPECT_NE(qobject_cast<QLineEdit*>(QApplication::focusWidget()), nullptr);
    ASSERT_TRUE(guisupport::TypeText(host.GetHWND(), "7"));
    EXPECT_EQ(date->GetText(), "7");
    EXPECT_TRUE(popup.IsVisible());
}

TEST_F(PopupTest, AClickOnItselfOrOnTheControlKeepsItOpen) {
    ASSERT_TRUE(Open());
    popup.GetPaintManager().UpdateLayout();
    guisupport::Click(popup.GetHWND(), guisupport::CenterOf(
                                           popup.GetPaintManager().FindControl("inside")->GetPos()));
    guisupport::Click(host.GetHWND(), host.Center("date"));
    guisupport::ProcessMessages();
    EXPECT_TRUE(popup.IsVisible());
    EXPECT_TRUE(popup.reasons.empty());
}

TEST_F(PopupTest, ClosesOnAClickElsewhere) {
    ASSERT_TRUE(Open());
    guisupport::Click(host.GetHWND(), host.Center("other"));
    EXPECT_TRUE(ClosesWith(UIPOPUP_OUTSIDECLICK));
    EXPECT_EQ(popup.ownerAtEnd, date);
}

TEST_F(PopupTest, ClosesWhenTheControlIsHidden) {
    ASSERT_TRUE(Open());
    date->SetVisible(false);
    host.GetPaintManager().UpdateLayout();
    EXPECT_TRUE(ClosesWith(UIPOPUP_OWNERHIDDEN));
}

TEST_F(PopupTest, ClosesWhenAContainerAroundTheControlIsHidden) {
    ASSERT_TRUE(Open());
    host.FindControl("body")->SetVisible(false);
    host.GetPaintManager().UpdateLayout();
    EXPECT_TRUE(ClosesWith(UIPOPUP_OWNERHIDDEN));
}

TEST_F(PopupTest, ClosesWhenTheControlIsDestroyed) {
    ASSERT_TRUE(Open());
    static_cast<CContainerUI*>(host.FindControl("body"))->Remove(date);
    date = nullptr;
    EXPECT_TRUE(ClosesWith(UIPOPUP_OWNERGONE));
    EXPECT_EQ(popup.ownerAtEnd, nullptr);
}

TEST_F(PopupTest, ClosesWithItsWindow) {
    ASSERT_TRUE(Open());
    host.Close(IDCANCEL);
    EXPECT_TRUE(ClosesWith(UIPOPUP_OWNERGONE));
}

TEST_F(PopupTest, ClosesWhenTheWindowIsHidden) {
    ASSERT_TRUE(Open());
    host.ShowWindow(false);
    EXPECT_TRUE(ClosesWith(UIPOPUP_OWNERHIDDEN));
}

TEST_F(PopupTest, EscapeInTheControlClosesThePopupNotTheDialog) {
    guisupport::Click(host.GetHWND(), host.Center("date"));
    ASSERT_TRUE(Open());
    guisupport::PressKey(host.GetHWND(), VK_ESCAPE);
    EXPECT_TRUE(ClosesWith(UIPOPUP_ESCAPE));
    EXPECT_TRUE(host.IsVisible());
}

TEST_F(PopupTest, ClosesWhenTheFocusMovesToAnotherControl) {
    date->SetFocus();
    ASSERT_TRUE(Open());
    host.FindControl("other")->SetFocus();
    EXPECT_TRUE(ClosesWith(UIPOPUP_FOCUSLEFT));
    EXPECT_EQ(popup.GetFocusTaker(), host.GetHWND());
}

TEST_F(PopupTest, ClosesWhenAnotherWindowTakesTheFocusAndNamesIt) {
    ASSERT_TRUE(Open());
    uitest::TestDialog other;
    ASSERT_TRUE(other.Open("host.xml"));
    ASSERT_TRUE(ClosesWith(UIPOPUP_FOCUSLEFT));
    EXPECT_EQ(popup.GetFocusTaker(), other.GetHWND());
}

TEST_F(PopupTest, ClosesWhenTheProgramIsDeactivated) {
    ASSERT_TRUE(Open());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_TRUE(ClosesWith(UIPOPUP_DEACTIVATED));
}

TEST_F(PopupTest, StaysOpenWhenItRefusesToClose) {
    popup.keepOpen = true;
    ASSERT_TRUE(Open());
    guisupport::Click(host.GetHWND(), host.Center("other"));
    guisupport::ProcessMessages();
    EXPECT_EQ(popup.reasons, std::vector<UINT>{UIPOPUP_OUTSIDECLICK});
    EXPECT_TRUE(popup.IsVisible());
}

TEST(DoubleClickTime, IsTheDesktops) {
    guisupport::EnsureApplication();
    EXPECT_GT(UIGetDoubleClickTime(), 0u);
    EXPECT_LT(UIGetDoubleClickTime(), 5000u);
}

}  // namespace
