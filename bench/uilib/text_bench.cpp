// Measuring wrapped text of growing length: the library's measure against Qt's own line layout
// of the same text at the same width (the floor). A ratio that stays flat as the text grows
// shows the measure grows linearly like the floor. The two sides alternate.
#include <QFontMetrics>
#include <QTextLayout>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/uilib.h"

namespace {

constexpr int kRounds = 15;
constexpr int kLineWidth = 300;

std::string WordsAndCharacters(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += i % 4 == 3 ? "车牌登记 " : "whitelist ";
    return text;
}

int QtWrappedHeight(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(kLineWidth);
        ++lines;
    }
    layout.endLayout();
    return lines * QFontMetrics(font).height();
}

}  // namespace

int main() {
    guisupport::EnsureApplication();
    guisupport::SkinArchive skin;
    skin.AddDirectory(guisupport::SkinSourceDir());
    if (!skin.Install()) return 1;
    CStyleManagerUI::Instance()->ApplyStyle("light blue");
    const QFont& font = uilib_detail::FontOf(nullptr, -1);
    for (int words : {1000, 8000, 32000}) {
        std::string gbk = WordsAndCharacters(words);
        QString text = uilib_detail::FromGbk(gbk);
        std::vector<double> project, floor;
        for (int round = 0; round < kRounds; ++round) {
            project.push_back(benchtiming::MillisOf([&] {
                CRenderEngine::GetTextSize(nullptr, gbk.c_str(), -1, DT_WORDBREAK, kLineWidth);
            }));
            floor.push_back(benchtiming::MillisOf([&] { QtWrappedHeight(text, font); }));
        }
        std::string name = "wrapped measure, " + std::to_string(words) + " words";
        benchtiming::Report(name.c_str(), project, floor);
    }
    return 0;
}
