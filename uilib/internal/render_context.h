#pragma once
#include <QPainter>

#include "uilib/ui_types.h"

class CPaintManagerUI;

// The painter of one paint pass; what CRenderEngine draws with.
class CRenderContext {
public:
    explicit CRenderContext(QPainter& painter) : m_painter(painter) {}
    QPainter& painter() { return m_painter; }

private:
    QPainter& m_painter;
};

inline QColor ToQColor(DWORD argb) {
    return QColor::fromRgba(static_cast<QRgb>(argb));
}
inline QRect ToQRect(const RECT& rc) {
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}
