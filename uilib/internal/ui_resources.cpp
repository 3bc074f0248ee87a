#include "uilib/internal/ui_resources.h"

#include <QFontMetrics>
#include <memory>
#include <string>
#include <unordered_map>

#include "uilib/internal/text_codec.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/resource_manager_ui.h"
#include "uilib/style_manager_ui.h"

namespace uilib_detail {
namespace {

const char kDefaultFamily[] = "WenQuanYi Micro Hei";

std::unordered_map<std::string, QFont>& fontCache() {
    static std::unordered_map<std::string, QFont> cache;
    return cache;
}

std::unordered_map<std::string, std::unique_ptr<QPixmap>>& imageCache() {
    static std::unordered_map<std::string, std::unique_ptr<QPixmap>> cache;
    return cache;
}

std::string FontKey(const TFontInfo& info) {
    return info.sFontName.str() + '\x01' + std::to_string(info.iSize) + (info.bBold ? 'b' : '-') +
           (info.bItalic ? 'i' : '-') + (info.bUnderline ? 'u' : '-');
}

bool SameFont(const TFontInfo& a, const TFontInfo& b) {
    return a.iSize == b.iSize && a.bBold == b.bBold && a.bItalic == b.bItalic &&
           a.bUnderline == b.bUnderline && a.sFontName == b.sFontName;
}

QFont MakeFont(const TFontInfo& info) {
    QFont font(info.sFontName.IsEmpty() ? QString(kDefaultFamily) : FromGbk(info.sFontName.str()));
    font.setPixelSize(info.iSize > 0 ? info.iSize : 13);
    font.setBold(info.bBold);
    font.setItalic(info.bItalic);
    font.setUnderline(info.bUnderline);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

}  // namespace

const QFont& FontOf(const CPaintManagerUI* manager, int id) {
    const TFontInfo& info =
        manager ? manager->GetFontInfo(id) : CStyleManagerUI::Instance()->GetFontInfo(id);
    // Layout and painting ask for the same few fonts thousands of times: remember the last one.
    static const TFontInfo* lastInfo = nullptr;
    static TFontInfo lastValue;
    static const QFont* lastFont = nullptr;
    if (lastFont && &info == lastInfo && SameFont(info, lastValue)) return *lastFont;
    auto& cache = fontCache();
    std::string key = FontKey(info);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, MakeFont(info)).first;
    lastInfo = &info;
    lastValue = info;
    lastFont = &it->second;
    return it->second;
}

const QFontMetrics& MetricsOf(const QFont& font) {
    static std::unordered_map<const QFont*, QFontMetrics> metrics;
    auto it = metrics.find(&font);
    if (it == metrics.end()) it = metrics.emplace(&font, QFontMetrics(font)).first;
    return it->second;
}

int FontHeight(const CPaintManagerUI* manager, int id) {
    return MetricsOf(FontOf(manager, id)).height();
}

const QPixmap* SkinImage(const CDuiString& file) {
    auto& cache = imageCache();
    auto it = cache.find(file.str());
    if (it == cache.end()) {
        std::unique_ptr<QPixmap> pixmap;
        std::string data;
        if (CResourceManagerUI::GetFileData(file, data)) {
            pixmap = std::make_unique<QPixmap>();
            if (!pixmap->loadFromData(reinterpret_cast<const uchar*>(data.data()),
                                      static_cast<uint>(data.size())))
                pixmap.reset();
        }
        it = cache.emplace(file.str(), std::move(pixmap)).first;
    }
    return it->second.get();
}

void ClearResourceCaches() {
    imageCache().clear();
}

}  // namespace uilib_detail
