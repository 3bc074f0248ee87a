#pragma once
// CTimePeriodUI: the box of a time-period value; a click opens CTimePeriodWnd, the dialog in
// which the operator picks a date range or draws a weekly schedule.
#include "controls/calendar_ui.h"
#include "controls/control_popup_wnd.h"
#include "controls/time_period.h"
#include "uilib/dialog_builder.h"

class CTimePeriodPickerUI;
class CTabLayoutUI;
class CTimePeriodUI;

// The dialog from "TimePeriodWnd.xml": a range tab with two calendars, a weekly tab with the
// picker, and "btn_set", which gives the box the chosen value.
class CTimePeriodWnd : public CControlPopupWnd, public INotifyUI {
public:
    explicit CTimePeriodWnd(CTimePeriodUI* pOwner) : m_pBox(pOwner) {}
    bool Open(CControlPopupWnd** ppOwnerRef);
    const TimePeriodValue& GetWorkingValue() const { return m_value; }

    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

private:
    void ShowTab(bool bPeriodic);
    void Apply();

    // The controls of the dialog's layout that are the program's own.
    class Factory : public CExControlFactory {
    public:
        CControlUI* CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) override;
    };

    CTimePeriodUI* m_pBox;
    Factory m_factory;
    TimePeriodValue m_value;
    COptionUI* m_pOptRange = nullptr;
    COptionUI* m_pOptPeriodic = nullptr;
    CCalendarUI* m_pBegin = nullptr;
    CCalendarUI* m_pEnd = nullptr;
    CTabLayoutUI* m_pTabs = nullptr;
    CTimePeriodPickerUI* m_pPicker = nullptr;
};

class CTimePeriodUI : public CDropDownEditUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    const TimePeriodValue& GetValue() const { return m_value; }
    // An empty text clears the value; a text that reads neither as a schedule nor as a range
    // leaves value and text as they were.
    void SetText(LPCTSTR pstrText) override;
    CTimePeriodWnd* GetPopup() const { return static_cast<CTimePeriodWnd*>(GetPopupWnd()); }

protected:
    CControlPopupWnd* CreatePopup(CControlPopupWnd** ppOwnerRef) override;
    void OnEditEnd(bool bChanged) override;

private:
    TimePeriodValue m_value;
};
