#include "controls/time_period_ui.h"

#include <cstring>

#include "controls/time_period_picker_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/paint_manager_ui.h"

namespace {

const SIZE kDialogSize{487, 228};

template <typename T>
T* Find(CPaintManagerUI& pm, const char* name, const char* kind) {
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(kind)) : nullptr;
}

// A new range starts as the whole of today rather than at the second the dialog opened.
DateTimeValue TodayAt(int hour, int minute, int second) {
    std::tm tm = DateTimeNow().tm;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return DateTimeFromFields(tm);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The dialog

CControlUI* CTimePeriodWnd::Factory::CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) {
    if (std::strcmp(pstrClass, "Calendar") == 0) return new CCalendarUI;
    if (std::strcmp(pstrClass, "TimePeriodPicker") == 0) return new CTimePeriodPickerUI;
    return CExControlFactory::CreateControl(pstrClass, pManager);
}

bool CTimePeriodWnd::Open(CControlPopupWnd** ppOwnerRef) {
    return Popup(m_pBox, ppOwnerRef, "TimePeriodWnd.xml", kDialogSize, &m_factory);
}

void CTimePeriodWnd::InitWindow() {
    m_pOptRange = Find<COptionUI>(m_pm, "opt_range", "Option");
    m_pOptPeriodic = Find<COptionUI>(m_pm, "opt_periodic", "Option");
    m_pBegin = Find<CCalendarUI>(m_pm, "cld_begin", "Calendar");
    m_pEnd = Find<CCalendarUI>(m_pm, "cld_end", "Calendar");
    m_pTabs = Find<CTabLayoutUI>(m_pm, "tablayout", "TabLayout");
    m_pPicker = Find<CTimePeriodPickerUI>(m_pm, "period_picker", "TimePeriodPicker");
    m_value = m_pBox->GetValue();
    const bool range = m_value.present && !m_value.periodic;
    if (m_value.present && m_value.periodic && m_pPicker) m_pPicker->SetPeriods(m_value.periods);
    if (m_pBegin && m_pEnd) {
        m_pBegin->SetValue(range ? m_value.begin : TodayAt(0, 0, 0));
        m_pEnd->SetValue(range ? m_value.end : TodayAt(23, 59, 59));
    }
    ShowTab(m_value.periodic);
}

void CTimePeriodWnd::ShowTab(bool bPeriodic) {
    m_value.periodic = bPeriodic;
    COptionUI* option = bPeriodic ? m_pOptPeriodic : m_pOptRange;
    if (option && !option->IsSelected()) option->Selected(true, false);
    if (m_pTabs) m_pTabs->SelectItem(bPeriodic ? 1 : 0);
    if (CControlUI* edit = m_pm.FindControl("period_edit")) edit->SetVisible(bPeriodic);
}

void CTimePeriodWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_SELECTCHANGED && msg.pSender == m_pOptRange) return ShowTab(false);
    if (msg.sType == DUI_MSGTYPE_SELECTCHANGED && msg.pSender == m_pOptPeriodic)
        return ShowTab(true);
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == "btn_set") return Apply();
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == "btn_cancel")
        return m_pBox->ClosePopup();
    CDialogWnd::Notify(msg);
}

void CTimePeriodWnd::Apply() {
    if (!GetOwnerControl()) return;
    if (m_pOptRange && m_pOptRange->IsSelected()) {
        m_value.periodic = false;
        if (m_pBegin) m_value.begin = m_pBegin->GetValue();
        if (m_pEnd) m_value.end = m_pEnd->GetValue();
    } else {
        m_value.periodic = true;
        if (m_pPicker)
            std::copy(m_pPicker->GetPeriods(), m_pPicker->GetPeriods() + kMaxTimePeriods,
                      m_value.periods);
    }
    m_value.present = true;
    CTimePeriodUI* box = m_pBox;
    box->SetText(FormatTimePeriodValue(m_value).c_str());
    if (CPaintManagerUI* manager = box->GetManager())
        manager->SendNotify(box, DUI_MSGTYPE_TEXTCHANGED);
    box->ClosePopup();
}

// ---------------------------------------------------------------------------------------------
// The box

LPCTSTR CTimePeriodUI::GetClass() const {
    return "TimePeriodUI";
}

void* CTimePeriodUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "TimePeriod") == 0) return this;
    return CDropDownEditUI::GetInterface(pstrName);
}

void CTimePeriodUI::SetText(LPCTSTR pstrText) {
    std::string text = pstrText ? pstrText : "";
    if (text.empty()) {
        m_value = TimePeriodValue{};
    } else if (!ParseTimePeriodValue(text, &m_value)) {
        return;
    }
    CDropDownEditUI::SetText(FormatTimePeriodValue(m_value).c_str());
}

CControlPopupWnd* CTimePeriodUI::CreatePopup(CControlPopupWnd** ppOwnerRef) {
    auto* popup = new CTimePeriodWnd(this);
    if (popup->Open(ppOwnerRef)) return popup;
    delete popup;
    return nullptr;
}

// What was typed is read once typing ends; an unreadable text gives way to the value's.
void CTimePeriodUI::OnEditEnd(bool bChanged) {
    std::string typed = m_sText.str();
    m_sText = FormatTimePeriodValue(m_value).c_str();
    SetText(typed.c_str());
    CDropDownEditUI::OnEditEnd(bChanged);
}
