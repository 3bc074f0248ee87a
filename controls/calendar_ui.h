#pragma once
// CCalendarUI: a text box for a date and time, a date or a time, with a month calendar that
// drops down from it (CCalendarWnd) and an edit window that takes only date characters and
// selects a whole field on a double click (CCalendarEditWnd).
#include <utility>

#include "controls/control_popup_wnd.h"
#include "controls/date_time_value.h"
#include "uilib/button_ui.h"
#include "uilib/container_ui.h"
#include "uilib/edit_ui.h"

class CCalendarUI;

// The month view under a calendar box, from "CalendarWnd.xml". Month and year buttons move the
// month shown; a click on a day sets the box's value and closes the view.
class CCalendarWnd : public CControlPopupWnd, public INotifyUI {
public:
    explicit CCalendarWnd(CCalendarUI* pOwner) : m_pCalendar(pOwner) {}
    // The moment whose month is shown.
    const DateTimeValue& GetDisplayed() const { return m_displayed; }
    // Shows the month of a moment typed into the box.
    void ShowMoment(const DateTimeValue& moment);

    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

private:
    void MoveMonths(int nMonths);
    void DrawMonth();
    void AddDay(CContainerUI* pRow, int day, const DateTimeValue& today);
    void DayPicked(int day);

    CCalendarUI* m_pCalendar;
    CControlUI* m_pEditCurrent = nullptr;
    CContainerUI* m_pDays = nullptr;
    DateTimeValue m_displayed;
};

// What the calendar's edit window adds to a plain edit: it drops characters that cannot be
// part of a date, turns a second click within the double-click time into a double click,
// treats the right button as the left, and selects the field under a double click.
class CCalendarEditWnd {
public:
    explicit CCalendarEditWnd(CCalendarUI* pOwner) : m_pOwner(pOwner) {}
    static bool IsDateChar(UINT ch);
    // A mouse message of the edit window; true when handled here.
    bool OnMouse(UINT uMsg, POINT pt);
    void OnClickTimer();
    // Start and end (in characters) of the field around a character position.
    static std::pair<int, int> FieldAt(DateTimeMode mode, int pos);

private:
    CCalendarUI* m_pOwner;
    bool m_bClickPending = false;
};

class CCalendarUI : public CDropDownEditUI {
public:
    CCalendarUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    DateTimeMode GetMode() const { return m_mode; }
    void SetMode(DateTimeMode mode);
    const DateTimeValue& GetValue() const { return m_value; }
    // Stores the value and shows it in the box's mode.
    void SetValue(const DateTimeValue& value);
    // An empty text empties the box and keeps the value; any other is read in the box's mode
    // and the box shows the value, so an unreadable text shows the value it had.
    void SetText(LPCTSTR pstrText) override;

    CCalendarWnd* GetPopup() const { return static_cast<CCalendarWnd*>(GetPopupWnd()); }
    // The month view picked a day: the edit window closes and the box takes the moment.
    void DayPicked(const DateTimeValue& value);

    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

protected:
    CControlPopupWnd* CreatePopup(CControlPopupWnd** ppOwnerRef) override;
    bool OnEditChar(UINT ch) override;
    bool OnEditMouse(UINT uMsg, POINT pt) override;
    void OnEditChanged(const CDuiString& text) override;
    void OnEditEnd(bool bChanged) override;

private:
    void ShowValue();

    DateTimeValue m_value;
    DateTimeMode m_mode = kDateAndTime;
    CCalendarEditWnd m_editWnd{this};
    CDuiString m_sTyped;  // what the edit window shows, the last text it accepted
};
