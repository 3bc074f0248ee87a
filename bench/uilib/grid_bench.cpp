// A grid of 500 rows by 12 child controls, as the pages build them: how long adding the rows and
// the first paint take, and one wheel step. Each is set against a floor, what any toolkit must do
// at least: drawing the visible cells' texts straight onto an image. The two sides alternate.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <vector>

#include "bench/bench_timing.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/uilib.h"

namespace {

using benchtiming::MillisOf;
using benchtiming::Report;

constexpr int kRows = 500;
constexpr int kColumns = 12;
constexpr int kRowHeight = 30;
constexpr int kColumnWidth = 96;
constexpr int kRounds = 21;


const char kLayout[] =
    u8R"(<Window size="1200,720">
  <VerticalLayout inset="10,10,10,10"><List name="grid"/></VerticalLayout>
</Window>)";

class Bench : public CDialogWnd {};

CDuiString CellText(int row, int column) {
    CDuiString text;
    text.Format("粤B%05d-%d", row, column);
    return text;
}

void AddHeader(CListUI* grid) {
    for (int c = 0; c < kColumns; ++c) {
        auto* header = new CListHeaderItemUI;
        header->SetText("车牌号码");
        header->SetFixedWidth(kColumnWidth);
        grid->Add(header);
    }
}

void AddRows(CListUI* grid) {
    for (int r = 0; r < kRows; ++r) {
        auto* row = new CListContainerElementUI;
        row->SetFixedHeight(kRowHeight);
        grid->Add(row);
        for (int c = 0; c < kColumns; ++c) {
            auto* cell = new CLabelUI;
            cell->SetFixedWidth(kColumnWidth);
            cell->SetText(CellText(r, c));
            row->Add(cell);
        }
    }
}

// The floor: the visible cells' texts converted and drawn, nothing else.
void DrawCellsDirectly(QImage& image, int firstRow) {
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(13);
    painter.setFont(font);
    int visibleRows = image.height() / kRowHeight;
    for (int r = 0; r < visibleRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            painter.drawText(QRect(c * kColumnWidth, r * kRowHeight, kColumnWidth, kRowHeight),
                             Qt::AlignVCenter | Qt::AlignLeft,
                             QString::fromUtf8(u8"粤B") + QString::number(firstRow + r) + "-" +
                                 QString::number(c));
}

void Wheel(CPaintManagerUI& pm, POINT at, bool down) {
    LRESULT result = 0;
    int delta = down ? -120 : 120;
    WPARAM wParam = static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16;
    pm.MessageHandler(WM_MOUSEWHEEL, wParam, MAKELPARAM(at.x, at.y), result);
}

}  // namespace

int main() {
    guisupport::EnsureApplication();
    guisupport::SkinArchive skin;
    skin.AddDirectory(guisupport::SkinSourceDir()).Add("grid.xml", kLayout);
    if (!skin.Install()) return 1;
    CStyleManagerUI::Instance()->ApplyStyle("light blue");
    Bench wnd;
    if (!wnd.Create(nullptr, "grid", "grid.xml", nullptr, UI_WNDSTYLE_FRAME)) return 1;
    wnd.ShowWindow();
    guisupport::ProcessMessages();
    CPaintManagerUI& pm = wnd.GetPaintManager();
    auto* grid = static_cast<CListUI*>(wnd.FindControl("grid"));
    AddHeader(grid);
    QImage image(1180, 700, QImage::Format_ARGB32_Premultiplied);

    std::vector<double> fillProject, fillFloor, wheelProject, wheelFloor;
    for (int round = 0; round < kRounds; ++round) {
        fillProject.push_back(MillisOf([&] {
            AddRows(grid);
            pm.PaintNow();
        }));
        fillFloor.push_back(MillisOf([&] { DrawCellsDirectly(image, 0); }));
        POINT center = guisupport::CenterOf(grid->GetPos());
        for (int step = 0; step < 10; ++step) {
            wheelProject.push_back(MillisOf([&] {
                Wheel(pm, center, step < 5);
                pm.PaintNow();
            }));
            wheelFloor.push_back(MillisOf([&] { DrawCellsDirectly(image, step); }));
        }
        grid->RemoveAll();
        guisupport::ProcessMessages();
        pm.PaintNow();
    }
    std::printf("%d rows x %d child controls, %d rounds\n", kRows, kColumns, kRounds);
    Report("add 500 rows x 12 controls + first paint", fillProject, fillFloor);
    Report("wheel step on the 500 x 12 grid", wheelProject, wheelFloor);
    return 0;
}
