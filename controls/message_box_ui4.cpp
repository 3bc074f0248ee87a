#include "controls/message_box_ui4.h"

#include "uilib/button_ui.h"
#include "uilib/resource_manager_ui.h"

namespace {

const char kOptionName[] = "opt_show_next_time";

UIMessageBox4Hook& Hook() {
    static UIMessageBox4Hook hook;
    return hook;
}

}  // namespace

CMessageBoxUI4::CMessageBoxUI4() : CMessageBoxUI2("MessageBox4.xml") {}

void CMessageBoxUI4::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_OPTIONCLICK && msg.pSender &&
        msg.pSender->GetName() == kOptionName) {
        auto* option = static_cast<COptionUI*>(msg.pSender->GetInterface("Option"));
        SetAskAgain(!(option && option->IsSelected()));
        return;
    }
    CMessageBoxUI2::Notify(msg);
}

// "closebtn", "cancel", Escape and the window manager all arrive here with IDCANCEL.
void CMessageBoxUI4::Close(UINT nRet) {
    if (nRet != IDOK) {
        if (CControlUI* control = m_pm.FindControl(kOptionName))
            if (auto* option = static_cast<COptionUI*>(control->GetInterface("Option")))
                option->Selected(false, false);
        SetAskAgain(true);
    }
    CMessageBoxUI2::Close(nRet);
}

void CMessageBoxUI4::SetAskAgain(bool bAskAgain) {
    m_bAskAgain = bAskAgain;
    if (CControlUI* cancel = m_pm.FindControl("cancel")) cancel->SetEnabled(bAskAgain);
}

int UIMessageBox4(HWND hOwner, LPCTSTR pstrText, bool& bAskAgain) {
    bAskAgain = true;
    if (Hook()) return Hook()(CDuiString(pstrText), bAskAgain);
    // Without its layout the question is still asked, only without the option.
    if (!CResourceManagerUI::HasFile("MessageBox4.xml")) return UIMessageBox2(hOwner, pstrText);
    CMessageBoxUI4 box;
    int result = box.DoModal(hOwner, pstrText);
    bAskAgain = box.IsAskAgain();
    return result;
}

void UISetMessageBox4Hook(UIMessageBox4Hook hook) {
    Hook() = std::move(hook);
}
