// The login dialog against a real service: opening, logging in, and the hand-over to the main
// window.
#include "app/dlg_login.h"
#include "app/main_wnd.h"
#include "tests/app/app_test_support.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/case_printing.h"

namespace apptest {
namespace {

using guisupport::ProcessMessagesUntil;

class Login : public AppTest {
protected:
    // Counts the completions of a task through the dialog's caller.
    int* Count(CDlgLogin& login, const char* task) {
        m_counts.push_back(std::make_unique<int>(0));
        int* counter = m_counts.back().get();
        login.GetTaskCaller().Register(task, [counter](TaskContext) { ++*counter; });
        return counter;
    }

    bool WaitForMessage(CDlgLogin& login, const char* text) {
        return ProcessMessagesUntil([&] { return ControlText(login, "label_msg") == text; }, 5000);
    }

    static CDuiString FocusName(CDlgLogin& login) {
        const CControlUI* focus = login.GetPaintManager().GetFocus();
        return focus ? focus->GetName() : CDuiString();
    }

    std::vector<std::unique_ptr<int>> m_counts;
};

TEST_F(Login, WrongAddressFailsAndTheCorrectedOneIsOpenedAndStored) {
    const std::string wrongAddress = testsupport::NextLoopbackAddress();
    WriteSettings(wrongAddress);
    auto login = OpenLogin();
    EXPECT_EQ(ControlText(*login, "edit_ip"), wrongAddress.c_str()) << "the stored address";
    EXPECT_EQ(ControlText(*login, "title"), "LedgerDesk");
    EXPECT_EQ(guisupport::WindowTitle(login->GetHWND()), "LedgerDesk  登录");
    guisupport::SaveScreenshot(login->GetHWND(), "app_login");
    SetControlText(*login, "edit_user_name", "admin");
    SetControlText(*login, "edit_user_pass", "admin123");

    AwaitRepliesBriefly(*login);
    ClickControl(*login, "ok");
    EXPECT_EQ(ControlText(*login, "label_msg"), "正在连接数据库...");
    EXPECT_FALSE(IsControlEnabled(*login, "ok")) << "one attempt at a time";
    EXPECT_TRUE(login->IsBusy());
    guisupport::SaveScreenshot(login->GetHWND(), "app_login_connecting");
    ASSERT_TRUE(WaitForMessage(*login, "数据库连接失败"));
    EXPECT_TRUE(IsControlEnabled(*login, "ok"));
    EXPECT_FALSE(login->IsBusy());
    EXPECT_EQ(login->GetMainWnd(), nullptr);
    EXPECT_EQ(ControlText(*login, "label_hint"), "请检查服务器地址，并确认数据库服务已启动。");
    // Typing goes straight over the address that failed.
    EXPECT_EQ(FocusName(*login), "edit_ip");
    EXPECT_EQ(guisupport::SelectedText(login->GetHWND()), wrongAddress);
    guisupport::SaveScreenshot(login->GetHWND(), "app_login_failed");

    SetControlText(*login, "edit_ip", m_service.address().c_str());
    AwaitRepliesAsTheClientDoes(*login);
    ASSERT_NE(LogIn(*login), nullptr);
    EXPECT_EQ(ControlText(*login, "label_hint"), "");
    EXPECT_NE(SettingsText().find("Ip=" + m_service.address() + "\n"), std::string::npos)
        << SettingsText();
    EXPECT_TRUE(m_boxes.empty());
    // The next start offers the operator's name again, and never keeps the password.
    EXPECT_NE(SettingsText().find("[Login]\nLastUser=admin\n"), std::string::npos)
        << SettingsText();
    EXPECT_EQ(SettingsText().find("admin123"), std::string::npos);
    EXPECT_EQ(ControlText(*OpenLogin(), "edit_user_name"), "admin");
}

TEST_F(Login, WrongPasswordIsToldAndTheNextTryOnlyLogsIn) {
    auto login = OpenLogin();
    int* opens = Count(*login, "OpenDb");
    int* logins = Count(*login, "Login");

    ASSERT_EQ(LogIn(*login, "admin", "wrong"), nullptr);
    ASSERT_TRUE(ProcessMessagesUntil([&] { return !m_boxes.empty(); }, 5000));
    EXPECT_EQ(m_boxes, std::vector<std::string>{"用户名或密码错误！"});
    EXPECT_TRUE(IsControlEnabled(*login, "ok"));
    EXPECT_FALSE(login->IsBusy());
    EXPECT_EQ(ControlText(*login, "label_msg"), "数据库已连接");
    // Typing goes straight over the refused password.
    EXPECT_EQ(FocusName(*login), "edit_user_pass");
    EXPECT_EQ(guisupport::SelectedText(login->GetHWND()), "wrong");
    guisupport::SaveScreenshot(login->GetHWND(), "app_login_refused");

    ASSERT_NE(LogIn(*login), nullptr);
    EXPECT_EQ(*opens, 1) << "the database stays open after a refused login";
    EXPECT_EQ(*logins, 2);
}

TEST_F(Login, LostConnectionDuringLoginOpensAgainOnTheNextTry) {
    auto login = OpenLogin();
    int* opens = Count(*login, "OpenDb");
    ClickControl(*login, "ok");  // no operator yet: opens, then is refused
    ASSERT_TRUE(ProcessMessagesUntil([&] { return !m_boxes.empty(); }, 5000));

    PauseService(*login);
    SetControlText(*login, "edit_user_name", "admin");
    SetControlText(*login, "edit_user_pass", "admin123");
    ClickControl(*login, "ok");
    ASSERT_TRUE(WaitForMessage(*login, "数据库连接失败"));
    EXPECT_EQ(m_boxes.size(), 1u) << "a lost connection is not a wrong password";

    ResumeService(*login);
    ASSERT_NE(LogIn(*login), nullptr);
    EXPECT_EQ(*opens, 2);
}

TEST_F(Login, GoodLoginHandsOverToTheMainWindowWhichLoadsTheDataTypes) {
    auto login = OpenLogin();
    bool okEnabledBeforeHandOver = true;
    login->GetTaskCaller().Register(
        "Login", [&](TaskContext) { okEnabledBeforeHandOver = IsControlEnabled(*login, "ok"); });
    CMainWnd* main = LogIn(*login);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(okEnabledBeforeHandOver) << "a second press would log in twice";
    EXPECT_FALSE(login->IsVisible()) << "the login dialog stays alive, hidden";
    EXPECT_EQ(ControlText(*login, "edit_user_pass"), "") << "no password kept all session";
    EXPECT_EQ(ControlText(*login, "edit_user_name"), "admin");
    EXPECT_TRUE(IsWindow(login->GetHWND()));
    EXPECT_EQ(login->GetTask().GetTargetWindow(), main->GetHWND());
    EXPECT_EQ(ControlText(*main, "title"), "LedgerDesk");

    // The common data is requested only once the data types have arrived.
    ASSERT_TRUE(WaitForDictionary(*login));
    for (int page = 0; page < kMainPageCount; ++page)
        EXPECT_NE(main->GetPage(static_cast<MainPage>(page)), nullptr) << page;
    guisupport::SaveScreenshot(main->GetHWND(), "app_main_window");
}

// The operator types the password and presses Enter, without touching the mouse after the click
// that put the cursor into the password field.
TEST_F(Login, EnterInThePasswordFieldLogsIn) {
    auto login = OpenLogin();
    HWND h = login->GetHWND();
    ASSERT_TRUE(ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; }));
    SetControlText(*login, "edit_user_name", "admin");
    ClickControl(*login, "edit_user_pass");
    ASSERT_TRUE(guisupport::TypeText(h, "admin123"));
    guisupport::TypeKey(VK_RETURN);
    ASSERT_TRUE(ProcessMessagesUntil(
        [&] { return login->GetMainWnd() && login->GetMainWnd()->IsVisible(); }, 5000));
    EXPECT_TRUE(m_boxes.empty());
    // The keyboard goes on to the list's search box: the operator's usual first move.
    CMainWnd* main = login->GetMainWnd();
    ASSERT_TRUE(ProcessMessagesUntil(
        [&] { return guisupport::ActiveWindow() == main->GetHWND(); }, 5000));
    ASSERT_TRUE(guisupport::TypeText(main->GetHWND(), "C1"));
    EXPECT_EQ(ControlText(*main, "pl_edit_search"), "C1");
}

TEST_F(Login, CancelEndsTheApplication) {
    auto login = OpenLogin();
    ClickControl(*login, "cancel");
    EXPECT_EQ(UiDriver().Run(), 0);
    // Destroying the dialog may wait seconds for the worker: the window is gone before that.
    EXPECT_FALSE(login->IsVisible());
}

struct RefusalCase : testcases::NamedCase {
    const char* serverKey;
    const char* advice;
};

testsupport::TestService::Options EncryptedService() {
    testsupport::TestService::Options options;
    options.encrypted = true;
    return options;
}

class RefusedHandshake : public AppTest, public testing::WithParamInterface<RefusalCase> {
protected:
    RefusedHandshake() : AppTest(EncryptedService()) {}
};

// The operator reads what to change at once, not a connection failure after a time-out.
TEST_P(RefusedHandshake, SaysWhatToChange) {
    WriteSettings(m_service.address(), GetParam().serverKey);
    auto login = OpenLogin();
    ClickControl(*login, "ok");
    ASSERT_TRUE(ProcessMessagesUntil(
        [&] { return ControlText(*login, "label_msg") == "数据库连接失败"; }, 5000));
    EXPECT_EQ(ControlText(*login, "label_hint"), GetParam().advice);
    guisupport::SaveScreenshot(login->GetHWND(), std::string("app_login_") + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Login, RefusedHandshake,
    testing::Values(RefusalCase{{"OtherServerKey"},
                                "rq:rM>}U?@Lns47E1%kR.o@n%FcmmsL/@{H8]yf7",
                                "服务器密钥不匹配：请向管理员索取数据库服务的公钥，填入 "
                                "wlsetting.ini 的 [Db] ServerKey 后重新启动程序。"},
                    RefusalCase{{"NoServerKey"},
                                "",
                                "服务器要求加密连接：请向管理员索取数据库服务的公钥，填入 "
                                "wlsetting.ini 的 [Db] ServerKey 后重新启动程序。"}),
    testcases::kCaseName);

}  // namespace
}  // namespace apptest
