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
    auto& cache = fontCache();
    std::string key = FontKey(info);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, MakeFont(info)).first;
    return it->second;
}

int FontHeight(const CPaintManagerUI* manager, int id) {
    static std::unordered_map<const QFont*, int> heights;
    const QFont& font = FontOf(manager, id);
    auto it = heights.find(&font);
    if (it == heights.end()) it = heights.emplace(&font, QFontMetrics(font).height()).first;
    return it->second;
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
