// Windows: modal loops and their results, message boxes, the message loop, closing.
#include <algorithm>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"
#include "uilib/internal/native_window.h"

namespace {

const char kDialog[] =
    u8R"(<Window size="300,160" caption="0,0,0,30">
  <VerticalLayout><Label name="title" height="30"/><Button name="closebtn" text="x" height="30"/>
  <Button name="ok" text="ok" height="30"/></VerticalLayout></Window>)";

// A window being typed into when a question comes up.
const char kForm[] =
    u8R"(<Window size="300,160"><VerticalLayout>
  <Edit name="name" height="30"/><Button name="save" text="save" height="30" default="true"/>
  </VerticalLayout></Window>)";

// Runs fn from inside whatever loop is running once the loop has started.
void Later(int ms, std::function<void()> fn) {
    QTimer::singleShot(ms, std::move(fn));
}

// The message box on screen, laid out; null when none is shown.
CMessageBoxUI2* ShownBox() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* native = dynamic_cast<uilib_detail::NativeWindow*>(top);
        auto* box =
            native && top->isVisible() ? dynamic_cast<CMessageBoxUI2*>(native->owner()) : nullptr;
        if (!box) continue;
        box->GetPaintManager().UpdateLayout();
        return box;
    }
    return nullptr;
}

class WindowTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"dialog.xml", kDialog}, {"form.xml", kForm}};
    }
};

TEST_F(WindowTest, ModalLoopReturnsTheResultGivenToClose) {
    uitest::TestDialog dlg;
    ASSERT_NE(dlg.Create(nullptr, "modal", "dialog.xml"), nullptr);
    Later(10, [&] { dlg.Close(42); });
    EXPECT_EQ(dlg.ShowModal(), 42u);
    EXPECT_FALSE(IsWindow(dlg.GetHWND()));
}

TEST_F(WindowTest, CloseButtonEndsTheModalLoopWithCancel) {
    uitest::TestDialog dlg;
    ASSERT_NE(dlg.Create(nullptr, "modal", "dialog.xml"), nullptr);
    Later(10, [&] {
        dlg.GetPaintManager().UpdateLayout();
        guisupport::Click(dlg.GetHWND(), dlg.Center("closebtn"));
    });
    EXPECT_EQ(dlg.ShowModal(), static_cast<UINT>(IDCANCEL));
}

// A window that asks before it goes, as the main window does.
class AskingWindow : public uitest::TestDialog {
public:
    bool allow = false;
    int asked = 0;
    void Close(UINT nRet) override {
        ++asked;
        if (allow) CDialogWnd::Close(nRet);
    }
};

TEST_F(WindowTest, ClosingFromTheCloseButtonGoesThroughTheWindowsOwnClose) {
    AskingWindow wnd;
    ASSERT_TRUE(wnd.Open("dialog.xml"));
    HWND h = wnd.GetHWND();
    guisupport::Click(h, wnd.Center("closebtn"));
    guisupport::ProcessMessages();
    EXPECT_EQ(wnd.asked, 1);
    EXPECT_TRUE(IsWindow(h));
    wnd.allow = true;
    guisupport::PressKey(h, VK_ESCAPE);
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] { return !IsWindow(h); }));
    EXPECT_EQ(wnd.asked, 2);
}

TEST_F(WindowTest, WindowDeletingItselfOnItsFinalMessageIsSafe) {
    struct SelfDeleting : uitest::TestDialog {
        bool* gone;
        void OnFinalMessage(HWND) override {
            *gone = true;
            delete this;
        }
    };
    bool gone = false;
    auto* wnd = new SelfDeleting;
    wnd->gone = &gone;
    ASSERT_TRUE(wnd->Open("dialog.xml"));
    guisupport::Click(wnd->GetHWND(), wnd->Center("closebtn"));
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] { return gone; }));
}

struct BoxAnswer : testcases::NamedCase {
    const char* action;  // a button clicked in the box, or "enter" / "escape" typed
    int expected;
};

class MessageBoxAnswerTest : public WindowTest, public ::testing::WithParamInterface<BoxAnswer> {
protected:
    static void Answer(CMessageBoxUI2* box, const std::string& action) {
        if (action == "enter" || action == "escape")
            guisupport::TypeKey(action == "enter" ? VK_RETURN : VK_ESCAPE);
        else
            guisupport::Click(box->GetHWND(),
                              guisupport::CenterOf(box->FindControl(action.c_str())->GetPos()));
    }
};

// The question comes up while its owner's edit has the keyboard: the box takes it, so what is
// typed next reaches the box wherever the desktop sends it.
TEST_P(MessageBoxAnswerTest, QuestionIsConfirmedOnlyByOk) {
    const BoxAnswer& answer = GetParam();
    uitest::TestDialog owner;
    ASSERT_TRUE(owner.Open("form.xml"));
    owner.GetPaintManager().SetFocus(owner.FindControl("name"));
    ASSERT_TRUE(guisupport::ProcessMessagesUntil(
        [] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr; }));
    bool closed = false;
    Later(20, [&] {
        CMessageBoxUI2* box = ShownBox();
        ASSERT_NE(box, nullptr);
        HWND h = box->GetHWND();
        EXPECT_EQ(box->FindControl("msg")->GetText(), "确定要删除吗?");
        EXPECT_TRUE(guisupport::ProcessMessagesUntil([h] {
            return guisupport::ActiveWindow() == h;
        })) << "the box is not the active window";
        EXPECT_EQ(box->GetPaintManager().GetFocus(), box->FindControl("ok"));
        Answer(box, answer.action);
        // An answer that went astray leaves the box open, which would hang the test.
        closed = guisupport::ProcessMessagesUntil([h] { return !IsWindow(h); }, 1000);
        if (!closed) box->Close(IDCANCEL);
    });
    EXPECT_EQ(UIMessageBox2(owner.GetHWND(), "确定要删除吗?"), answer.expected);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(owner.recorder.OfType("click").empty()) << "the owner's default button was pressed";
}

INSTANTIATE_TEST_SUITE_P(Answers, MessageBoxAnswerTest,
                         ::testing::Values(BoxAnswer{"ok", "ok", 0},
                                           BoxAnswer{"cancel", "cancel", 1},
                                           BoxAnswer{"closebtn", "closebtn", 1},
                                           BoxAnswer{"enter", "enter", 0},
                                           BoxAnswer{"escape", "escape", 1}),
                         testcases::kCaseName);

TEST_F(WindowTest, HookAnswersMessageBoxesWithoutShowingThem) {
    std::vector<std::pair<std::string, bool>> seen;
    UISetMessageBoxHook([&](const CDuiString& text, UINT icon) {
        seen.emplace_back(text.str(), icon == MB_ICONQUESTION);
        return 0;
    });
    UIMessageBox(nullptr, "保存成功！");
    EXPECT_EQ(UIMessageBox2(nullptr, "确定要退出？"), 0);
    UISetMessageBoxHook(nullptr);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{{"保存成功！", false},
                                                               {"确定要退出？", true}}));
}

TEST_F(WindowTest, InformationBoxHasNoCancel) {
    Later(20, [] {
        CMessageBoxUI2* box = ShownBox();
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->FindControl("cancel") && box->FindControl("cancel")->IsVisible());
        uitest::Screenshot(box->GetHWND(), "message_box");
        guisupport::PressKey(box->GetHWND(), VK_RETURN);
    });
    UIMessageBox(nullptr, "用户名或密码错误！");
}

struct BoxKind : testcases::NamedCase {
    std::function<void()> show;
    const char* icon;
};

class MessageBoxKindTest : public WindowTest, public ::testing::WithParamInterface<BoxKind> {};

// Each kind of box says what it is about with its own drawing, beside its text.
TEST_P(MessageBoxKindTest, ShowsTheIconOfItsKindBesideItsText) {
    Later(20, [this] {
        CMessageBoxUI2* box = ShownBox();
        ASSERT_NE(box, nullptr);
        HWND h = box->GetHWND();
        EXPECT_EQ(guisupport::WindowTitle(h), "提示");
        CControlUI* icon = box->FindControl("icon");
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->GetBkImage(), GetParam().icon);
        auto pixels = guisupport::PixelsOf(h, icon->GetPos());
        EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels.front()),
                  static_cast<long>(pixels.size()))
            << "the icon is blank";
        // The text is centred on the icon's line, not hung from the top of its area.
        const RECT& rcIcon = icon->GetPos();
        const RECT& rcMsg = box->FindControl("msg")->GetPos();
        EXPECT_EQ(rcIcon.top + rcIcon.bottom, rcMsg.top + rcMsg.bottom);
        uitest::Screenshot(h, (std::string("message_box_") + GetParam().name).c_str());
        guisupport::PressKey(h, VK_ESCAPE);
    });
    GetParam().show();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MessageBoxKindTest,
    ::testing::Values(BoxKind{{"information"},
                              [] {
                                  UIMessageBox(nullptr, "保存成功！", nullptr,
                                               MB_ICONINFORMATION);
                              },
                              "msg_info.svg"},
                      // A box that only tells warns unless it reports a success.
                      BoxKind{{"warning"}, [] { UIMessageBox(nullptr, "用户名或密码错误！"); },
                              "msg_warning.svg"},
                      BoxKind{{"question"}, [] { UIMessageBox2(nullptr, "确定要删除吗?"); },
                              "msg_question.svg"}),
    testcases::kCaseName);

TEST_F(WindowTest, QuitEndsTheMessageLoopAndAQuitPostedEarlyEndsTheNextOne) {
    Later(10, [] { PostQuitMessage(3); });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);
    PostQuitMessage(4);
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 4);
}

TEST_F(WindowTest, QuitAlsoEndsAModalLoopInsideTheMessageLoop) {
    uitest::TestDialog dlg;
    ASSERT_NE(dlg.Create(nullptr, "modal", "dialog.xml"), nullptr);
    UINT modalResult = 0;
    Later(5, [&] {
        Later(10, [] { PostQuitMessage(0); });
        modalResult = dlg.ShowModal();
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    EXPECT_EQ(modalResult, static_cast<UINT>(IDCANCEL));
}

TEST_F(WindowTest, WorkAreaCanBeFixedForTests) {
    RECT monitor{0, 0, 1280, 800};
    RECT work{0, 0, 1280, 760};
    UISetMonitorInfoOverride(&monitor, &work);
    RECT gotMonitor, gotWork;
    UIGetMonitorInfo(nullptr, &gotMonitor, &gotWork);
    EXPECT_EQ(gotWork, work);
    EXPECT_EQ(gotMonitor, monitor);
    UISetMonitorInfoOverride(nullptr, nullptr);
    UIGetMonitorInfo(nullptr, &gotMonitor, &gotWork);
    EXPECT_FALSE(gotMonitor.IsEmpty());
}

}  // namespace
