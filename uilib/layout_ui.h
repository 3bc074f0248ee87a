#pragma once
// Box layouts: children stacked vertically or side by side, and a tab layout showing one child.
#include "uilib/container_ui.h"

// Children get their fixed height; those without one share what is left (within their minimum
// and maximum). Attributes: childalign (left|center|right) for children narrower than the view,
// childvalign (top|vcenter|bottom) when nobody stretches.
class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

protected:
    SIZE LayoutChildren(const RECT& rcView) override;

    UINT m_uChildAlign = 0;   // DT_LEFT / DT_CENTER / DT_RIGHT
    UINT m_uChildVAlign = 0;  // DT_TOP / DT_VCENTER / DT_BOTTOM
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

protected:
    SIZE LayoutChildren(const RECT& rcView) override;

    UINT m_uChildAlign = 0;
    UINT m_uChildVAlign = 0;
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
