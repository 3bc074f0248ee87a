#include "tests/app/app_test_support.h"

#include <chrono>

#include "app/dlg_login.h"
#include "app/main_wnd.h"
#include "netsqlite/zmq_client.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/message_box.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/ui_application.h"

namespace apptest {

namespace {

constexpr UINT kTickMessage = WM_USER + 900;
constexpr auto kTickInterval = std::chrono::milliseconds(10);
// Replies from a paused service awaited 4 x 50 ms instead of the client's 5 seconds.
constexpr int kLostReplyPollMs = 50;
constexpr int kLostReplyPolls = 4;
constexpr int kWaitMs = 5000;

}  // namespace

class UiDriver::TickWindow : public CWindowWnd {
public:
    explicit TickWindow(UiDriver* driver) : m_driver(driver) {}

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == kTickMessage) {
            m_driver->Tick();
            return 0;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    UiDriver* m_driver;
};

UiDriver::UiDriver(int timeoutMs)
    : m_window(new TickWindow(this)),
      m_deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {
    m_window->Create(nullptr, "", UI_WNDSTYLE_POPUP);
    const HWND target = m_window->GetHWND();
    m_ticker = std::thread([this, target] {
        while (!m_stop) {
            std::this_thread::sleep_for(kTickInterval);
            ::PostMessage(target, kTickMessage, 0, 0);
        }
    });
}

UiDriver::~UiDriver() {
    m_stop = true;
    m_ticker.join();
    m_window->DestroyWindow();
}

UiDriver& UiDriver::Then(std::function<bool()> ready, std::function<void()> act) {
    m_steps.push_back({std::move(ready), std::move(act)});
    return *this;
}

UiDriver& UiDriver::Watch(std::function<void()> observe) {
    m_watchers.push_back(std::move(observe));
    return *this;
}

int UiDriver::Run() {
    Then([] { return true; }, [] { PostQuitMessage(kFinished); });
    return CPaintManagerUI::MessageLoop();
}

void UiDriver::Tick() {
    if (m_quitPosted) return;
    for (const auto& observe : m_watchers) observe();
    if (m_next < m_steps.size() && m_steps[m_next].ready()) {
        // Advanced first: an action that opens a modal loop keeps the later steps ticking in it.
        const std::function<void()> act = m_steps[m_next++].act;
        if (act) act();
    }
    if (m_next < m_steps.size() && std::chrono::steady_clock::now() > m_deadline) {
        m_quitPosted = true;
        ADD_FAILURE() << "UiDriver: step " << m_next << " of " << m_steps.size()
                      << " never became ready";
        PostQuitMessage(kTimedOut);
    }
}

void ClickControl(CDialogWnd& window, const char* name) {
    CControlUI* control = window.FindControl(name);
    ASSERT_NE(control, nullptr) << name;
    window.GetPaintManager().UpdateLayout();
    guisupport::Click(window.GetHWND(), guisupport::CenterOf(control->GetPos()));
}

void SetControlText(CDialogWnd& window, const char* name, const char* text) {
    CControlUI* control = window.FindControl(name);
    ASSERT_NE(control, nullptr) << name;
    control->SetText(text);
}

CDuiString ControlText(CDialogWnd& window, const char* name) {
    CControlUI* control = window.FindControl(name);
    return control ? control->GetText() : CDuiString("<missing>");
}

bool IsControlEnabled(CDialogWnd& window, const char* name) {
    CControlUI* control = window.FindControl(name);
    return control && control->IsEnabled();
}

SkinTest::SkinTest() {
    guisupport::EnsureApplication();
    UISetMessageBoxHook([this](const CDuiString& text, UINT icon) {
        m_boxes.push_back(text.str());
        m_boxIcons.push_back(icon);
        return m_nextAnswer;
    });
}

SkinTest::~SkinTest() {
    UISetMessageBoxHook({});
}

AppTest::AppTest(testsupport::TestService::Options options) : m_service(options) {
    WriteSettings(m_service.address());
}

void AppTest::WriteSettings(const std::string& ip, const std::string& serverKey) {
    m_config.reset();
    WriteBytes(m_dir.file("wlsetting.ini"),
               "[Db]\nIp=" + ip + "\nName=whitelist\nUserName=" + m_service.user() +
                   "\nPassword=" + m_service.password() +
                   (serverKey.empty() ? "" : "\nServerKey=" + serverKey) + "\n");
    m_config = std::make_unique<CConfig>(m_dir.file("wlsetting.ini"));
}

std::string AppTest::SettingsText() const {
    return ReadBytes(m_dir.file("wlsetting.ini"));
}

std::unique_ptr<CDlgLogin> AppTest::OpenLogin() {
    return ShowLoginDialog("LedgerDesk");
}

void AppTest::AwaitRepliesBriefly(CDlgLogin& login) {
    login.GetTask().SetReplyWait(kLostReplyPollMs, kLostReplyPolls);
}

void AppTest::AwaitRepliesAsTheClientDoes(CDlgLogin& login) {
    login.GetTask().SetReplyWait(zmq_client::kPollIntervalMs, zmq_client::kPollAttempts);
}

void AppTest::PauseService(CDlgLogin& login) {
    AwaitRepliesBriefly(login);
    m_service.pause();
}

void AppTest::ResumeService(CDlgLogin& login) {
    m_service.resume();
    AwaitRepliesAsTheClientDoes(login);
}

CMainWnd* AppTest::LogIn(CDlgLogin& login, const char* user, const char* pass) {
    SetControlText(login, "edit_user_name", user);
    SetControlText(login, "edit_user_pass", pass);
    ClickControl(login, "ok");
    // A refused login ends with a message box, so waiting for the main window stops there too.
    const size_t boxesBefore = m_boxes.size();
    guisupport::ProcessMessagesUntil(
        [&] {
            return (login.GetMainWnd() && login.GetMainWnd()->IsVisible()) ||
                   m_boxes.size() > boxesBefore;
        },
        kWaitMs);
    return login.GetMainWnd();
}

bool AppTest::WaitForDictionary(CDlgLogin& login) {
    const DataTypeDictionary& dictionary = login.GetTaskCaller().GetDictionary();
    return guisupport::ProcessMessagesUntil(
        [&] { return !dictionary.data_info().empty() && !dictionary.data_map().empty(); }, kWaitMs);
}

}  // namespace apptest
