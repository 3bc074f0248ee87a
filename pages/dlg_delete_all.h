#pragma once
// The confirmation of deleting the whole whitelist: nothing undoes it, so one Enter must not do
// it. The keyboard starts on "cancel"; "ok" works only once the record count or "删除" is typed.
#include "uilib/dialog_wnd.h"

class CEditUI;

class CDlgDeleteAll : public CDialogWnd, public INotifyUI {
public:
    explicit CDlgDeleteAll(int records) : m_records(records) {}

    // Creates the window, hidden, from "deleteall.xml" over the parent.
    HWND CreateFromSkin(HWND hwndParent);
    // 0 once confirmed, 1 when cancelled in any way.
    int GetResult() const { return m_nResult; }

    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

private:
    bool IsConfirmationTyped() const;

    int m_records;
    CEditUI* m_pEdit = nullptr;
    CControlUI* m_pOk = nullptr;
    int m_nResult = 1;
};
