#pragma once
// The list: a header of column items over a scrolled body of rows, with single or multiple
// selection. Also the row classes shared with combo boxes and menus.
#include <vector>

#include "uilib/label_ui.h"
#include "uilib/layout_ui.h"

// How the rows of a list (or the items of a combo) look; the owner's item* attributes.
struct TListInfoUI {
    int nColumns = 0;
    std::vector<RECT> rcColumn;  // left and right of each column, client coordinates
    int nFont = -1;
    UINT uTextStyle;
    RECT rcTextPadding{10, 4, 10, 4};
    DWORD dwTextColor = 0xFF333333;
    DWORD dwBkColor = 0;
    DWORD dwAlternateBkColor = 0;  // every second row, when set
    DWORD dwSelectedTextColor = 0xFF1F2D3D;
    DWORD dwSelectedBkColor = 0xFFD6EAFF;
    DWORD dwHotTextColor = 0;
    DWORD dwHotBkColor = 0xFFEEF5FC;
    DWORD dwDisabledTextColor = 0xFFA0A8B0;
    DWORD dwLineColor = 0xFFEDF1F5;  // line under each row, when set
    bool bShowHtml = false;
    bool bFocusRing = true;  // the focused list marks its current row with the focus ring
    TListInfoUI();
    // Applies one of the owner's item* attributes; false for any other attribute.
    bool SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
};

// What rows need from whoever owns them (a list, a combo box, a menu).
class IListOwnerUI {
public:
    virtual TListInfoUI* GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) = 0;
    // A row was pressed (left or right button) with the given MK_ key state.
    virtual void ItemPressed(int iIndex, UINT keyState, bool bRightButton) = 0;
    // Keys, the wheel and context menus that rows pass on.
    virtual void DoEvent(TEventUI& event) = 0;
    // The row that shows the keyboard focus (the current row of a focused list), -1 for none.
    virtual int GetFocusedItem() const { return -1; }

protected:
    ~IListOwnerUI() = default;
};

class IListItemUI {
public:
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int iIndex) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* pOwner) = 0;
    virtual bool IsSelected() const = 0;
    // Changes the mark only; owners send the notifications.
    virtual void SetSelected(bool bSelected) = 0;
    virtual bool IsHot() const = 0;

protected:
    ~IListItemUI() = default;
};

// What rows of every kind share: their place, owner and marks, and the events they handle
// alike. "itemclick" (wParam the index) follows the owner's "itemselect"; a double click sends
// "itemactivate". TControl is what the row is: a plain control or a row of child controls.
template <typename TControl>
class CListRowUI : public TControl, public IListItemUI {
public:
    void* GetInterface(LPCTSTR pstrName) override;
    UINT GetControlFlags() const override { return 0; }
    UIROLE GetAccessibleRole() const override { return UIROLE_LISTITEM; }

    int GetIndex() const override { return m_iIndex; }
    void SetIndex(int iIndex) override { m_iIndex = iIndex; }
    IListOwnerUI* GetOwner() override { return m_pOwner; }
    void SetOwner(CControlUI* pOwner) override;
    bool IsSelected() const override { return m_bSelected; }
    void SetSelected(bool bSelected) override;
    bool IsHot() const override { return m_bHot; }
    // Selects this row through its owner (with notifications).
    bool Select(bool bSelect = true);
    bool Activate() override;

    SIZE EstimateSize(SIZE szAvailable) override;
    void DoEvent(TEventUI& event) override;

protected:
    int m_iIndex = -1;
    IListOwnerUI* m_pOwner = nullptr;
    bool m_bSelected = false;
    bool m_bHot = false;
};

extern template class CListRowUI<CControlUI>;
extern template class CListRowUI<CHorizontalLayoutUI>;

// A row without children.
class CListElementUI : public CListRowUI<CControlUI> {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    void DoPaint(CRenderContext& ctx, const RECT& rcPaint) override;
    virtual void DrawItemText(CRenderContext& ctx, const RECT& rcItem) = 0;
};

// One text, drawn across the row (combo items, simple lists, menus).
class CListLabelElementUI : public CListElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    void DrawItemText(CRenderContext& ctx, const RECT& rcItem) override;
};

// One text per column of the header.
class CListTextElementUI : public CListElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    CDuiString GetText(int iIndex) const;
    void SetText(int iIndex, LPCTSTR pstrText);
    using CListElementUI::GetText;
    using CListElementUI::SetText;
    void DrawItemText(CRenderContext& ctx, const RECT& rcItem) override;

private:
    std::vector<CDuiString> m_texts;
};

// A row of child controls, laid out side by side; derived rows may place them per column.
class CListContainerElementUI : public CListRowUI<CHorizontalLayoutUI> {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    void DoPaint(CRenderContext& ctx, const RECT& rcPaint) override;
};

class CListUI;

// A column title. sortable="true": a click sends "sortlist" with wParam 1 (ascending) or 2
// (descending), alternating, and lParam the column index; sortdefault="true": a click clears
// every column's order and sends "sortlist" with wParam 0. Every click also sends "headerclick".
// The right edge (sepwidth pixels) drags the width, never below minwidth.
class CListHeaderItemUI : public CLabelUI {
public:
    CListHeaderItemUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_COLUMNHEADER; }
    UINT GetControlFlags() const override;

    CListUI* GetOwnerList() const;
    int GetSortOrder() const { return m_nSortOrder; }
    void SetSortOrder(int nOrder);
    bool IsSortable() const { return m_bSortable; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(CRenderContext& ctx) override;
    void PaintText(CRenderContext& ctx) override;
    void PaintBorder(CRenderContext& ctx) override;

private:
    RECT SeparatorRect() const;
    void Clicked();

    bool m_bSortable = false;
    bool m_bSortDefault = false;
    bool m_bDragable = true;
    int m_nSortOrder = 0;
    int m_iSepWidth = 4;
    DWORD m_dwSepColor = 0xFFDDE4EC;
    DWORD m_dwHotBkColor = 0xFFE9F1FA;
    DWORD m_dwSortColor = 0xFF2D8CF0;
    bool m_bHot = false;
    bool m_bPushed = false;
    bool m_bResizing = false;
    int m_nResizeStartX = 0;
    int m_nResizeStartWidth = 0;
};

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    // The list takes its columns from here whenever the header is laid out or moved.
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    // Width of all columns together.
    int GetColumnsWidth();
};

class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* pOwner) : m_pOwner(pOwner) {}
    LPCTSTR GetClass() const override;
    // Accessibility clients see the rows as the list's own children.
    UIROLE GetAccessibleRole() const override { return UIROLE_NONE; }
    void SetScrollPos(SIZE szPos) override;
    void DoEvent(TEventUI& event) override;

protected:
    SIZE LayoutChildren(const RECT& rcView) override;

private:
    CListUI* m_pOwner;
};

// Notifications: "itemselect" (wParam the current row, lParam the previous one) whenever the
// selection changes, "menu" on a right click (wParam the row under the mouse or -1, ptMouse)
// and on Shift+F10 or the Menu key (wParam the current row, ptMouse its lower left corner),
// and those of the rows and header items. With multiselect="true", Ctrl+click toggles a row and
// Shift+click selects the range from the last row clicked.
class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
public:
    CListUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_LIST; }
    UINT GetControlFlags() const override;

    CListHeaderUI* GetHeader() const { return m_pHeader; }
    CListBodyUI* GetList() const { return m_pList; }

    // Rows (header items given to Add go to the header).
    CControlUI* GetItemAt(int iIndex) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    int GetCount() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    void ItemPressed(int iIndex, UINT keyState, bool bRightButton) override;
    int GetFocusedItem() const override { return IsFocused() ? m_iCurSel : -1; }
    // Focused without a current row, the list itself wears the focus ring.
    void PaintBorder(CRenderContext& ctx) override;
    // Adds (or with bSelect false, removes) one row to the selection; makes it current.
    bool SelectMultiItem(int iIndex, bool bSelect = true);
    void UnSelectAllItems();
    // Selected rows in list order.
    std::vector<int> GetSelectedItems() const;
    bool IsMultiSelect() const { return m_bMultiSel; }
    void SetMultiSelect(bool bMultiSel);
    // Scrolls the least needed to show the row.
    void EnsureVisible(int iIndex);
    void Scroll(int dx, int dy);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

private:
    IListItemUI* RowAt(int iIndex) const;
    void SetRowSelected(int iIndex, bool bSelected);
    void ClearSelection();
    void NotifySelection(int iOld, bool bTrigger);
    void MoveCurrent(int iIndex, UINT keyState);
    void NotifyContextMenu(int iIndex, POINT pt);
    friend class CListHeaderUI;
    // Takes the columns from the header; rows are laid out again when a width changed.
    void UpdateColumns();

    CListHeaderUI* m_pHeader;
    CListBodyUI* m_pList;
    TListInfoUI m_ListInfo;
    int m_iCurSel = -1;
    int m_iAnchor = -1;
    bool m_bMultiSel = false;
};
