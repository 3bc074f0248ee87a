#pragma once
// Box layouts: children stacked vertically or side by side, and a tab layout showing one child.
#include "uilib/container_ui.h"

// Children stacked along one axis: each gets its fixed size along it; those without one share
// what is left (within their minimum and maximum). Attributes: childalign (left|center|right)
// and childvalign (top|vcenter|bottom) place children smaller than the view, along the axis
// only when nobody stretches.
class CBoxLayoutUI : public CContainerUI {
public:
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

protected:
    explicit CBoxLayoutUI(bool bVertical) : m_bVertical(bVertical) {}
    SIZE LayoutChildren(const RECT& rcView) override;

    UINT m_uChildAlign = 0;   // DT_LEFT / DT_CENTER / DT_RIGHT
    UINT m_uChildVAlign = 0;  // DT_TOP / DT_VCENTER / DT_BOTTOM

private:
    bool m_bVertical;
};

class CVerticalLayoutUI : public CBoxLayoutUI {
public:
    CVerticalLayoutUI() : CBoxLayoutUI(true) {}
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

class CHorizontalLayoutUI : public CBoxLayoutUI {
public:
    CHorizontalLayoutUI() : CBoxLayoutUI(false) {}
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Shows child iIndex and hides the others; false for an index out of range.
    virtual bool SelectItem(int iIndex);
    bool SelectItem(CControlUI* pControl);
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

private:
    int m_iCurSel = -1;
    int m_iInitSel = -1;  // "selectedid" of the layout, applied when that child arrives
};
