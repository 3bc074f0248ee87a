// The entry sequence: one instance per machine, settings, and an orderly end.
#include <unistd.h>

#include "app/application.h"
#include "app/dlg_login.h"
#include "tests/app/app_test_support.h"
#include "uilib/resource_manager_ui.h"
#include "uilib/ui_application.h"

namespace apptest {
namespace {

class Startup : public SkinTest {
protected:
    ScratchDir m_dir;
    ApplicationOptions m_options{
        "LedgerDeskTest/" + std::to_string(::getpid()) + "/" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name(),
        m_dir.file("wlsetting.ini")};
};

TEST_F(Startup, SecondInstanceIsRefusedWithABox) {
    SingleInstanceHandle first;
    ASSERT_TRUE(AcquireSingleInstance(first, m_options.instanceName));
    // Ends a message loop the refusal should never have started.
    UiDriver watchdog(3000);
    watchdog.Then([] { return false; });
    EXPECT_EQ(RunApplication(m_options), 0);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"LedgerDesk 已经启动！"});
    EXPECT_EQ(CConfig::Instance(), nullptr) << "no settings, no login";
}

TEST_F(Startup, FirstInstanceHoldsTheLockUntilItEnds) {
    bool refusedMeanwhile = false;
    std::string settingsPath;
    UiDriver driver;
    driver.Then([] { return CConfig::Instance() != nullptr; },
                [&] {
                    settingsPath = CConfig::Instance()->SettingsPath();
                    SingleInstanceHandle second;
                    refusedMeanwhile = !AcquireSingleInstance(second, m_options.instanceName);
                    PostQuitMessage(0);
                });
    EXPECT_EQ(RunApplication(m_options), 0);
    EXPECT_TRUE(refusedMeanwhile);
    EXPECT_EQ(settingsPath, m_options.settingsPath);
    EXPECT_EQ(CConfig::Instance(), nullptr) << "the settings end with the message loop";
    SingleInstanceHandle next;
    EXPECT_TRUE(AcquireSingleInstance(next, m_options.instanceName));
}

TEST_F(SkinTest, NoLoginDialogWithoutItsLayout) {
    CResourceManagerUI::SetResourceZipPtr(nullptr, 0);
    EXPECT_EQ(ShowLoginDialog("LedgerDesk"), nullptr);
}

}  // namespace
}  // namespace apptest
