#pragma once
#include <QFont>
#include <QFontMetrics>
#include <QPixmap>

class QSvgRenderer;

#include "uilib/dui_string.h"

class CPaintManagerUI;

namespace uilib_detail {

// The font with id `id` of the manager (its own fonts, then the style's, then the default).
const QFont& FontOf(const CPaintManagerUI* manager, int id);
// Line height of that font.
int FontHeight(const CPaintManagerUI* manager, int id);
// Metrics of a font that FontOf returned, built once: building them costs more than measuring.
const QFontMetrics& MetricsOf(const QFont& font);
// An image of the skin archive, decoded once; null when it is missing or unreadable.
const QPixmap* SkinImage(const CDuiString& file);
// A vector image (".svg") of the skin archive, parsed once; drawn at the painter's resolution,
// so it stays sharp on scaled screens. Null for other files and when it is missing or unreadable.
QSvgRenderer* SkinDrawing(const CDuiString& file);
void ClearResourceCaches();

}  // namespace uilib_detail
