// The drop shadow: it follows its host's moves, size, visibility and end.
#include "controls/shadow_wnd.h"

#include "tests/controls/controls_test_support.h"

namespace {

using guisupport::ProcessMessagesUntil;

const char kHostLayout[] =
    u8R"(<Window size="400,300" caption="0,0,0,40" sizebox="4,4,4,4">
  <VerticalLayout class="window_root">
    <HorizontalLayout class="title_bar">
      <Label name="title" class="title_text" text="车辆白名单管理"/>
      <Button name="maxbtn" class="caption_btn" text="□"/>
      <Button name="restorebtn" class="caption_btn" text="❐" visible="false"/>
      <Button name="closebtn" class="caption_btn_close" text="×"/>
    </HorizontalLayout>
    <Label text="窗口阴影" align="center"/>
  </VerticalLayout>
</Window>)";

// How far the skin's shadow reaches past each edge of its host.
const int kReach = 12;

RECT Grown(const RECT& rc, int by) {
    return RECT{rc.left - by, rc.top - by, rc.right + by, rc.bottom + by};
}

class ShadowTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        ASSERT_NE(m_host.Create(nullptr, "host", kHostLayout), nullptr);
        m_host.MoveWindow(RECT{200, 150, 600, 450});
    }
    void ShowHost() {
        m_host.ShowWindow(true);
        guisupport::ProcessMessages();
    }
    bool ShadowSurrounds(const RECT& rcHost) {
        return ProcessMessagesUntil([&] {
            return m_shadow.IsVisible() && m_shadow.GetWindowRect() == Grown(rcHost, kReach);
        });
    }
    void Click(const char* name) {
        guisupport::Click(m_host.GetHWND(), controlstest::CenterOf(m_host.GetPaintManager(), name));
        guisupport::ProcessMessages();
    }

    // The shadow is declared after its host, so it goes first, as in the main window.
    CDialogWnd m_host;
    CShadowWnd m_shadow;
};

TEST_F(ShadowTest, SurroundsItsHostAndFollowsItsMovesAndSize) {
    ShowHost();
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    EXPECT_TRUE(ShadowSurrounds(RECT{200, 150, 600, 450}));
    guisupport::SaveScreenshot(m_shadow.GetHWND(), "window_shadow");

    m_host.MoveWindow(RECT{260, 100, 660, 400});
    EXPECT_TRUE(ShadowSurrounds(RECT{260, 100, 660, 400}));

    m_host.MoveWindow(RECT{260, 100, 760, 460});
    EXPECT_TRUE(ShadowSurrounds(RECT{260, 100, 760, 460}));
}

TEST_F(ShadowTest, FollowsItsHostsVisibility) {
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    guisupport::ProcessMessages();
    EXPECT_FALSE(m_shadow.IsVisible()) << "a hidden host casts no shadow";

    ShowHost();
    EXPECT_TRUE(ShadowSurrounds(RECT{200, 150, 600, 450}));

    m_host.ShowWindow(false);
    guisupport::ProcessMessages();
    EXPECT_FALSE(m_shadow.IsVisible());

    m_host.MoveWindow(RECT{100, 100, 500, 400});
    ShowHost();
    EXPECT_TRUE(ShadowSurrounds(RECT{100, 100, 500, 400}));
}

TEST_F(ShadowTest, HidesWhileItsHostIsMaximised) {
    ShowHost();
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    ASSERT_TRUE(ShadowSurrounds(RECT{200, 150, 600, 450}));

    Click("maxbtn");
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !m_shadow.IsVisible(); }));
    Click("restorebtn");
    EXPECT_TRUE(ShadowSurrounds(m_host.GetWindowRect()));
}

// Whatever the window manager does with it, the shadow never stands between the operator and
// the window: clicks pass through it, it never becomes active, and it is no window of its own.
TEST_F(ShadowTest, NeverTakesInputOrFocusAndIsListedNowhere) {
    ShowHost();
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    ASSERT_TRUE(ShadowSurrounds(RECT{200, 150, 600, 450}));
    Click("maxbtn");
    Click("restorebtn");
    ASSERT_TRUE(ShadowSurrounds(m_host.GetWindowRect()));
    const guisupport::WindowTraits traits = guisupport::TraitsOf(m_shadow.GetHWND());
    EXPECT_FALSE(traits.takesInput);
    EXPECT_FALSE(traits.takesFocus);
    EXPECT_FALSE(traits.listedAsApp);
    EXPECT_TRUE(guisupport::TraitsOf(m_host.GetHWND()).takesInput);
}

// Without a compositor its translucent parts would turn black around the host.
TEST_F(ShadowTest, GoesAwayWhenTheDesktopStopsComposing) {
    ShowHost();
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    HWND shadow = m_shadow.GetHWND();
    ASSERT_TRUE(PostMessage(shadow, WM_DWMCOMPOSITIONCHANGED, 0, 0));
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(shadow); }));
    EXPECT_FALSE(m_shadow.IsAttached());
    // The host goes on as before.
    m_host.MoveWindow(RECT{100, 100, 500, 400});
    Click("maxbtn");
    EXPECT_TRUE(ProcessMessagesUntil([&] { return m_host.FindControl("restorebtn")->IsVisible(); }));
}

TEST_F(ShadowTest, ClosesWithItsHost) {
    ShowHost();
    ASSERT_TRUE(m_shadow.Attach(&m_host));
    HWND shadow = m_shadow.GetHWND();
    ASSERT_TRUE(IsWindow(shadow));

    Click("closebtn");
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(m_host.GetHWND()); }));
    EXPECT_FALSE(IsWindow(shadow));
    EXPECT_FALSE(m_shadow.IsAttached());
}

TEST_F(ShadowTest, AShadowGoneFirstLeavesItsHostAlone) {
    ShowHost();
    {
        CShadowWnd shortLived;
        ASSERT_TRUE(shortLived.Attach(&m_host));
        EXPECT_FALSE(shortLived.Attach(&m_host)) << "one host per shadow";
    }
    m_host.MoveWindow(RECT{10, 10, 500, 400});
    m_host.ShowWindow(false);
    guisupport::ProcessMessages();
    EXPECT_TRUE(IsWindow(m_host.GetHWND()));
}

}  // namespace
