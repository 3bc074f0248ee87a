// A service that stops answering while the main window works: the reconnect dialog.
#include <algorithm>
#include <vector>

#include "app/dlg_login.h"
#include "app/dlg_reconnect.h"
#include "app/main_wnd.h"
#include "netsqlite/db_connection.h"
#include "tests/app/app_test_support.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/list_ui.h"

namespace apptest {
namespace {

class Reconnect : public AppTest {
protected:
    Reconnect() {
        CDlgReconnect::SetRetryInterval(100);
        m_login = OpenLogin();
        m_main = LogIn(*m_login);
        // Nothing of the log-in, nor the list's first count, left in flight before the service
        // goes quiet.
        if (m_main && WaitForDictionary(*m_login))
            guisupport::ProcessMessagesUntil(
                [&] { return IsControlEnabled(*m_main, "btn_refresh_page"); }, 5000);
    }
    ~Reconnect() override {
        m_service.resume();
        CDlgReconnect::SetRetryInterval(0);
    }

    // Counts the lost connections of row counts from now on.
    void CountFailures() {
        m_login->GetTaskCaller().Register("GetRowCount", [this](TaskContext ctx) {
            if (ctx.Get(task_keys::ret).code == kDbConnectionLost) ++m_failures;
        });
    }
    void RequestRowCounts(int count) {
        for (int i = 0; i < count; ++i) m_login->GetTaskCaller().RequestGetRowCount({});
    }

    std::unique_ptr<CDlgLogin> m_login;
    CMainWnd* m_main = nullptr;
    int m_failures = 0;
};

TEST_F(Reconnect, OneDialogForManyFailuresClosesItselfWhenTheServiceIsBack) {
    ASSERT_NE(m_main, nullptr);
    CountFailures();
    PauseService(*m_login);
    RequestRowCounts(3);
    int mostDialogs = 0;
    CDuiString firstMessage, lastMessage;
    UiDriver driver;
    driver.Watch([&] { mostDialogs = std::max(mostDialogs, CDlgReconnect::GetInstanceCount()); })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; },
              [&] {
                  CDlgReconnect* dialog = m_main->GetReconnectDialog();
                  firstMessage = dialog->GetMessage();
                  guisupport::SaveScreenshot(dialog->GetHWND(), "app_reconnect");
                  EXPECT_EQ(guisupport::WindowTitle(dialog->GetHWND()), "数据库连接中断");
                  EXPECT_EQ(ControlText(*dialog, "title"), "数据库连接中断");
              })
        // Every task has failed, the later ones while the dialog was open (the list page may
        // have had its first count in flight too).
        .Then([&] { return m_failures >= 3; },
              [&] {
                  m_login->GetTaskCaller().Register("OpenDb", [&](TaskContext) {
                      if (CDlgReconnect* dialog = m_main->GetReconnectDialog())
                          lastMessage = dialog->GetMessage();
                  });
                  ResumeService(*m_login);
              })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(mostDialogs, 1);
    EXPECT_EQ(firstMessage, "数据库已断开，正在重新连接...");
    EXPECT_EQ(lastMessage, "数据库已连接");
    EXPECT_TRUE(m_main->IsVisible());

    // The connection works again, and a new loss opens a new dialog.
    PauseService(*m_login);
    RequestRowCounts(1);
    UiDriver again;
    again
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; },
              [&] { ResumeService(*m_login); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(again.Run(), UiDriver::kFinished);
}

// A refresh failed for the lost connection empties the grid; the rows come back with the
// connection, without the operator having to press refresh.
TEST_F(Reconnect, TheListsRowsComeBackWithTheConnection) {
    ASSERT_NE(m_main, nullptr);
    auto* grid = static_cast<CListUI*>(m_main->FindControl("customer_list"));
    ASSERT_NE(grid, nullptr);
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, m_service.endpoint(), m_service.user(), m_service.password()),
              ret_t(true, 0));
    ASSERT_EQ(DbExecute(client, "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('R1', 'R')"),
              ret_t(true, 0));
    ClickControl(*m_main, "btn_refresh_page");
    guisupport::ProcessMessagesUntil(
        [&] { return grid->GetCount() > 0 && IsControlEnabled(*m_main, "btn_refresh_page"); },
        5000);
    ASSERT_GT(grid->GetCount(), 0);
    PauseService(*m_login);
    ClickControl(*m_main, "btn_refresh_page");
    bool emptied = false;
    UiDriver driver;
    driver.Watch([&] { emptied = emptied || grid->GetCount() == 0; })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; },
              [&] { ResumeService(*m_login); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr && grid->GetCount() > 0; });
    EXPECT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_TRUE(emptied);
    EXPECT_TRUE(IsControlEnabled(*m_main, "btn_refresh_page"));
}

// The restarted service has forgotten the open: the refresh notices, the client opens again
// with the stored settings, and the rows come back without the operator doing anything.
TEST_F(Reconnect, ARestartedServiceIsOpenedAgainAndTheRowsComeBack) {
    ASSERT_NE(m_main, nullptr);
    auto* grid = static_cast<CListUI*>(m_main->FindControl("customer_list"));
    ASSERT_NE(grid, nullptr);
    m_service.stop();
    m_service.start();
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, m_service.endpoint(), m_service.user(), m_service.password()),
              ret_t(true, 0));
    ASSERT_EQ(DbExecute(client, "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('R1', 'R')"),
              ret_t(true, 0));
    bool reopened = false;
    m_login->GetTaskCaller().Register("OpenDb", [&](TaskContext ctx) {
        reopened = reopened || ctx.Get(task_keys::ret).ok;
    });
    ClickControl(*m_main, "btn_refresh_page");
    UiDriver driver;
    driver.Then([&] {
        return reopened && m_main->GetReconnectDialog() == nullptr && grid->GetCount() > 0;
    });
    EXPECT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_TRUE(m_boxes.empty());
}

// A write lost on its way may or may not have been done: it is not sent again, and once the
// connection is back the operator is told to check.
TEST_F(Reconnect, AWriteLostOnItsWayIsLeftToTheOperatorToCheck) {
    ASSERT_NE(m_main, nullptr);
    PauseService(*m_login);
    m_login->GetTaskCaller().RequestDeleteVehicle("none");
    UiDriver driver;
    driver.Then([&] { return m_main->GetReconnectDialog() != nullptr; },
                [&] { ResumeService(*m_login); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr && !m_boxes.empty(); });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(m_boxes.back(),
              "连接中断时的操作可能已经完成，也可能没有：请刷新后核对，确实没有完成再重做。");
}

// The dialog comes up unasked, maybe while the operator types on a page: a Space or Enter meant
// for the page must not end the application. Tab reaches "cancel" for those who want it.
TEST_F(Reconnect, KeysMeantForThePageDoNotGiveUp) {
    ASSERT_NE(m_main, nullptr);
    PauseService(*m_login);
    RequestRowCounts(1);
    CDuiString focusAfterTab;
    UiDriver driver;
    driver
        .Then(
            [&] {
                return m_main->GetReconnectDialog() && m_main->GetReconnectDialog()->IsVisible();
            },
            [&] {
                CDlgReconnect* dialog = m_main->GetReconnectDialog();
                guisupport::PressKey(dialog->GetHWND(), VK_SPACE);
                guisupport::PressKey(dialog->GetHWND(), VK_RETURN);
            })
        .Then([&] { return true; },
              [&] {
                  CDlgReconnect* dialog = m_main->GetReconnectDialog();
                  ASSERT_NE(dialog, nullptr) << "still open";
                  guisupport::PressKey(dialog->GetHWND(), VK_TAB);
                  const CControlUI* focus = dialog->GetPaintManager().GetFocus();
                  focusAfterTab = focus ? focus->GetName() : CDuiString();
                  ResumeService(*m_login);
              })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(focusAfterTab, "cancel");
    EXPECT_TRUE(m_main->IsVisible());
}

// The service answers again, but refuses the stored password until two reopens have failed:
// only the retry after the second failure can close the dialog. Refusals come at once, so a
// loaded machine cannot turn a success into a late reply.
TEST_F(Reconnect, ThirdReopenSucceedsAfterTwoFailures) {
    ASSERT_NE(m_main, nullptr);
    const tstring password = m_config->GetValue("Db", "Password");
    m_config->SetValue("Db", "Password", "not the password");
    std::vector<bool> reopens;
    m_login->GetTaskCaller().Register("OpenDb", [&](TaskContext ctx) {
        reopens.push_back(ctx.Get(task_keys::ret).ok);
        if (reopens.size() == 2) m_config->SetValue("Db", "Password", password);
    });
    PauseService(*m_login);
    RequestRowCounts(1);
    UiDriver driver;
    driver
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; },
              [&] { ResumeService(*m_login); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(reopens, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(m_main->IsVisible());
}

// The service goes quiet right after the log-in, before the data types have come: once the
// connection is back they are asked for again, so the pages still get their columns and first
// loads.
class ReconnectRightAfterLogin : public AppTest {
protected:
    ReconnectRightAfterLogin() { CDlgReconnect::SetRetryInterval(100); }
    ~ReconnectRightAfterLogin() override {
        m_service.resume();
        CDlgReconnect::SetRetryInterval(0);
    }
};

TEST_F(ReconnectRightAfterLogin, TheDataTypesComeOnceTheConnectionIsBack) {
    auto login = OpenLogin();
    db_task_caller& caller = login->GetTaskCaller();
    int lostDataTypes = 0;
    caller.Register("Login", [&](TaskContext ctx) {
        if (ctx.Get(task_keys::ret).ok) PauseService(*login);
    });
    caller.Register("GetDataTypeInfo", [&](TaskContext ctx) {
        if (ctx.Get(task_keys::ret).code == kDbConnectionLost) ++lostDataTypes;
    });
    CMainWnd* main = LogIn(*login);
    ASSERT_NE(main, nullptr);
    UiDriver driver;
    driver
        .Then([&] { return main->GetReconnectDialog() != nullptr; },
              [&] { ResumeService(*login); })
        .Then([&] { return main->GetReconnectDialog() == nullptr; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(lostDataTypes, 1);
    EXPECT_TRUE(WaitForDictionary(*login));
}

TEST(ReconnectDefault, WaitsTwentySecondsBetweenAttempts) {
    CDlgReconnect::SetRetryInterval(0);
    EXPECT_EQ(CDlgReconnect::GetRetryInterval(), 20000u);
}

TEST_F(Reconnect, CancelEndsTheApplication) {
    ASSERT_NE(m_main, nullptr);
    PauseService(*m_login);
    RequestRowCounts(1);
    UiDriver driver;
    driver
        .Then(
            [&] {
                return m_main->GetReconnectDialog() && m_main->GetReconnectDialog()->IsVisible();
            },
            [&] { ClickControl(*m_main->GetReconnectDialog(), "cancel"); })
        // Only the program may end the loop now: the driver's own end must not race its quit.
        .Then([] { return false; });
    EXPECT_EQ(driver.Run(), 0);
    EXPECT_EQ(m_main->GetReconnectDialog(), nullptr);
    // Destroying the windows may wait for the worker: the main window is gone before that.
    EXPECT_FALSE(m_main->IsVisible());
}

// Quitting is confirmed while tasks are failing: they end with the program, no dialog asks to
// reconnect a window the operator has just closed.
TEST_F(Reconnect, NoDialogAfterQuittingIsConfirmed) {
    ASSERT_NE(m_main, nullptr);
    CountFailures();
    PauseService(*m_login);
    RequestRowCounts(2);
    m_nextAnswer = 0;
    m_main->Close();
    int mostDialogs = 0;
    UiDriver driver;
    driver.Watch([&] { mostDialogs = std::max(mostDialogs, CDlgReconnect::GetInstanceCount()); })
        .Then([] { return false; });
    EXPECT_EQ(driver.Run(), 0);
    EXPECT_EQ(m_failures, 2) << "both failed before the end";
    EXPECT_EQ(mostDialogs, 0);
}

}  // namespace
}  // namespace apptest
