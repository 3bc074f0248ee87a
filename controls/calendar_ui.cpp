#include "controls/calendar_ui.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "uilib/layout_ui.h"
#include "uilib/paint_manager_ui.h"

namespace {

const UINT kClickTimer = CTimerID::g_ID++;
const SIZE kPopupSize{172, 194};
const int kDaySize = 24;

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int fullYear = year + 1900;
    bool leap = (fullYear % 4 == 0 && fullYear % 100 != 0) || fullYear % 400 == 0;
    return month == 1 && leap ? 29 : kDays[month];
}

DateTimeValue OnDay(const DateTimeValue& moment, int day) {
    std::tm tm = moment.tm;
    tm.tm_mday = day;
    return DateTimeFromFields(tm);
}

bool SameDay(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The month view

void CCalendarWnd::InitWindow() {
    m_pEditCurrent = m_pm.FindControl("edit_current");
    m_pDays = static_cast<CContainerUI*>(m_pm.FindControl("container_day"));
    const DateTimeValue& value = m_pCalendar->GetValue();
    m_displayed = IsValidDateTime(value) ? value : DateTimeNow();
    DrawMonth();
}

void CCalendarWnd::Notify(TNotifyUI& msg) {
    CDuiString name = msg.pSender ? msg.pSender->GetName() : CDuiString();
    if (msg.sType == DUI_MSGTYPE_CLICK) {
        if (name == "btn_premonth") return MoveMonths(-1);
        if (name == "btn_nextmonth") return MoveMonths(1);
        if (name == "btn_preyear") return MoveMonths(-12);
        if (name == "btn_nextyear") return MoveMonths(12);
    } else if (msg.sType == DUI_MSGTYPE_OPTIONCLICK && m_pDays && msg.pSender->GetParent() &&
               msg.pSender->GetParent()->GetParent() == m_pDays) {
        return DayPicked(static_cast<int>(msg.pSender->GetTag()));
    }
    CDialogWnd::Notify(msg);
}

void CCalendarWnd::ShowMoment(const DateTimeValue& moment) {
    if (!IsValidDateTime(moment)) return;
    m_displayed = moment;
    DrawMonth();
}

// The day stays within the new month: 31 January goes to the last day of February.
void CCalendarWnd::MoveMonths(int nMonths) {
    std::tm tm = m_displayed.tm;
    int months = tm.tm_year * 12 + tm.tm_mon + nMonths;
    tm.tm_year = months / 12;
    tm.tm_mon = months % 12;
    tm.tm_mday = std::min(tm.tm_mday, DaysInMonth(tm.tm_year, tm.tm_mon));
    DateTimeValue moved = DateTimeFromFields(tm);
    if (!IsValidDateTime(moved)) return;
    m_displayed = moved;
    DrawMonth();
}

// Rows of seven days from Sunday; the first row begins under the weekday of the 1st.
void CCalendarWnd::DrawMonth() {
    if (!m_pDays) return;
    if (m_pEditCurrent) m_pEditCurrent->SetText(FormatDateTime(m_displayed, kDateOnly).c_str());
    m_pDays->RemoveAll();
    DateTimeValue first = OnDay(m_displayed, 1);
    int days = DaysInMonth(m_displayed.tm.tm_year, m_displayed.tm.tm_mon);
    DateTimeValue today = DateTimeNow();
    CHorizontalLayoutUI* row = nullptr;
    int column = first.tm.tm_wday;
    for (int day = 1; day <= days; ++day, ++column) {
        if (!row || column == 7) {
            row = new CHorizontalLayoutUI;
            row->SetFixedHeight(kDaySize);
            m_pDays->Add(row);
            if (day == 1 && column > 0) {
                auto* filler = new CControlUI;
                filler->SetFixedWidth(column * kDaySize);
                row->Add(filler);
            }
            column %= 7;
        }
        AddDay(row, day, today);
    }
}

void CCalendarWnd::AddDay(CContainerUI* pRow, int day, const DateTimeValue& today) {
    DateTimeValue moment = OnDay(m_displayed, day);
    auto* option = new COptionUI;
    option->SetGroup("opt_group_day");
    pRow->Add(option);
    option->ApplyClass(SameDay(moment.tm, today.tm) ? "opt_day opt_day_today" : "opt_day");
    option->SetFixedWidth(kDaySize);
    option->SetFixedHeight(kDaySize);
    char text[8];
    std::snprintf(text, sizeof text, "%d", day);
    option->SetText(text);
    option->SetTag(static_cast<UINT_PTR>(day));
    option->SetToolTip(FormatDateTime(moment, kDateOnly).c_str());
    option->Selected(moment.time == m_pCalendar->GetValue().time, false);
}

void CCalendarWnd::DayPicked(int day) {
    if (day < 1 || day > 31 || !GetOwnerControl()) return;
    m_displayed = OnDay(m_displayed, day);
    m_pCalendar->DayPicked(m_displayed);
}

// ---------------------------------------------------------------------------------------------
// The edit window

bool CCalendarEditWnd::IsDateChar(UINT ch) {
    return (ch >= '0' && ch <= '9') || ch == '\b' || ch == ' ' || ch == '-' || ch == ':';
}

std::pair<int, int> CCalendarEditWnd::FieldAt(DateTimeMode mode, int pos) {
    static const int kEnds[][6] = {{4, 7, 10, 13, 16, 19}, {4, 7, 10}, {2, 5, 8}};
    static const int kCounts[] = {6, 3, 3};
    const int* ends = kEnds[mode];
    int field = 0;
    while (field < kCounts[mode] - 1 && pos > ends[field]) ++field;
    return {field > 0 ? ends[field - 1] + 1 : 0, ends[field]};
}

bool CCalendarEditWnd::OnMouse(UINT uMsg, POINT pt) {
    bool right = uMsg == WM_RBUTTONDOWN || uMsg == WM_RBUTTONUP;
    if (uMsg == WM_LBUTTONUP || uMsg == WM_RBUTTONUP) return right;
    CPaintManagerUI* manager = m_pOwner->GetManager();
    if (uMsg == WM_LBUTTONDBLCLK || m_bClickPending) {
        OnClickTimer();
        std::pair<int, int> field = FieldAt(m_pOwner->GetMode(), m_pOwner->GetCharFromPos(pt));
        m_pOwner->SetSel(field.first, field.second);
        return true;
    }
    m_bClickPending = manager && manager->SetTimer(m_pOwner, kClickTimer, UIGetDoubleClickTime());
    if (!right) return false;
    int pos = m_pOwner->GetCharFromPos(pt);
    m_pOwner->SetSel(pos, pos);
    return true;
}

void CCalendarEditWnd::OnClickTimer() {
    if (m_bClickPending && m_pOwner->GetManager())
        m_pOwner->GetManager()->KillTimer(m_pOwner, kClickTimer);
    m_bClickPending = false;
}

// ---------------------------------------------------------------------------------------------
// The box

CCalendarUI::CCalendarUI() {
    m_value = DateTimeNow();
    SetMode(kDateAndTime);
}

LPCTSTR CCalendarUI::GetClass() const {
    return "CalendarUI";
}

void* CCalendarUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "Calendar") == 0) return this;
    return CDropDownEditUI::GetInterface(pstrName);
}

void CCalendarUI::SetMode(DateTimeMode mode) {
    m_mode = mode;
    SetMaxChar(static_cast<UINT>(DateTimeTextLimit(mode)));
    ShowValue();
}

void CCalendarUI::SetValue(const DateTimeValue& value) {
    m_value = value;
    ShowValue();
}

void CCalendarUI::SetText(LPCTSTR pstrText) {
    if (!pstrText || !*pstrText) {
        m_sTyped.Empty();
        CEditUI::SetText("");
        return;
    }
    ParseDateTime(pstrText, m_mode, &m_value);
    ShowValue();
}

void CCalendarUI::ShowValue() {
    m_sTyped = FormatDateTime(m_value, m_mode).c_str();
    CEditUI::SetText(m_sTyped);
}

CControlPopupWnd* CCalendarUI::CreatePopup(CControlPopupWnd** ppOwnerRef) {
    auto* popup = new CCalendarWnd(this);
    if (popup->Popup(this, ppOwnerRef, "CalendarWnd.xml", kPopupSize)) return popup;
    delete popup;
    return nullptr;
}

void CCalendarUI::DayPicked(const DateTimeValue& value) {
    EndEdit();
    SetValue(value);
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
    ClosePopup();
}

void CCalendarUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kClickTimer) return m_editWnd.OnClickTimer();
    CDropDownEditUI::DoEvent(event);
}

void CCalendarUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (std::strcmp(pstrName, "datetimemode") == 0) {
        SetMode(std::strcmp(pstrValue, "dateonly") == 0   ? kDateOnly
                : std::strcmp(pstrValue, "timeonly") == 0 ? kTimeOnly
                                                          : kDateAndTime);
        return;
    }
    CDropDownEditUI::SetAttribute(pstrName, pstrValue);
}

bool CCalendarUI::OnEditChar(UINT ch) {
    return CCalendarEditWnd::IsDateChar(ch);
}

bool CCalendarUI::OnEditMouse(UINT uMsg, POINT pt) {
    CDropDownEditUI::OnEditMouse(uMsg, pt);
    return m_editWnd.OnMouse(uMsg, pt);
}

// What the edit window shows stays as typed; the box's text and value follow it whenever it
// reads. Pasted text with characters that cannot be part of a date is undone.
void CCalendarUI::OnEditChanged(const CDuiString& text) {
    const std::string& typed = text.str();
    bool clean = std::all_of(typed.begin(), typed.end(), [](char c) {
        return CCalendarEditWnd::IsDateChar(static_cast<unsigned char>(c));
    });
    if (!clean) {
        CDuiString shown = m_sText;
        CEditUI::SetText(m_sTyped);
        CLabelUI::SetText(shown);
        return;
    }
    m_sTyped = text;
    if (ParseDateTime(typed.c_str(), m_mode, &m_value) && GetPopup()) GetPopup()->ShowMoment(m_value);
    CLabelUI::SetText(FormatDateTime(m_value, m_mode).c_str());
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

void CCalendarUI::OnEditEnd(bool bChanged) {
    ShowValue();
    CDropDownEditUI::OnEditEnd(bChanged);
}
