#pragma once
// CComboUI: shows the chosen item; its items drop down in a window of their own.
#include "uilib/list_ui.h"

class CComboWnd;

// Items are list rows, normally CListLabelElementUI. "itemselect" (wParam the new index, lParam
// the old one) when the choice changes, by the user or by SelectItem. "dropdown" when it opens.
// Attributes beyond the container's: dropboxsize ("width,height"; 0 width = the combo's),
// font, textcolor, disabledtextcolor, textpadding, arrowcolor, hotbordercolor, and the
// item* attributes of CListUI.
class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    CComboUI();
    ~CComboUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    // Its items show to accessibility clients in the drop-down's window, while it is open.
    UIROLE GetAccessibleRole() const override { return UIROLE_COMBO; }
    int GetAccessibleChildCount() const override { return 0; }
    UINT GetControlFlags() const override;

    // The chosen item's text; with nothing chosen, the text set with SetText.
    CDuiString GetText() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    // -1 chooses nothing (the combo then shows its own text, normally empty).
    bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    void ItemPressed(int iIndex, UINT keyState, bool bRightButton) override;

    // Opens the drop-down; false when it cannot open (disabled, no window).
    bool Activate() override;
    bool IsDropDown() const { return m_pWindow != nullptr; }
    void CloseDropDown();
    SIZE GetDropBoxSize() const { return m_szDropBox; }
    void SetDropBoxSize(SIZE szDropBox) { m_szDropBox = szDropBox; }
    void SetFont(int index);
    void SetTextColor(DWORD dwColor);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoPaint(CRenderContext& ctx, const RECT& rcPaint) override;

private:
    friend class CComboWnd;
    void DropWindowGone();

    CComboWnd* m_pWindow = nullptr;
    TListInfoUI m_ListInfo;
    int m_iCurSel = -1;
    SIZE m_szDropBox{0, 240};
    int m_iFont = -1;
    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0xFFA0A8B0;
    DWORD m_dwArrowColor = 0xFF7A8794;
    DWORD m_dwHotBorderColor = 0;
    RECT m_rcTextPadding{10, 0, 28, 0};
    bool m_bHot = false;
};
