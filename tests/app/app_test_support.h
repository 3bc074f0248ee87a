#pragma once
// Shared pieces of the application tests: a driver that acts from inside modal loops, and a
// fixture with a real service, a settings file, the linked skin and recorded message boxes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "settings/config.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"
#include "uilib/dialog_wnd.h"

class CDlgLogin;
class CMainWnd;

namespace apptest {

// Runs test steps on the UI thread from whatever loop is running, including the nested loop of a
// modal dialog, which the test body cannot reach while it waits in it.
class UiDriver {
public:
    // What Run returns once every step has run.
    static constexpr int kFinished = 42;
    // What Run returns when the steps did not finish in time.
    static constexpr int kTimedOut = -1;

    // The time-out counts from construction.
    explicit UiDriver(int timeoutMs = 10000);
    ~UiDriver();
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    // Once `ready` holds (and the steps before have run), `act` runs.
    UiDriver& Then(std::function<bool()> ready, std::function<void()> act = {});
    // Runs at every tick, before the steps.
    UiDriver& Watch(std::function<void()> observe);
    // Runs the program's message loop until something quits it: the last step (kFinished), the
    // program itself (its exit code) or the time-out (kTimedOut). Steps also run in any loop the
    // program runs itself.
    int Run();

private:
    class TickWindow;
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };

    void Tick();

    std::unique_ptr<TickWindow> m_window;
    std::vector<Step> m_steps;
    std::vector<std::function<void()>> m_watchers;
    std::size_t m_next = 0;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_quitPosted = false;
    std::atomic<bool> m_stop{false};
    std::thread m_ticker;
};

// The control's centre clicked with the mouse, as an operator would.
void ClickControl(CDialogWnd& window, const char* name);
void SetControlText(CDialogWnd& window, const char* name, const char* text);
CDuiString ControlText(CDialogWnd& window, const char* name);
bool IsControlEnabled(CDialogWnd& window, const char* name);

// The product's skin; message boxes are recorded and answered instead of shown.
class SkinTest : public ::testing::Test {
protected:
    SkinTest();
    ~SkinTest() override;

    LoadedSkin m_skin;
    std::vector<std::string> m_boxes;
    std::vector<UINT> m_boxIcons;  // of each box, MB_ICON*
    int m_nextAnswer = 0;
};

// Also a real service and a settings file pointing at it.
class AppTest : public SkinTest {
protected:
    explicit AppTest(testsupport::TestService::Options options = {});

    // Writes the settings file with the given server address (the service's by default) and,
    // when given, the service's public key.
    void WriteSettings(const std::string& ip, const std::string& serverKey = "");
    std::string SettingsText() const;
    // The login dialog as start-up opens it, awaiting replies as long as the client does.
    std::unique_ptr<CDlgLogin> OpenLogin();
    // Where no answer will come, the login's task calls the connection lost after a short wait
    // instead of the client's 5 s; elsewhere it waits as long as the client does, so a loaded
    // machine's slow answer is not taken for a lost connection.
    static void AwaitRepliesBriefly(CDlgLogin& login);
    static void AwaitRepliesAsTheClientDoes(CDlgLogin& login);
    // The service stops answering, briefly awaited; then answers again, awaited as usual.
    void PauseService(CDlgLogin& login);
    void ResumeService(CDlgLogin& login);
    // Types the operator and presses "ok"; returns the main window once it is shown.
    CMainWnd* LogIn(CDlgLogin& login, const char* user = "admin", const char* pass = "admin123");
    // Waits until the data types and lookup values have reached the caller's dictionary.
    bool WaitForDictionary(CDlgLogin& login);

    testsupport::TestService m_service;
    ScratchDir m_dir;
    std::unique_ptr<CConfig> m_config;
};

}  // namespace apptest
