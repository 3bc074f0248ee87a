#include "uilib/message_box.h"

#include "uilib/resource_manager_ui.h"

namespace {

UIMessageBoxHook& Hook() {
    static UIMessageBoxHook hook;
    return hook;
}

// Used when the skin lacks the box (a skin that failed to unpack must still be able to say so).
const char kFallbackLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="380,190" caption="0,0,0,40">
  <VerticalLayout bkcolor="#FFFFFFFF" bordercolor="#FFC8D6E5" bordersize="1">
    <HorizontalLayout height="40" bkcolor="#FF2D8CF0">
      <Label name="title" textcolor="#FFFFFFFF" textpadding="14,0,0,0" font="1"/>
      <Button name="closebtn" width="40" text="×" textcolor="#FFFFFFFF" hotbkcolor="#FF5AA6F5"/>
    </HorizontalLayout>
    <HorizontalLayout inset="22,12,22,0" childpadding="14" childvalign="vcenter">
      <Control name="icon" width="36" height="36"/>
      <Text name="msg" textcolor="#FF333333" valign="center"/>
    </HorizontalLayout>
    <HorizontalLayout height="56" childalign="right" inset="0,0,18,0" childpadding="10" childvalign="vcenter">
      <Button name="ok" text="确定" width="88" height="32" default="true" bkcolor="#FF2D8CF0" hotbkcolor="#FF4A9EF3" textcolor="#FFFFFFFF" borderround="6,6"/>
      <Button name="cancel" text="取消" width="88" height="32" bkcolor="#FFF1F4F8" hotbkcolor="#FFE3EAF2" textcolor="#FF333333" borderround="6,6"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

// A box that only informs: whatever layout it has, it offers no Cancel.
class InformationBox : public CMessageBoxUI2 {
public:
    using CMessageBoxUI2::CMessageBoxUI2;

protected:
    void InitWindow() override {
        CMessageBoxUI2::InitWindow();
        if (CControlUI* cancel = m_pm.FindControl("cancel")) cancel->SetVisible(false);
    }
};

// Its third button drops the changes the question is about.
class SaveQuestionBox : public CMessageBoxUI2 {
public:
    static constexpr int kDiscarded = 2;
    using CMessageBoxUI2::CMessageBoxUI2;

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender->GetName() == "discard") {
            m_nResult = kDiscarded;
            Close(IDNO);
            return;
        }
        CMessageBoxUI2::Notify(msg);
    }
};

LPCTSTR LayoutOrFallback(LPCTSTR pstrLayout) {
    return CResourceManagerUI::HasFile(pstrLayout) ? pstrLayout : kFallbackLayout;
}

int ShowBox(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption, LPCTSTR pstrLayout,
            UINT uIcon) {
    if (Hook()) return Hook()(CDuiString(pstrText), uIcon);
    LPCTSTR layout = LayoutOrFallback(pstrLayout);
    if (uIcon == MB_ICONQUESTION)
        return CMessageBoxUI2(layout, uIcon).DoModal(hOwner, pstrText, pstrCaption);
    return InformationBox(layout, uIcon).DoModal(hOwner, pstrText, pstrCaption);
}

LPCTSTR IconFile(UINT uIcon) {
    switch (uIcon) {
        case MB_ICONWARNING:
            return "msg_warning.svg";
        case MB_ICONQUESTION:
            return "msg_question.svg";
        default:
            return "msg_info.svg";
    }
}

}  // namespace

CMessageBoxUI2::CMessageBoxUI2(LPCTSTR pstrLayout, UINT uIcon)
    : m_sLayout(pstrLayout), m_uIcon(uIcon) {}

int CMessageBoxUI2::DoModal(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption) {
    m_sText = pstrText;
    m_sCaption = pstrCaption ? pstrCaption : "提示";
    m_nResult = 1;
    if (!Create(hOwner, m_sCaption, m_sLayout, nullptr, UI_WNDSTYLE_DIALOG)) return 1;
    CenterWindow();
    ShowModal();
    return m_nResult;
}

void CMessageBoxUI2::SetMsg(LPCTSTR pstrText) {
    m_sText = pstrText;
    if (CControlUI* msg = m_pm.FindControl("msg")) msg->SetText(pstrText);
}

void CMessageBoxUI2::InitWindow() {
    if (CControlUI* title = m_pm.FindControl("title")) title->SetText(m_sCaption);
    if (CControlUI* icon = m_pm.FindControl("icon")) icon->SetBkImage(IconFile(m_uIcon));
    SetMsg(m_sText);
}

void CMessageBoxUI2::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        CDuiString name = msg.pSender->GetName();
        if (name == "ok") {
            m_nResult = 0;
            Close(IDOK);
            return;
        }
        if (name == "cancel") {
            m_nResult = 1;
            Close(IDCANCEL);
            return;
        }
    }
    CDialogWnd::Notify(msg);
}

void UIMessageBox(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption, UINT uIcon) {
    ShowBox(hOwner, pstrText, pstrCaption, "MessageBox.xml",
            uIcon == MB_ICONINFORMATION ? MB_ICONINFORMATION : MB_ICONWARNING);
}

int UIMessageBox2(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption) {
    return ShowBox(hOwner, pstrText, pstrCaption, "MessageBox2.xml", MB_ICONQUESTION) == 0 ? 0
                                                                                          : 1;
}

SaveAnswer UIAskToSave(HWND hOwner, LPCTSTR pstrText) {
    const int answer = Hook()
                           ? Hook()(CDuiString(pstrText), true)
                           : SaveQuestionBox(LayoutOrFallback("MessageBox3.xml"), MB_ICONQUESTION)
                                 .DoModal(hOwner, pstrText);
    if (answer == 0) return SaveAnswer::kSave;
    return answer == SaveQuestionBox::kDiscarded ? SaveAnswer::kDiscard : SaveAnswer::kCancel;
}

void UISetMessageBoxHook(UIMessageBoxHook hook) {
    Hook() = std::move(hook);
}
