#pragma once
// CComboUnionUI: a button that shows a chosen value and drops down a list shared by many such
// buttons (CComboUnionWnd, built once from a layout by the page that fills it).
#include <set>

#include "uilib/button_ui.h"
#include "uilib/dialog_wnd.h"
#include "uilib/list_ui.h"

class CComboUnionUI;

// The shared drop-down. It opens under one combo at a time; a click on an item gives that combo
// the item's text and user data, and a click on a button inside an item (a delete button) goes
// to the notifiers of the combo's window, which own the list's content. It follows the combo's
// window, and closes when the keyboard goes to any window but the drop-down and the combo's.
// It must be created before, and may be destroyed before or after, the combos bound to it.
class CComboUnionWnd : public CDialogWnd, public INotifyUI, private IMessageFilterUI {
public:
    static constexpr int kMaxHeight = 1000;

    ~CComboUnionWnd() override;
    // Builds the drop-down, hidden, owned by hWndOwner, from a layout holding the list named
    // pstrListName. False when the layout or the list is missing.
    bool Init(HWND hWndOwner, LPCTSTR pstrLayout, LPCTSTR pstrListName,
              IDialogBuilderCallback* pCallback = nullptr);
    CListUI* GetList() const { return m_pList; }
    CComboUnionUI* GetOwnerCombo() const { return m_pCombo; }
    bool IsOpen() const { return m_pCombo != nullptr; }

    // Shows the list under (or above) the combo with the combo's item selected.
    void Open(CComboUnionUI* pCombo);
    void CloseDropDown();
    // Removes a list item; an open drop-down takes its new height, or closes once empty.
    bool RemoveItemAt(int iIndex);
    // The text a list item shows: column 0 of a text row, the first cell of a row of cells,
    // or the text of a label row.
    static CDuiString ItemText(CControlUI* pItem);

    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class CComboUnionUI;
    // Messages of the combo's window.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    void WatchCombo(bool bWatch);
    void ChooseItem(CControlUI* pItem);
    // A key typed in the combo while the list is open; true when the list used it.
    bool OnComboKey(UINT vk);
    bool IsItemButton(CControlUI* pControl) const;
    void SelectOwnersItem();
    void LeaveClicksToRow(int iIndex);
    int WantedHeight();
    void Place();

    CDuiString m_sListName;
    CListUI* m_pList = nullptr;
    CComboUnionUI* m_pCombo = nullptr;
    std::set<CComboUnionUI*> m_bound;
    bool m_bActive = false;       // the drop-down has the keyboard
    bool m_bComboActive = false;  // the combo's window has it
};

class CComboUnionUI : public CButtonUI {
public:
    CComboUnionUI();
    ~CComboUnionUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_COMBO; }

    void SetDropDown(CComboUnionWnd* pDropDown);
    CComboUnionWnd* GetDropDown() const { return m_pDropDown; }
    bool IsDropped() const { return m_pDropDown && m_pDropDown->GetOwnerCombo() == this; }
    // Text and user data become empty; "value_changed" follows.
    void Clear();
    // Text and user data of a chosen item; "value_changed" follows, even for the same item.
    void Choose(LPCTSTR pstrText, LPCTSTR pstrUserData);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    // A disabled combo takes no choice: its open list closes.
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(CRenderContext& ctx) override;

private:
    friend class CComboUnionWnd;
    void CloseDropDown();
    bool OnKeyDown(UINT vk);

    CComboUnionWnd* m_pDropDown = nullptr;
    DWORD m_dwArrowColor = 0xFF7A8794;
};
