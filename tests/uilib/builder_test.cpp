// Layouts from an in-memory skin: building, templates, the factory callback, styles and classes.
#include <cstring>

#include "tests/uilib/ui_test_support.h"

namespace {

const char kPanel[] =
    u8R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="360,240" caption="0,0,0,30">
  <Font id="7" size="21" bold="true"/>
  <Class name="local_big" height="44"/>
  <Default name="Label" textcolor="#FF112233"/>
  <VerticalLayout name="root">
    <Label name="styled" class="btn_primary local_big" text="标题" height="50"/>
    <Label name="plain" text="普通"/>
    <Gauge name="custom" width="30"/>
    <Mystery name="unknown"><Label name="lost"/></Mystery>
    <Template name="row"><HorizontalLayout name="row_box"><Label name="cell" text="格"/></HorizontalLayout>
      <Label name="second"/></Template>
  </VerticalLayout>
</Window>)";

const char kPage[] = u8R"(<Window size="900,900"><Label name="page_label" text="页"/></Window>)";

const char kFaulty[] =
    u8R"(<Window size="300,200">
  <VerticalLayout name="root">
    <Label name="a" colour="#FF000000"/>
    <Wibble name="w"><Label name="inner"/></Wibble>
  </VerticalLayout>
</Window>)";

const char kPageA[] =
    u8R"(<Window><Class name="pane" height="31"/><Font id="40" size="12"/>
  <Label name="in_a" class="pane"/></Window>)";
const char kPageB[] =
    u8R"(<Window><Class name="pane" height="57"/><Font id="40" size="30"/>
  <Label name="in_b" class="pane"/></Window>)";

// A control of the program's own, made by the factory for "Gauge".
class CGaugeUI : public CControlUI {
public:
    LPCTSTR GetClass() const override { return "GaugeUI"; }
};

class Factory : public CExControlFactory {
public:
    CControlUI* CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) override {
        asked.push_back(pstrClass);
        if (std::strcmp(pstrClass, "Gauge") == 0) return new CGaugeUI;
        return CExControlFactory::CreateControl(pstrClass, pManager);
    }
    std::vector<std::string> asked;
};

class BuilderTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"panel.xml", kPanel}, {"page.xml", kPage}, {"faulty.xml", kFaulty},
                {"page_a.xml", kPageA}, {"page_b.xml", kPageB}};
    }
};

TEST_F(BuilderTest, BuildsNamedControlsAndAsksTheFactoryOnlyForUnknownNames) {
    uitest::TestDialog dlg;
    Factory factory;
    ASSERT_NE(dlg.Create(nullptr, "panel", "panel.xml", &factory), nullptr);
    EXPECT_EQ(factory.asked, (std::vector<std::string>{"Gauge", "Mystery"}));
    EXPECT_STREQ(dlg.FindControl("custom")->GetClass(), "GaugeUI");
    // An element nobody can make keeps its children.
    EXPECT_STREQ(dlg.FindControl("unknown")->GetClass(), "VerticalLayoutUI");
    EXPECT_NE(dlg.FindControl("lost"), nullptr);
    EXPECT_EQ(dlg.FindControl("styled")->GetText(), "标题");
    CPaintManagerUI& pm = dlg.GetPaintManager();
    EXPECT_EQ(pm.FindSubControlByName(pm.FindControl("root"), "plain"), dlg.FindControl("plain"));
    // Templates are not part of the window until someone builds them.
    EXPECT_EQ(dlg.FindControl("row_box"), nullptr);
}

TEST_F(BuilderTest, WindowAttributesSizeTheWindowButAPageLayoutDoesNot) {
    uitest::TestDialog dlg;
    ASSERT_TRUE(dlg.Open("panel.xml"));
    EXPECT_EQ(dlg.GetPaintManager().GetInitSize().cx, 360);
    EXPECT_EQ(dlg.GetWindowRect().GetWidth(), 360);
    EXPECT_EQ(dlg.GetPaintManager().GetCaptionRect().bottom, 30);
    CDialogBuilder builder;
    auto* root = dlg.Find<CContainerUI>("root");
    CControlUI* page = builder.Create("page.xml", nullptr, &dlg.GetPaintManager(), root);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(root->GetItemIndex(page), root->GetCount() - 1);
    EXPECT_EQ(dlg.FindControl("page_label"), page);
    EXPECT_EQ(dlg.GetPaintManager().GetInitSize().cx, 360);
}

TEST_F(BuilderTest, ClassesApplyInOrderAndTheElementsOwnAttributesWin) {
    uitest::TestDialog dlg;
    ASSERT_TRUE(dlg.Open("panel.xml"));
    auto* styled = dlg.Find<CLabelUI>("styled");
    // btn_primary (style) gives the colours, local_big (layout) 44, the element itself 50.
    EXPECT_EQ(styled->GetBkColor(), 0xFF2D8CF0u);
    EXPECT_EQ(styled->GetTextColor(), 0xFFFFFFFFu);
    EXPECT_EQ(styled->GetFixedHeight(), 50);
    // The layout's Default for Label beats the style's Default for Label.
    EXPECT_EQ(dlg.Find<CLabelUI>("plain")->GetTextColor(), 0xFF112233u);
    // A class applied from code after the layout was built.
    styled->ApplyClass("local_big");
    EXPECT_EQ(styled->GetFixedHeight(), 44);
    EXPECT_EQ(dlg.GetPaintManager().GetFontInfo(7).iSize, 21);
    EXPECT_EQ(dlg.GetPaintManager().GetFontInfo(0).iSize, 13);
}

TEST_F(BuilderTest, TemplatesBuildAsOftenAsNeededIntoAParent) {
    uitest::TestDialog dlg;
    ASSERT_TRUE(dlg.Open("panel.xml"));
    auto* root = dlg.Find<CContainerUI>("root");
    int before = root->GetCount();
    CDialogBuilder builder;
    ASSERT_TRUE(builder.Load("panel.xml"));
    for (int i = 0; i < 3; ++i) {
        CControlUI* row = builder.CreateSet("row", nullptr, &dlg.GetPaintManager(), root);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(dlg.GetPaintManager().FindSubControlByName(row, "cell")->GetText(), "格");
    }
    // Each set holds two controls, both added.
    EXPECT_EQ(root->GetCount(), before + 6);
    EXPECT_EQ(builder.CreateSet("no_such_template"), nullptr);
    EXPECT_NE(builder.GetLastErrorMessage().Find("no_such_template"), -1);
}

TEST_F(BuilderTest, MissingOrMalformedLayoutsFailWithAReason) {
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create("absent.xml"), nullptr);
    EXPECT_NE(builder.GetLastErrorMessage().Find("absent.xml"), -1);
    EXPECT_EQ(builder.Create("<Window><Label"), nullptr);
    EXPECT_FALSE(builder.GetLastErrorMessage().IsEmpty());
    uitest::TestDialog dlg;
    EXPECT_EQ(dlg.Create(nullptr, "x", "absent.xml"), nullptr);
    EXPECT_FALSE(IsWindow(dlg.GetHWND()));
}

TEST_F(BuilderTest, LayoutTextFromTheProgramIsGbk) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> label(builder.Create("<Label text=\"车牌号码\"/>"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), "车牌号码");
}

TEST(StyleManagerTest, ApplyingAnUnknownStyleKeepsTheCurrentOne) {
    CStyleManagerUI* styles = CStyleManagerUI::Instance();
    ASSERT_TRUE(styles->LoadStylesFromText(
        u8R"(<Styles default="a"><Style name="a"><Class name="c" width="1"/></Style>
             <Style name="b"><Class name="c" width="2"/><Font id="0" size="20" default="true"/></Style></Styles>)"));
    EXPECT_EQ(styles->GetCurrentStyle(), "a");
    EXPECT_EQ(styles->GetClassAttributeList("c"), "width=\"1\"");
    EXPECT_TRUE(styles->ApplyStyle("b"));
    EXPECT_EQ(styles->GetClassAttributeList("c"), "width=\"2\"");
    EXPECT_EQ(styles->GetFontInfo(5).iSize, 20);
    EXPECT_FALSE(styles->ApplyStyle("no such style"));
    EXPECT_EQ(styles->GetCurrentStyle(), "b");
    EXPECT_FALSE(styles->LoadStylesFromText("<NotStyles/>"));
    EXPECT_EQ(styles->GetCurrentStyle(), "b");
}

TEST_F(BuilderTest, UnknownElementsAndAttributesAreReportedOnceWithTheirLine) {
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        uitest::TestDialog dlg;
        ASSERT_NE(dlg.Create(nullptr, "faulty", "faulty.xml"), nullptr);
        EXPECT_NE(dlg.FindControl("inner"), nullptr);
    }
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("faulty.xml:3: unknown attribute colour of <Label>"), std::string::npos)
        << log;
    EXPECT_NE(log.find("faulty.xml:4: unknown element <Wibble>"), std::string::npos) << log;
    EXPECT_EQ(log.find("colour"), log.rfind("colour")) << "reported once: " << log;
}

TEST_F(BuilderTest, PagesOfOneWindowKeepTheirOwnClassesAndAClashIsReported) {
    uitest::TestDialog dlg;
    ASSERT_TRUE(dlg.Open("panel.xml"));
    CPaintManagerUI& pm = dlg.GetPaintManager();
    CDialogBuilder first, second;
    testing::internal::CaptureStderr();
    CControlUI* a = first.Create("page_a.xml", nullptr, &pm, pm.FindControl("root"));
    CControlUI* b = second.Create("page_b.xml", nullptr, &pm, pm.FindControl("root"));
    std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetFixedHeight(), 31);
    EXPECT_EQ(b->GetFixedHeight(), 57);
    EXPECT_EQ(pm.GetClassAttributeList("pane"), CDuiString("height=\"31\""));
    EXPECT_EQ(pm.GetFontInfo(40).iSize, 12);
    EXPECT_NE(log.find("page_b.xml:1: <Class pane> differs"), std::string::npos) << log;
    EXPECT_NE(log.find("page_b.xml:1: <Font 40> differs"), std::string::npos) << log;
}

}  // namespace
