// The main window on its own: navigation, closing, and the control factory of its layouts.
#include "app/main_wnd.h"

#include "app/dialog_builder_callback_ex.h"
#include "app/find_control.h"
#include "app/main_tab_page_ui.h"
#include "tests/app/app_test_support.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/layout_ui.h"
#include "uilib/message_box.h"

namespace apptest {
namespace {

using guisupport::ProcessMessagesUntil;

class MainWindow : public SkinTest {
protected:
    MainWindow() {
        m_main.SetCaptionText("LedgerDesk");
        m_main.CreateFromSkin("LedgerDesk");
        m_main.ShowWindow(true, false);
    }

    int CurrentPage() {
        const auto* tab =
            FindControlAs<CTabLayoutUI>(m_main.GetPaintManager(), "main_tab", "TabLayout");
        return tab ? tab->GetCurSel() : -2;
    }
    bool SubNavShown() { return m_main.FindControl("subnav_import")->IsVisible(); }

    CMainWnd m_main;
};

struct ClickCase {
    std::vector<const char*> clicks;
    int page;
    bool subNavShown;
};

void PrintTo(const ClickCase& c, std::ostream* os) {
    *os << "clicks";
    for (const char* option : c.clicks) *os << ' ' << option;
}

class NavigationClicks : public MainWindow, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(NavigationClicks, ShowTheChosenPage) {
    for (const char* option : GetParam().clicks) ClickControl(m_main, option);
    EXPECT_EQ(CurrentPage(), GetParam().page);
    EXPECT_EQ(SubNavShown(), GetParam().subNavShown);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, NavigationClicks,
    ::testing::Values(
        ClickCase{{}, kPageList, false}, ClickCase{{"option_import"}, kPageImport, true},
        ClickCase{{"option_import", "sub_option_export"}, kPageExport, true},
        ClickCase{{"option_import", "sub_option_export", "sub_option_import"}, kPageImport, true},
        // The sub-navigation keeps its choice while another page is shown.
        ClickCase{{"option_import", "sub_option_export", "option_edit", "option_import"},
                  kPageExport,
                  true},
        ClickCase{{"option_import", "option_dbconfig"}, kPageDbConfig, false},
        ClickCase{{"option_import", "option_edit"}, kPageEdit, false},
        ClickCase{{"option_edit", "option_list_view"}, kPageList, false}));

struct IndexCase {
    int index;
    int page;
    bool subNavShown;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << "index " << c.index;
}

class NavigationByIndex : public MainWindow, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(NavigationByIndex, SelectsTheOptionOfTheIndex) {
    m_main.SelectNavOption(2);
    m_main.SelectNavOption(GetParam().index);
    EXPECT_EQ(CurrentPage(), GetParam().page);
    EXPECT_EQ(SubNavShown(), GetParam().subNavShown);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, NavigationByIndex,
    ::testing::Values(IndexCase{1, kPageImport, true}, IndexCase{2, kPageEdit, false},
                      IndexCase{3, kPageDbConfig, false}, IndexCase{0, kPageList, false},
                      IndexCase{4, kPageList, false}, IndexCase{-1, kPageList, false}));

TEST_F(MainWindow, HasATitleAndTabWalksTheNavigationAndThePage) {
    EXPECT_EQ(guisupport::WindowTitle(m_main.GetHWND()), "LedgerDesk");
    std::vector<std::string> visited;
    for (int i = 0; i < 40; ++i) {
        guisupport::PressKey(m_main.GetHWND(), VK_TAB);
        const CControlUI* focus = m_main.GetPaintManager().GetFocus();
        visited.push_back(focus ? focus->GetName().str() : "");
    }
    auto at = [&](const char* name) {
        return std::find(visited.begin(), visited.end(), name) - visited.begin();
    };
    EXPECT_LT(at("option_list_view"), at("option_import"));
    EXPECT_LT(at("option_import"), at("option_edit"));
    EXPECT_LT(at("option_edit"), at("option_dbconfig"));
    EXPECT_LT(at("option_dbconfig"), static_cast<long>(visited.size()));
    // The caption's buttons (a Tab too many minimised the window) and hidden controls (the
    // closed sub-navigation) are no stops.
    for (const char* none : {"minbtn", "maxbtn", "restorebtn", "closebtn", "sub_option_import"})
        EXPECT_EQ(at(none), static_cast<long>(visited.size())) << none;
    m_main.GetPaintManager().SetFocus(m_main.FindControl("option_import"));
    guisupport::SaveScreenshot(m_main.GetHWND(), "app_main_window_focus");
}

TEST_F(MainWindow, EnterOnANavigationItemShowsItsPage) {
    m_main.GetPaintManager().SetFocus(m_main.FindControl("option_edit"));
    guisupport::PressKey(m_main.GetHWND(), VK_RETURN);
    EXPECT_EQ(CurrentPage(), kPageEdit);
}

TEST_F(MainWindow, CloseAsksFirstThenHidesAtOnceAndEndsTheApplicationASecondLater) {
    const HWND hWnd = m_main.GetHWND();
    m_nextAnswer = 1;
    ClickControl(m_main, "closebtn");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"确定要退出？"});
    ProcessMessagesUntil([] { return false; }, 200);
    EXPECT_TRUE(m_main.IsVisible()) << "not confirmed: nothing happens";

    m_nextAnswer = 0;
    ClickControl(m_main, "closebtn");
    EXPECT_EQ(m_boxes.size(), 2u);
    EXPECT_FALSE(m_main.IsVisible());
    ProcessMessagesUntil([] { return false; }, 300);
    EXPECT_TRUE(IsWindow(hWnd)) << "closed only after a second";
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !IsWindow(hWnd); }, 3000));
    EXPECT_EQ(UiDriver().Run(), 0);
}

// The question about unsaved edits, as the operator sees it: its third button drops them.
TEST_F(SkinTest, TheSaveQuestionsMiddleButtonDropsTheEdits) {
    UISetMessageBoxHook({});
    SaveAnswer answer = SaveAnswer::kCancel;
    HWND box = nullptr;
    UiDriver driver;
    driver
        .Then([] { return true; },
              [&] { answer = UIAskToSave(nullptr, "当前修改尚未保存，是否保存？"); })
        .Then([&] { return (box = guisupport::ActiveWindow()) != nullptr; },
              [&] {
                  guisupport::SaveScreenshot(box, "app_save_question");
                  // From 保存, where the keyboard starts, to 不保存.
                  guisupport::PressKey(box, VK_TAB);
                  guisupport::PressKey(box, VK_SPACE);
              })
        .Then([&] { return !IsWindow(box); });
    EXPECT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(answer, SaveAnswer::kDiscard);
}

TEST_F(SkinTest, FactoryMakesThePagesAndLeavesTheRestToTheLibrary) {
    CPaintManagerUI pm;
    CDialogBuilderCallbackEx factory;
    for (const char* page : {"PageList", "PageImport", "PageExport", "PageEdit", "PageDbConfig"}) {
        std::unique_ptr<CControlUI> control(factory.CreateControl(page, &pm));
        ASSERT_NE(control, nullptr) << page;
        auto* tabPage = static_cast<CMainTabPageUI*>(control->GetInterface("MainTabPage"));
        ASSERT_NE(tabPage, nullptr) << page;
        EXPECT_EQ(tabPage->GetCount(), 1) << page << ": its layout is its only child";
    }
    std::unique_ptr<CControlUI> button(factory.CreateControl("Button", &pm));
    ASSERT_NE(button, nullptr);
    EXPECT_NE(button->GetInterface("Button"), nullptr);
    EXPECT_EQ(factory.CreateControl("pagelist", &pm), nullptr) << "names are compared exactly";
    EXPECT_EQ(CTabPageUI("no_such_layout.xml", &pm).GetCount(), 0);
}

}  // namespace
}  // namespace apptest
