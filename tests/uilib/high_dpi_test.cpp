// A screen scaled by 2 (QT_SCALE_FACTOR=2): windows are drawn at the screen's resolution, so
// caption glyphs and icons stay sharp. Its own program: Qt reads the factor once, at start.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdlib>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"
#include "uilib/internal/native_window.h"

namespace {

const bool kScaled = setenv("QT_SCALE_FACTOR", "2", 1) == 0;
const int kScale = 2;

QImage Picture(HWND hWnd) {
    return uilib_detail::NativeFromHandle(hWnd)->grab().toImage().convertToFormat(
        QImage::Format_ARGB32);
}

// The skin's drawing rendered straight at the screen's resolution, to compare with.
QImage DrawingAt(const char* file, QSize size) {
    QImage drawing(size, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    QSvgRenderer renderer(QString::fromStdString(guisupport::SkinSourceDir() + "/" + file));
    QPainter painter(&drawing);
    renderer.render(&painter);
    return drawing;
}

int Blend(int background, int ink, double alpha) {
    return static_cast<int>(background * (1 - alpha) + ink * alpha + 0.5);
}

// Share of the pixels of area (device pixels) that show the drawing over the background of
// each row (taken at backgroundX) as the drawing made at that resolution would.
double ShareMatching(const QImage& picture, QRect area, int backgroundX, const QImage& drawing) {
    int matching = 0;
    for (int y = 0; y < area.height(); ++y) {
        QColor background = picture.pixelColor(backgroundX, area.top() + y);
        for (int x = 0; x < area.width(); ++x) {
            QColor ink = drawing.pixelColor(x, y);
            QColor shown = picture.pixelColor(area.left() + x, area.top() + y);
            double alpha = ink.alphaF();
            int off = std::max({std::abs(shown.red() - Blend(background.red(), ink.red(), alpha)),
                                std::abs(shown.green() - Blend(background.green(), ink.green(), alpha)),
                                std::abs(shown.blue() - Blend(background.blue(), ink.blue(), alpha))});
            if (off <= 16) ++matching;
        }
    }
    return static_cast<double>(matching) / (area.width() * area.height());
}

struct ScaledWindow : testcases::NamedCase {
    const char* layout;
};

class HighDpiTest : public uitest::SkinTest, public ::testing::WithParamInterface<ScaledWindow> {
protected:
    void SetUp() override {
        ASSERT_TRUE(kScaled);
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open(GetParam().layout, UI_WNDSTYLE_FRAME));
    }
    uitest::TestDialog dlg;
};

TEST_P(HighDpiTest, TheWindowIsDrawnWithTwiceItsPixels) {
    QImage picture = Picture(dlg.GetHWND());
    SIZE client = dlg.GetPaintManager().GetClientSize();
    EXPECT_EQ(picture.devicePixelRatio(), kScale);
    EXPECT_EQ(picture.size(), QSize(client.cx * kScale, client.cy * kScale));
    uitest::Screenshot(dlg.GetHWND(), (std::string(GetParam().name) + "_scaled_2").c_str());
}

INSTANTIATE_TEST_SUITE_P(Windows, HighDpiTest,
                         ::testing::Values(ScaledWindow{{"login"}, "DlgLogin.xml"},
                                           ScaledWindow{{"main"}, "skin.xml"}),
                         testcases::kCaseName);

// A drawing of the skin in a window: the control that shows it and where inside it.
struct DrawingSpot : testcases::NamedCase {
    const char* layout;
    const char* control;  // "" for the caption's icon, the control before the "title" label
    QRect place;          // inside the control
    const char* file;
};

class ScaledDrawingTest : public uitest::SkinTest, public ::testing::WithParamInterface<DrawingSpot> {
protected:
    void SetUp() override {
        ASSERT_TRUE(kScaled);
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open(GetParam().layout, UI_WNDSTYLE_FRAME));
    }
    CControlUI* Holder() {
        if (*GetParam().control) return dlg.FindControl(GetParam().control);
        auto* bar = static_cast<CContainerUI*>(dlg.FindControl("title")->GetParent());
        return bar->GetItemAt(bar->GetItemIndex(dlg.FindControl("title")) - 1);
    }
    uitest::TestDialog dlg;
};

// A drawing enlarged from one made at the unscaled size would be blurred at its edges.
TEST_P(ScaledDrawingTest, IsDrawnAtTheScreensResolution) {
    const RECT& holder = Holder()->GetPos();
    QRect place = GetParam().place.translated(holder.left, holder.top);
    QRect device(place.topLeft() * kScale, place.size() * kScale);
    double share = ShareMatching(Picture(dlg.GetHWND()), device, (place.left() - 3) * kScale,
                                 DrawingAt(GetParam().file, device.size()));
    EXPECT_GE(share, 0.95);
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, ScaledDrawingTest,
    ::testing::Values(
        DrawingSpot{{"LoginClose"}, "DlgLogin.xml", "closebtn", QRect(14, 12, 12, 12), "caption_close.svg"},
        DrawingSpot{{"MainMinimise"}, "skin.xml", "minbtn", QRect(14, 20, 12, 12), "caption_min.svg"},
        DrawingSpot{{"MainMaximise"}, "skin.xml", "maxbtn", QRect(14, 20, 12, 12), "caption_max.svg"},
        DrawingSpot{{"MainIcon"}, "skin.xml", "", QRect(0, 0, 30, 30), "icon101.svg"}),
    testcases::kCaseName);

}  // namespace
