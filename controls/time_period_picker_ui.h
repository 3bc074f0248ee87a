#pragma once
// CTimePeriodPickerUI: a week of 24-hour rows on which the periods of a weekly schedule are
// drawn, dragged, resized and deleted with the mouse; the edit "period_edit" of the same window
// shows the selected period as text and can change it.
#include <random>

#include "controls/time_period.h"
#include "uilib/control_ui.h"

class CEditUI;

class CTimePeriodPickerUI : public CControlUI, public INotifyUI {
public:
    // A period as drawn: x offsets from the left of the hour grid, day rows 0 (Monday) to 6.
    struct Shape {
        bool active = false;
        std::uint8_t days = 0;
        int startX = 0;
        int endX = 0;
        int firstDay = 0;
        int lastDay = 0;
        int colour = -1;  // palette index
    };
    // The grid of the control's current rectangle.
    struct Grid {
        int left = 0;  // x of 00:00
        int top = 0;   // y of Monday's row
        int hourWidth = 1;
        int Width() const { return 24 * hourWidth; }
    };
    static const int kDayLabelWidth = 50;
    static const int kRowHeight = 22;
    static const int kPaletteSize = 15;
    static const DWORD kPalette[kPaletteSize];

    CTimePeriodPickerUI();
    ~CTimePeriodPickerUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UINT GetControlFlags() const override;

    const TimePeriod* GetPeriods() const { return m_periods; }
    void SetPeriods(const TimePeriod periods[kMaxTimePeriods]);
    int GetSelected() const { return m_selected; }
    const Shape& GetShape(int slot) const { return m_shapes[slot]; }
    Grid GetGrid() const;

    void DoInit() override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(CRenderContext& ctx, const RECT& rcPaint) override;
    void Notify(TNotifyUI& msg) override;

private:
    enum Adjust : unsigned { kAdjustStart = 1, kAdjustEnd = 2, kAdjustLastDay = 4, kMove = 8 };

    CEditUI* PeriodEdit();
    void ShowSelectedInEdit();
    void ShapesFromPeriods();
    void PeriodFromShape(int slot);
    int NewColour();
    int DayRowAt(int y) const;
    void Press(POINT pt);
    void Drag(POINT pt);
    void Release();
    void ToggleDay(POINT pt);
    void DeleteSelected();
    bool StartPeriod();
    void PaintGrid(CRenderContext& ctx, const Grid& grid);
    void PaintShape(CRenderContext& ctx, const Grid& grid, int slot, bool selected);

    TimePeriod m_periods[kMaxTimePeriods];
    Shape m_shapes[kMaxTimePeriods];
    int m_selected = -1;
    bool m_bDragging = false;
    unsigned m_adjust = 0;
    POINT m_ptPress;
    Shape m_pressShape;
    int m_anchorDay = 0;
    int m_lastHourWidth = 0;
    bool m_bShapesStale = true;
    CEditUI* m_pEdit = nullptr;
    std::minstd_rand m_random;
};
