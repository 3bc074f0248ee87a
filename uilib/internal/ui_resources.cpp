#include "uilib/internal/ui_resources.h"

#include <QFontMetrics>
#include <QSvgRenderer>
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

std::unordered_map<std::string, std::unique_ptr<QSvgRenderer>>& drawingCache() {
    static std::unordered_map<std::string, std::unique_ptr<QSvgRenderer>> cache;
    return cache;
}

bool IsVectorFile(const std::string& file) {
    const std::string suffix = ".svg";
    return file.size() > suffix.size() &&
           file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A skin file decoded once, on first use; null (remembered too) when missing or unreadable.
template <typename T, typename Decode>
T* Decoded(std::unordered_map<std::string, std::unique_ptr<T>>& cache, const CDuiString& file,
           Decode decode) {
    auto it = cache.find(file.str());
    if (it == cache.end()) {
        std::unique_ptr<T> decoded;
        std::string data;
        if (CResourceManagerUI::GetFileData(file, data)) decoded = decode(data);
        it = cache.emplace(file.str(), std::move(decoded)).first;
    }
    return it->second.get();
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
    return Decoded(imageCache(), file, [](const std::string& data) {
        auto pixmap = std::make_unique<QPixmap>();
        if (!pixmap->loadFromData(reinterpret_cast<const uchar*>(data.data()),
                                  static_cast<uint>(data.size())))
            pixmap.reset();
        return pixmap;
    });
}

QSvgRenderer* SkinDrawing(const CDuiString& file) {
    if (!IsVectorFile(file.str())) return nullptr;
    return Decoded(drawingCache(), file, [](const std::string& data) {
        auto drawing = std::make_unique<QSvgRenderer>(
            QByteArray(data.data(), static_cast<int>(data.size())));
        if (!drawing->isValid()) drawing.reset();
        return drawing;
    });
}

void ClearResourceCaches() {
    imageCache().clear();
    drawingCache().clear();
}

}  // namespace uilib_detail
