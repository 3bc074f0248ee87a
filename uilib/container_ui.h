#pragma once
// CContainerUI: a control holding child controls, optionally scrolled; CScrollBarUI.
#include <vector>

#include "uilib/control_ui.h"

class CContainerUI;

class CScrollBarUI : public CControlUI {
public:
    CScrollBarUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_SCROLLBAR; }

    void SetOwner(CContainerUI* pOwner) { m_pOwner = pOwner; }
    // Shown or hidden by the owner's layout, which has already made room for it: unlike
    // SetVisible, this asks for no new layout.
    void ShowInLayout(bool bShow) { m_bVisible = bShow; }
    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool bHorizontal = true) { m_bHorizontal = bHorizontal; }
    int GetScrollRange() const { return m_nRange; }
    void SetScrollRange(int nRange);
    int GetScrollPos() const { return m_nScrollPos; }
    void SetScrollPos(int nPos);
    int GetPageSize() const { return m_nPageSize; }
    void SetPageSize(int nPage) { m_nPageSize = nPage; }
    int GetThickness() const { return m_nThickness; }

    // Takes the Default of "ScrollBar" (window, then style) like controls of a layout do.
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(CRenderContext& ctx) override;

private:
    RECT ThumbRect() const;
    int TrackLength() const;

    CContainerUI* m_pOwner = nullptr;
    bool m_bHorizontal = false;
    int m_nRange = 0;
    int m_nScrollPos = 0;
    int m_nPageSize = 0;
    int m_nThickness = 10;
    bool m_bHot = false;
    bool m_bDragging = false;
    int m_nDragStartPos = 0;
    POINT m_ptDragStart;
    DWORD m_dwThumbColor = 0xFFC4CDD6;
    DWORD m_dwThumbHotColor = 0xFF9AA8B6;
};

class CContainerUI : public CControlUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    // The children, then the scroll bars.
    int GetAccessibleChildCount() const override;
    CControlUI* GetAccessibleChildAt(int iIndex) const override;

    // The children (for a list: its rows).
    virtual CControlUI* GetItemAt(int iIndex) const;
    virtual int GetItemIndex(CControlUI* pControl) const;
    bool SetItemIndex(CControlUI* pControl, int iIndex);
    virtual int GetCount() const { return static_cast<int>(m_items.size()); }
    virtual bool Add(CControlUI* pControl);
    virtual bool AddAt(CControlUI* pControl, int iIndex);
    // Removes and, unless bDoNotDestroy (or auto-destroy is off), deletes the control.
    virtual bool Remove(CControlUI* pControl, bool bDoNotDestroy = false);
    virtual bool RemoveAt(int iIndex, bool bDoNotDestroy = false);
    // Removes every child in one step (one relayout, however many children there were).
    virtual void RemoveAll();
    // Off: children removed from the container are only detached, never deleted.
    void SetAutoDestroy(bool bAuto) { m_bAutoDestroy = bAuto; }
    bool IsAutoDestroy() const { return m_bAutoDestroy; }

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rcInset);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int iPadding);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
    void SetMouseChildEnabled(bool bEnable = true) { m_bMouseChildEnabled = bEnable; }

    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;
    // A container whose size and content did not change only moves its children.
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset) override;
    void DoPaint(CRenderContext& ctx, const RECT& rcPaint) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

    // Scrolling moves the children by the offset; it lays nothing out again. Positions are pixels
    // of content hidden above / left of the view.
    void EnableScrollBar(bool bEnableVertical = true, bool bEnableHorizontal = false);
    CScrollBarUI* GetVerticalScrollBar() const { return m_pVerticalScrollBar; }
    CScrollBarUI* GetHorizontalScrollBar() const { return m_pHorizontalScrollBar; }
    SIZE GetScrollPos() const;
    SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE szPos);
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    void HomeUp();
    void EndDown();
    // Scrolls the least needed to show rc (client coordinates) in the view.
    void ScrollToShow(const RECT& rc);
    // The part of the container where children show (inset and scroll bars removed).
    RECT GetViewRect() const;

protected:
    // Lays out the children in the view rect; the layouts override this. Returns the size the
    // content needs, so the container can decide on scroll bars.
    virtual SIZE LayoutChildren(const RECT& rcView);
    void SetFloatPos(CControlUI* pControl, const RECT& rcView);
    void ProcessScrollBars(const RECT& rcInner, SIZE szContent);
    // Shows the bars the content needs; says whether any came or went.
    bool ShowNeededBars(const RECT& rcInner);
    SIZE ClampedScrollPos() const;
    // Sizes a child asks for, clamped to its minimum and maximum.
    static SIZE ClampedEstimate(CControlUI* pControl, SIZE szAvailable);
    void DetachChild(CControlUI* pControl, bool bDestroy);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset;
    int m_iChildPadding = 0;
    bool m_bAutoDestroy = true;
    bool m_bMouseChildEnabled = true;
    CScrollBarUI* m_pVerticalScrollBar = nullptr;
    CScrollBarUI* m_pHorizontalScrollBar = nullptr;
    SIZE m_szScrollPos;
    SIZE m_szContent;
    int m_nScrollLine = 48;
};
