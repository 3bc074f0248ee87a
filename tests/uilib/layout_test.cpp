// Box layout arithmetic and scrolling, on control trees laid out without a window.
#include <memory>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"

namespace {

struct LayoutCase : testcases::NamedCase {
    const char* xml;  // root control; children named a, b, c
    RECT bounds;
    RECT a, b;
};

std::unique_ptr<CControlUI> BuildAndLayOut(const LayoutCase& c) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(c.xml));
    if (root) root->SetPos(c.bounds, false);
    return root;
}

CControlUI* Child(CControlUI* root, const char* name) {
    auto* container = static_cast<CContainerUI*>(root->GetInterface("Container"));
    for (int i = 0; i < container->GetCount(); ++i)
        if (container->GetItemAt(i)->GetName() == name) return container->GetItemAt(i);
    return nullptr;
}

class BoxLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BoxLayoutTest, PlacesChildren) {
    const LayoutCase& c = GetParam();
    auto root = BuildAndLayOut(c);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Child(root.get(), "a")->GetPos(), c.a) << c.name;
    EXPECT_EQ(Child(root.get(), "b")->GetPos(), c.b) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxLayoutTest,
    ::testing::Values(
        LayoutCase{
            "fixed then stretch",
            R"(<VerticalLayout><Control name="a" height="30"/><Control name="b"/><Control height="20"/></VerticalLayout>)",
            {0, 0, 100, 100},
            {0, 0, 100, 30},
            {0, 30, 100, 80}},
        LayoutCase{
            "inset and child padding",
            R"(<VerticalLayout inset="10,10,10,10" childpadding="5"><Control name="a" height="20"/><Control name="b"/></VerticalLayout>)",
            {0, 0, 100, 100},
            {10, 10, 90, 30},
            {10, 35, 90, 90}},
        LayoutCase{
            "stretch shares and respects maximum",
            R"(<HorizontalLayout><Control name="a" maxwidth="20"/><Control name="b"/></HorizontalLayout>)",
            {0, 0, 100, 10},
            {0, 0, 20, 10},
            {20, 0, 100, 10}},
        LayoutCase{
            "padding around a child",
            R"(<HorizontalLayout><Control name="a" width="30" padding="4,2,6,3"/><Control name="b"/></HorizontalLayout>)",
            {0, 0, 100, 40},
            {4, 2, 34, 37},
            {40, 0, 100, 40}},
        LayoutCase{
            "centred fixed children",
            R"(<HorizontalLayout childalign="center" childvalign="vcenter"><Control name="a" width="20" height="10"/><Control name="b" width="20" height="10"/></HorizontalLayout>)",
            {0, 0, 100, 30},
            {30, 10, 50, 20},
            {50, 10, 70, 20}},
        LayoutCase{
            "right-aligned fixed children",
            R"(<VerticalLayout childalign="right" childvalign="bottom"><Control name="a" width="20" height="10"/><Control name="b" width="40" height="10"/></VerticalLayout>)",
            {0, 0, 100, 50},
            {80, 30, 100, 40},
            {60, 40, 100, 50}},
        LayoutCase{
            "hidden child takes no room",
            R"(<VerticalLayout><Control name="a" height="30" visible="false"/><Control name="b" height="10"/></VerticalLayout>)",
            {0, 0, 100, 100},
            {0, 0, 0, 0},
            {0, 0, 100, 10}},
        LayoutCase{
            "floating child at its own place",
            R"(<VerticalLayout><Control name="a" float="true" pos="5,6,25,16"/><Control name="b" height="10"/></VerticalLayout>)",
            {10, 10, 110, 110},
            {15, 16, 35, 26},
            {10, 10, 110, 20}},
        LayoutCase{
            "minimum wins over an empty share",
            R"(<VerticalLayout><Control name="a" height="90"/><Control name="b" minheight="30"/></VerticalLayout>)",
            {0, 0, 50, 100},
            {0, 0, 50, 90},
            {0, 90, 50, 120}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(ScrollingTest, ContentTallerThanTheViewScrollsAndShowsWhatIsAskedFor) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> built(builder.Create(
        R"(<VerticalLayout vscrollbar="true"><Control name="a" height="60"/><Control name="b" height="60"/>
           <Control name="c" height="60"/></VerticalLayout>)"));
    auto* box = static_cast<CVerticalLayoutUI*>(built.get());
    box->SetPos(RECT{0, 0, 100, 100}, false);
    ASSERT_TRUE(box->GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(box->GetScrollRange().cy, 80);
    // The bar takes its width from the children.
    EXPECT_EQ(Child(box, "a")->GetPos().right, 100 - box->GetVerticalScrollBar()->GetThickness());
    box->ScrollToShow(Child(box, "c")->GetPos());
    EXPECT_EQ(box->GetScrollPos().cy, 80);
    EXPECT_EQ(Child(box, "c")->GetPos().bottom, 100);
    box->SetScrollPos(SIZE{0, 500});
    EXPECT_EQ(box->GetScrollPos().cy, 80);
    box->HomeUp();
    EXPECT_EQ(Child(box, "a")->GetPos().top, 0);
    // Enough room again: the bar goes and the position returns to the top.
    box->SetPos(RECT{0, 0, 100, 400}, false);
    EXPECT_FALSE(box->GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(box->GetScrollPos().cy, 0);
}

TEST(TabLayoutTest, ShowsOnlyTheSelectedChild) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> built(builder.Create(
        R"(<TabLayout selectedid="1"><Control name="a"/><Control name="b"/><Control name="c"/></TabLayout>)"));
    auto* tabs = static_cast<CTabLayoutUI*>(built.get());
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(Child(tabs, "a")->IsVisible());
    EXPECT_TRUE(Child(tabs, "b")->IsVisible());
    EXPECT_TRUE(tabs->SelectItem(2));
    EXPECT_FALSE(Child(tabs, "b")->IsVisible());
    EXPECT_TRUE(Child(tabs, "c")->IsVisible());
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_EQ(tabs->GetCurSel(), 2);
}

}  // namespace
