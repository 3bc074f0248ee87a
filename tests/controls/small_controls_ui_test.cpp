// The sliding option: it lands exactly on its target whatever the step, then stops.
#include "controls/small_controls_ui.h"

#include "tests/controls/controls_test_support.h"
#include "tests/support/case_printing.h"

namespace {

struct SlideCase : testcases::NamedCase {
    int from;
    int to;
    int step;
};

class MovableOptionTest : public controlstest::SkinTest,
                          public ::testing::WithParamInterface<SlideCase> {};

TEST_P(MovableOptionTest, LandsOnTheTargetAndStops) {
    const SlideCase& slide = GetParam();
    controlstest::LayoutWindow<CExControlFactory> window;
    ASSERT_TRUE(window.Open(R"(<Window size="200,300"><VerticalLayout name="root"/></Window>)"));
    auto* option = new CMovableOptionUI;
    option->SetFixedHeight(30);
    option->SetPadding(RECT{0, slide.from, 0, 0});
    window.Find<CContainerUI>("root")->Add(option);

    option->SlideTo(slide.to, slide.step, 1);
    int lastDistance = std::abs(slide.to - slide.from);
    bool approached = true;
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] {
        int distance = std::abs(slide.to - option->GetPadding().top);
        approached = approached && distance <= lastDistance;
        lastDistance = distance;
        return !option->IsSliding();
    }));
    EXPECT_EQ(option->GetPadding().top, slide.to);
    EXPECT_TRUE(approached);
}

INSTANTIATE_TEST_SUITE_P(Slides, MovableOptionTest,
                         ::testing::Values(SlideCase{{"Down"}, 0, 200, 10},
                                           SlideCase{{"Up"}, 200, 10, 7},
                                           SlideCase{{"StepLongerThanTheWay"}, 0, 60, 500},
                                           SlideCase{{"AlreadyClose"}, 50, 40, 3},
                                           SlideCase{{"NoStep"}, 0, 90, 0}),
                         testcases::kCaseName);

}  // namespace
