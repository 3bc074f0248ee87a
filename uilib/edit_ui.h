#pragma once
// CEditUI: a text box. While it has the focus a native line edit lies over it, so input methods,
// selection, the clipboard and undo behave as everywhere on the desktop.
#include "uilib/label_ui.h"

namespace uilib_detail {
class EditOverlay;
}

// Notifications: "textchanged" on every change the user makes, "return" on Enter, "editclosed"
// when editing ends (wParam 1 when the text differs from when editing began, else 0).
// Attributes beyond the label's: maxchar, readonly, password, numberonly, tipvalue (shown grey
// while empty), tipvaluecolor, nativebkcolor (background while editing).
class CEditUI : public CLabelUI {
public:
    CEditUI();
    ~CEditUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_EDIT; }
    UINT GetControlFlags() const override;

    void SetText(LPCTSTR pstrText) override;
    void SetMaxChar(UINT uMax);
    UINT GetMaxChar() const { return m_uMaxChar; }
    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetPasswordMode(bool bPasswordMode);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetNumberOnly(bool bNumberOnly);
    void SetTipValue(LPCTSTR pstrTip);
    const CDuiString& GetTipValue() const { return m_sTipValue; }

    bool IsEditing() const { return m_pOverlay != nullptr; }
    // Selection in characters (not bytes); -1 as end means "to the end".
    void SetSel(int nStart, int nEnd);
    void SetSelAll() { SetSel(0, -1); }
    // Character position of the text under a client point.
    int GetCharFromPos(POINT pt) const;

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset) override;
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintText(CRenderContext& ctx) override;

protected:
    // Hooks into the edit window, for controls built on the edit (calendars, in-place labels).
    // A typed character (Unicode); false drops it.
    virtual bool OnEditChar(UINT ch);
    // Enter, Escape, Tab, Up and Down before the library acts on them; true when handled.
    // Without a handler: Tab moves the focus, Enter sends "return" and presses the default
    // button, Escape goes to the window (a dialog closes).
    virtual bool OnEditKey(UINT vk, UINT keyState);
    // WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN or WM_RBUTTONUP inside the
    // edit window, at a client point of the window; true when handled (the edit then ignores it).
    virtual bool OnEditMouse(UINT uMsg, POINT pt);
    // The user changed the text: stores it and sends "textchanged".
    virtual void OnEditChanged(const CDuiString& text);
    // Editing ended because the focus left: sends "editclosed".
    virtual void OnEditEnd(bool bChanged);

    void StartEdit();
    void EndEdit();
    RECT EditRect() const;

    UINT m_uMaxChar = 255;
    bool m_bReadOnly = false;
    bool m_bPasswordMode = false;
    bool m_bNumberOnly = false;
    CDuiString m_sTipValue;
    DWORD m_dwTipValueColor = 0xFFA8B2BD;
    DWORD m_dwNativeBkColor = 0xFFFFFFFF;
    CDuiString m_sTextAtStart;

private:
    friend class uilib_detail::EditOverlay;
    void PlaceOverlay();

    uilib_detail::EditOverlay* m_pOverlay = nullptr;
};
