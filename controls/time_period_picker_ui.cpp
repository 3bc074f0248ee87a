#include "controls/time_period_picker_ui.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "uilib/edit_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

namespace {

const DWORD kLineColour = 0xFFAAAAAA;
const DWORD kLabelColour = 0xFF555555;
const DWORD kHeaderColour = 0xFFF5F8FB;
const int kLabelFont = 2;
// Closer than this to an edge of a period, a press drags that edge.
const int kEdgeGrip = 4;
// Periods narrower than this when the drag ends are dropped.
const int kMinWidth = 4;
const BYTE kSelectedAlpha = 160;
// Drawn times snap to whole quarter hours: a car park's hours, and a finer step would be less
// than two pixels of the grid. Typed times keep every minute and second.
const int kDrawnTimeStepMinutes = 15;
const char* const kDayLabels[kDaysPerWeek] = {"星期一", "星期二", "星期三", "星期四",
                                               "星期五", "星期六", "星期日"};

std::uint8_t DaysBetween(int first, int last) {
    std::uint8_t days = 0;
    for (int day = first; day <= last; ++day) days |= static_cast<std::uint8_t>(1 << day);
    return days;
}

void SetDayRange(CTimePeriodPickerUI::Shape& shape) {
    shape.firstDay = 0;
    while (shape.firstDay < kDaysPerWeek - 1 && !(shape.days & (1 << shape.firstDay)))
        ++shape.firstDay;
    shape.lastDay = kDaysPerWeek - 1;
    while (shape.lastDay > 0 && !(shape.days & (1 << shape.lastDay))) --shape.lastDay;
}

int SnappedSeconds(int x, int hourWidth) {
    const int step = kDrawnTimeStepMinutes * 60;
    return (x * 3600 / hourWidth + step / 2) / step * step;
}

int XOf(const std::uint8_t time[4], int hourWidth) {
    return PeriodSeconds(time) * hourWidth / 3600;
}

}  // namespace

const DWORD CTimePeriodPickerUI::kPalette[kPaletteSize] = {
    0xFFF9680A, 0xFF846BE8, 0xFF1A9FF4, 0xFF0B9120, 0xFFE367FE, 0xFFDA7E0C, 0xFFE7C101, 0xFFF347BE,
    0xFFA29380, 0xFFE43721, 0xFF4AD585, 0xFF36C5EC, 0xFFFD6569, 0xFF80A6BA, 0xFF8FC31F};

CTimePeriodPickerUI::CTimePeriodPickerUI()
    : m_random(static_cast<unsigned>(std::time(nullptr))) {
    m_dwBackColor = 0xFFFFFFFF;
}

CTimePeriodPickerUI::~CTimePeriodPickerUI() {
    if (m_pManager) m_pManager->RemoveNotifier(this);
}

LPCTSTR CTimePeriodPickerUI::GetClass() const {
    return "TimePeriodPickerUI";
}

void* CTimePeriodPickerUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "TimePeriodPicker") == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

// A tab stop, so that Delete reaches it once it was clicked.
UINT CTimePeriodPickerUI::GetControlFlags() const {
    return IsEnabled() ? UINT(UIFLAG_TABSTOP) : 0u;
}

void CTimePeriodPickerUI::SetPeriods(const TimePeriod periods[kMaxTimePeriods]) {
    std::copy(periods, periods + kMaxTimePeriods, m_periods);
    m_selected = -1;
    m_bShapesStale = true;
    ShowSelectedInEdit();
    Invalidate();
}

CTimePeriodPickerUI::Grid CTimePeriodPickerUI::GetGrid() const {
    Grid grid;
    grid.left = m_rcItem.left + kDayLabelWidth;
    grid.top = m_rcItem.top + kRowHeight;
    grid.hourWidth = std::max(1, (GetWidth() - kDayLabelWidth) / 24);
    return grid;
}

void CTimePeriodPickerUI::DoInit() {
    if (m_pManager) m_pManager->AddNotifier(this);
}

void CTimePeriodPickerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    if (GetGrid().hourWidth != m_lastHourWidth) m_bShapesStale = true;
}

CEditUI* CTimePeriodPickerUI::PeriodEdit() {
    if (!m_pEdit && m_pManager)
        if (CControlUI* edit = m_pManager->FindControl("period_edit"))
            m_pEdit = static_cast<CEditUI*>(edit->GetInterface("Edit"));
    return m_pEdit;
}

void CTimePeriodPickerUI::ShowSelectedInEdit() {
    if (CEditUI* edit = PeriodEdit())
        edit->SetText(m_selected >= 0 ? FormatTimePeriod(m_periods[m_selected]).c_str() : "");
}

void CTimePeriodPickerUI::ShapesFromPeriods() {
    int hour = GetGrid().hourWidth;
    for (int slot = 0; slot < kMaxTimePeriods; ++slot) {
        const TimePeriod& period = m_periods[slot];
        Shape& shape = m_shapes[slot];
        shape.active = period.active != 0;
        shape.days = period.days;
        shape.startX = XOf(period.start, hour);
        shape.endX = XOf(period.end, hour);
        SetDayRange(shape);
        if (!shape.active) shape.colour = -1;
    }
    for (Shape& shape : m_shapes)
        if (shape.active && shape.colour < 0) shape.colour = NewColour();
    m_lastHourWidth = hour;
    m_bShapesStale = false;
}

void CTimePeriodPickerUI::PeriodFromShape(int slot) {
    const Shape& shape = m_shapes[slot];
    TimePeriod& period = m_periods[slot];
    period = TimePeriod{};
    if (!shape.active) return;
    int hour = GetGrid().hourWidth;
    period.active = 1;
    period.days = shape.days;
    SetPeriodSeconds(period.start, SnappedSeconds(shape.startX, hour));
    SetPeriodSeconds(period.end, SnappedSeconds(shape.endX, hour));
}

// A palette entry no other period uses, drawn at random among those.
int CTimePeriodPickerUI::NewColour() {
    std::vector<int> unused;
    for (int colour = 0; colour < kPaletteSize; ++colour) {
        bool used = std::any_of(std::begin(m_shapes), std::end(m_shapes), [colour](const Shape& s) {
            return s.active && s.colour == colour;
        });
        if (!used) unused.push_back(colour);
    }
    if (unused.empty()) return 0;
    return unused[m_random() % unused.size()];
}

int CTimePeriodPickerUI::DayRowAt(int y) const {
    int offset = y - GetGrid().top;
    return offset < 0 ? -1 : offset / kRowHeight;
}

void CTimePeriodPickerUI::Press(POINT pt) {
    if (m_bShapesStale) ShapesFromPeriods();
    int x = pt.x - GetGrid().left;
    int row = DayRowAt(pt.y);
    auto isOn = [&](int slot) {
        if (slot < 0) return false;
        const Shape& s = m_shapes[slot];
        return s.active && row >= 0 && row < kDaysPerWeek && (s.days & (1 << row)) &&
               s.startX <= x && x < s.endX;
    };
    int hit = -1;
    if (isOn(m_selected)) hit = m_selected;
    for (int slot = kMaxTimePeriods - 1; slot >= 0 && hit < 0; --slot)
        if (isOn(slot)) hit = slot;
    m_selected = hit;
    m_ptPress = pt;
    m_bDragging = true;
    m_adjust = 0;
    if (hit >= 0) {
        const Shape& s = m_shapes[hit];
        int toStart = x - s.startX;
        int toEnd = s.endX - x;
        m_adjust = toStart <= kEdgeGrip && toStart < toEnd ? kAdjustStart
                   : toEnd <= kEdgeGrip                    ? kAdjustEnd
                                                           : kMove;
        m_pressShape = s;
    }
    ShowSelectedInEdit();
    Invalidate();
}

// A drag on empty grid draws a new period from the point where the button went down.
bool CTimePeriodPickerUI::StartPeriod() {
    Grid grid = GetGrid();
    int x = m_ptPress.x - grid.left;
    int row = DayRowAt(m_ptPress.y);
    if (x < 0 || x >= grid.Width() || row < 0 || row >= kDaysPerWeek) return false;
    int slot = 0;
    while (slot < kMaxTimePeriods && m_shapes[slot].active) ++slot;
    if (slot == kMaxTimePeriods) return false;
    Shape& shape = m_shapes[slot];
    shape = Shape{};
    shape.active = true;
    shape.startX = shape.endX = x;
    shape.days = DaysBetween(row, row);
    shape.firstDay = shape.lastDay = row;
    shape.colour = NewColour();
    m_selected = slot;
    m_adjust = kAdjustEnd | kAdjustLastDay;
    m_anchorDay = row;
    m_pressShape = shape;
    return true;
}

void CTimePeriodPickerUI::Drag(POINT pt) {
    if (!m_bDragging) return;
    if (m_selected < 0 && !StartPeriod()) return;
    Grid grid = GetGrid();
    Shape& s = m_shapes[m_selected];
    int x = std::clamp(pt.x - grid.left, 0, grid.Width());
    if (m_adjust & kAdjustStart) {
        s.startX = x;
        if (s.startX > s.endX) m_adjust = (m_adjust & ~kAdjustStart) | kAdjustEnd;
    } else if (m_adjust & kAdjustEnd) {
        s.endX = x;
        if (s.endX < s.startX) m_adjust = (m_adjust & ~kAdjustEnd) | kAdjustStart;
    }
    if (m_adjust & kAdjustLastDay) {
        int row = std::clamp(DayRowAt(pt.y), 0, kDaysPerWeek - 1);
        s.firstDay = std::min(m_anchorDay, row);
        s.lastDay = std::max(m_anchorDay, row);
        s.days = DaysBetween(s.firstDay, s.lastDay);
    }
    if (m_adjust & kMove) {
        int length = m_pressShape.endX - m_pressShape.startX;
        s.startX = std::clamp(m_pressShape.startX + pt.x - m_ptPress.x, 0, grid.Width() - length);
        s.endX = s.startX + length;
        int rows = std::clamp((pt.y - m_ptPress.y) / kRowHeight, -m_pressShape.firstDay,
                              kDaysPerWeek - 1 - m_pressShape.lastDay);
        s.days = static_cast<std::uint8_t>(rows >= 0 ? m_pressShape.days << rows
                                                     : m_pressShape.days >> -rows);
        s.firstDay = m_pressShape.firstDay + rows;
        s.lastDay = m_pressShape.lastDay + rows;
    }
    if (s.startX > s.endX) std::swap(s.startX, s.endX);
    PeriodFromShape(m_selected);
    ShowSelectedInEdit();
    Invalidate();
}

// The period keeps its snapped times; one dragged too short, or snapped to nothing, goes.
void CTimePeriodPickerUI::Release() {
    m_bDragging = false;
    if (m_selected < 0) return;
    const TimePeriod& period = m_periods[m_selected];
    if (m_shapes[m_selected].endX - m_shapes[m_selected].startX < kMinWidth ||
        PeriodSeconds(period.start) == PeriodSeconds(period.end))
        DeleteSelected();
    m_bShapesStale = true;
}

// A right click inside the selected period's hours turns the day under it on or off; the last
// day stays.
void CTimePeriodPickerUI::ToggleDay(POINT pt) {
    if (m_selected < 0) return;
    Shape& s = m_shapes[m_selected];
    int x = pt.x - GetGrid().left;
    int row = DayRowAt(pt.y);
    if (x < s.startX || x >= s.endX || row < 0 || row >= kDaysPerWeek) return;
    std::uint8_t days = static_cast<std::uint8_t>(s.days ^ (1 << row));
    if (!days) return;
    s.days = days;
    SetDayRange(s);
    PeriodFromShape(m_selected);
    ShowSelectedInEdit();
    Invalidate();
}

void CTimePeriodPickerUI::DeleteSelected() {
    if (m_selected < 0) return;
    m_shapes[m_selected] = Shape{};
    m_periods[m_selected] = TimePeriod{};
    m_selected = -1;
    ShowSelectedInEdit();
    Invalidate();
}

void CTimePeriodPickerUI::DoEvent(TEventUI& event) {
    if (!IsEnabled()) return CControlUI::DoEvent(event);
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
            return Press(event.ptMouse);
        case UIEVENT_MOUSEMOVE:
            return Drag(event.ptMouse);
        case UIEVENT_BUTTONUP:
            return Release();
        case UIEVENT_CONTEXTMENU:
            return ToggleDay(event.ptMouse);
        case UIEVENT_KEYDOWN:
            if (event.chKey == VK_DELETE) return DeleteSelected();
            break;
        default:
            break;
    }
    CControlUI::DoEvent(event);
}

void CTimePeriodPickerUI::Notify(TNotifyUI& msg) {
    if (msg.sType != DUI_MSGTYPE_TEXTCHANGED || !msg.pSender || msg.pSender != PeriodEdit() ||
        m_selected < 0)
        return;
    if (!ParseTimePeriod(msg.pSender->GetText().str(), &m_periods[m_selected])) return;
    m_bShapesStale = true;
    Invalidate();
}

void CTimePeriodPickerUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    if (IntersectRects(rcPaint, m_rcItem).IsEmpty()) return;
    Grid grid = GetGrid();
    if (m_bShapesStale || grid.hourWidth != m_lastHourWidth) ShapesFromPeriods();
    CControlUI::DoPaint(ctx, rcPaint);
    PaintGrid(ctx, grid);
    for (int slot = 0; slot < kMaxTimePeriods; ++slot)
        if (m_shapes[slot].active && slot != m_selected) PaintShape(ctx, grid, slot, false);
    if (m_selected >= 0) PaintShape(ctx, grid, m_selected, true);
}

void CTimePeriodPickerUI::PaintGrid(CRenderContext& ctx, const Grid& grid) {
    int left = m_rcItem.left;
    int top = m_rcItem.top;
    int right = grid.left + grid.Width();
    int bottom = grid.top + kDaysPerWeek * kRowHeight;
    CRenderEngine::DrawColor(ctx, RECT{left, top, right, grid.top}, kHeaderColour);
    CRenderEngine::DrawColor(ctx, RECT{left, grid.top, grid.left, bottom}, kHeaderColour);
    UINT centred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    for (int hour = 0; hour < 24; ++hour) {
        char label[4];
        std::snprintf(label, sizeof label, "%02d", hour);
        RECT cell{grid.left + hour * grid.hourWidth, top, grid.left + (hour + 1) * grid.hourWidth,
                  grid.top};
        CRenderEngine::DrawText(ctx, m_pManager, cell, label, kLabelColour, kLabelFont, centred);
    }
    for (int day = 0; day < kDaysPerWeek; ++day) {
        RECT cell{left, grid.top + day * kRowHeight, grid.left, grid.top + (day + 1) * kRowHeight};
        CRenderEngine::DrawText(ctx, m_pManager, cell, kDayLabels[day], kLabelColour, kLabelFont,
                                centred);
    }
    for (int line = 0; line <= kDaysPerWeek + 1; ++line) {
        int y = top + line * kRowHeight;
        CRenderEngine::DrawLine(ctx, POINT{left, y}, POINT{right, y}, 1, kLineColour);
    }
    CRenderEngine::DrawLine(ctx, POINT{left, top}, POINT{left, bottom}, 1, kLineColour);
    for (int hour = 0; hour <= 24; ++hour) {
        int x = grid.left - 1 + hour * grid.hourWidth;
        CRenderEngine::DrawLine(ctx, POINT{x, top}, POINT{x, bottom}, 1, kLineColour);
    }
}

// Drawn at the period's times, so a period being dragged shows where it will snap.
void CTimePeriodPickerUI::PaintShape(CRenderContext& ctx, const Grid& grid, int slot,
                                     bool selected) {
    const TimePeriod& period = m_periods[slot];
    DWORD colour = kPalette[std::max(0, m_shapes[slot].colour)];
    DWORD fill = selected ? (colour & 0x00FFFFFF) | (DWORD(kSelectedAlpha) << 24) : colour;
    const int left = grid.left + XOf(period.start, grid.hourWidth);
    const int right = grid.left + XOf(period.end, grid.hourWidth);
    for (int day = 0; day < kDaysPerWeek; ++day) {
        if (!(period.days & (1 << day))) continue;
        RECT rc{left, grid.top + day * kRowHeight + 2, right,
                grid.top + (day + 1) * kRowHeight - 2};
        CRenderEngine::DrawColor(ctx, rc, fill);
        if (selected) CRenderEngine::DrawRect(ctx, rc, 1, colour);
    }
}
