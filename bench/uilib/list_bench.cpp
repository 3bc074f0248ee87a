// How long a list of 500 rows by 10 columns takes to fill and paint, as the customer list does
// with its largest page. Prints the median and the worst of a few rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "tests/guisupport/gui_support.h"
#include "uilib/uilib.h"

namespace {

constexpr int kRows = 500;
constexpr int kColumns = 10;
constexpr int kRounds = 15;

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

const char kLayout[] =
    u8R"(<Window size="1200,720">
  <VerticalLayout inset="10,10,10,10"><List name="grid" multiselect="true"/></VerticalLayout>
</Window>)";

class Bench : public CDialogWnd {};

void Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-34s median %7.2f ms   worst %7.2f ms\n", what, samples[samples.size() / 2],
                samples.back());
}

}  // namespace

int main() {
    guisupport::EnsureApplication();
    guisupport::SkinArchive skin;
    skin.AddDirectory(guisupport::SkinSourceDir()).Add("bench.xml", kLayout);
    if (!skin.Install()) return 1;
    CStyleManagerUI::Instance()->ApplyStyle("light blue");
    Bench wnd;
    if (!wnd.Create(nullptr, "bench", "bench.xml", nullptr, UI_WNDSTYLE_FRAME)) return 1;
    wnd.ShowWindow();
    auto* grid = static_cast<CListUI*>(wnd.FindControl("grid"));
    for (int c = 0; c < kColumns; ++c) {
        auto* header = new CListHeaderItemUI;
        header->ApplyClass("list_header_item_default_sortable");
        header->SetText("车牌号码");
        header->SetFixedWidth(110);
        grid->Add(header);
    }
    CPaintManagerUI& pm = wnd.GetPaintManager();
    std::vector<double> fillPaint, scroll, clear;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        for (int r = 0; r < kRows; ++r) {
            auto* row = new CListTextElementUI;
            grid->Add(row);
            row->SetTag(static_cast<UINT_PTR>(r));
            for (int c = 1; c < kColumns; ++c) {
                CDuiString text;
                text.Format("粤B%05d-%d", r, c);
                row->SetText(c, text);
            }
        }
        pm.PaintNow();
        fillPaint.push_back(Millis(Clock::now() - start));

        start = Clock::now();
        grid->EnsureVisible(kRows - 1);
        pm.PaintNow();
        scroll.push_back(Millis(Clock::now() - start));

        start = Clock::now();
        grid->RemoveAll();
        guisupport::ProcessMessages();
        pm.PaintNow();
        clear.push_back(Millis(Clock::now() - start));
    }
    std::printf("%d rows x %d columns, %d rounds\n", kRows, kColumns, kRounds);
    Report("fill + first paint", fillPaint);
    Report("scroll to the last row + paint", scroll);
    Report("remove all + paint", clear);
    return 0;
}
