#pragma once
// CControlUI: a light object laid out, painted and fed with events by its window's paint manager.
#include "uilib/dui_string.h"
#include "uilib/ui_notify.h"

class CPaintManagerUI;
class CRenderContext;

typedef CControlUI* (*FINDCONTROLPROC)(CControlUI* pControl, void* pData);

// FindControl flags.
enum : UINT {
    UIFIND_ALL = 0x00000000,
    UIFIND_VISIBLE = 0x00000001,
    UIFIND_ENABLED = 0x00000002,
    UIFIND_HITTEST = 0x00000004,
    UIFIND_TOP_FIRST = 0x00000008,
    UIFIND_ME_FIRST = 0x80000000,
};

// GetControlFlags.
enum : UINT {
    UIFLAG_TABSTOP = 0x00000001,
    UIFLAG_SETCURSOR = 0x00000002,
    UIFLAG_WANTRETURN = 0x00000004,
};

// Control states, for painting.
enum : UINT {
    UISTATE_FOCUSED = 0x00000001,
    UISTATE_SELECTED = 0x00000002,
    UISTATE_DISABLED = 0x00000004,
    UISTATE_HOT = 0x00000008,
    UISTATE_PUSHED = 0x00000010,
    UISTATE_CAPTURED = 0x00000040,
};

// What a control is to screen readers and UI test tools. UIROLE_NONE: the control is not shown
// to them; its children count as its parent's (a list's scrolled body).
enum UIROLE {
    UIROLE_NONE,
    UIROLE_PANE,
    UIROLE_LABEL,
    UIROLE_BUTTON,
    UIROLE_CHECKBOX,
    UIROLE_RADIO,
    UIROLE_EDIT,
    UIROLE_COMBO,
    UIROLE_PROGRESS,
    UIROLE_LIST,
    UIROLE_LISTITEM,
    UIROLE_COLUMNHEADER,
    UIROLE_MENU,
    UIROLE_MENUITEM,
    UIROLE_SCROLLBAR,
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const { return m_sName; }
    virtual void SetName(LPCTSTR pstrName);
    virtual LPCTSTR GetClass() const;
    // Returns this when the control is of the named kind ("Control", "Label", "Button", ...).
    virtual void* GetInterface(LPCTSTR pstrName);
    virtual UINT GetControlFlags() const;
    // What a click or Enter on the control does; false when it cannot act now.
    virtual bool Activate();
    // How accessibility clients see the control and the controls inside it, in layout order.
    virtual UIROLE GetAccessibleRole() const { return UIROLE_PANE; }
    virtual int GetAccessibleChildCount() const { return 0; }
    virtual CControlUI* GetAccessibleChildAt(int) const { return nullptr; }

    CPaintManagerUI* GetManager() const { return m_pManager; }
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    CControlUI* GetParent() const { return m_pParent; }

    virtual CDuiString GetText() const { return m_sText; }
    virtual void SetText(LPCTSTR pstrText);

    // Background and border (ARGB colours; 0 draws nothing).
    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD dwColor);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD dwColor);
    void SetFocusBorderColor(DWORD dwColor);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int nSize);
    // Per-side border widths; overrides the uniform size where set.
    void SetBorderSides(RECT rc);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE cxyRound);
    CDuiString GetBkImage() const { return m_sBkImage; }
    void SetBkImage(LPCTSTR pstrImage);

    // Position, in client coordinates of the window.
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    // Shifts the control and everything it holds by szOffset without laying anything out
    // again (scrolling, a parent moved as a whole).
    virtual void Move(SIZE szOffset);
    int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
    int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
    // Space kept free around the control inside its parent (left, top, right, bottom).
    RECT GetPadding() const { return m_rcPadding; }
    void SetPadding(RECT rcPadding);
    // Position inside the parent of a floating control.
    SIZE GetFixedXY() const { return m_cXY; }
    void SetFixedXY(SIZE szXY);
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    int GetMinWidth() const { return m_cxyMin.cx; }
    void SetMinWidth(int cx);
    int GetMaxWidth() const { return m_cxyMax.cx; }
    void SetMaxWidth(int cx);
    int GetMinHeight() const { return m_cxyMin.cy; }
    void SetMinHeight(int cy);
    int GetMaxHeight() const { return m_cxyMax.cy; }
    void SetMaxHeight(int cy);
    // The size the control asks its layout for; 0 in a dimension means "stretch".
    virtual SIZE EstimateSize(SIZE szAvailable);

    CDuiString GetToolTip() const { return m_sToolTip; }
    void SetToolTip(LPCTSTR pstrText);

    bool IsContextMenuUsed() const { return m_bMenuUsed; }
    void SetContextMenuUsed(bool bMenuUsed) { m_bMenuUsed = bMenuUsed; }

    const CDuiString& GetUserData() const { return m_sUserData; }
    void SetUserData(LPCTSTR pstrText) { m_sUserData = pstrText; }
    UINT_PTR GetTag() const { return m_pTag; }
    void SetTag(UINT_PTR pTag) { m_pTag = pTag; }

    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool bVisible = true);
    // Visibility imposed by the parent (a hidden tab page hides its children).
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
    virtual void SetMouseEnabled(bool bEnable = true) { m_bMouseEnabled = bEnable; }
    virtual bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    virtual void SetKeyboardEnabled(bool bEnable = true) { m_bKeyboardEnabled = bEnable; }
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool bFloat = true);

    virtual CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags);

    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate();
    void NeedParentUpdate();

    // Called once the control belongs to a window's paint manager.
    virtual void DoInit() {}

    // Entry point of every event; routes events of a disabled or mouse-blind control to the
    // parent where that is what users expect.
    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
    // Applies `name="value" name2="value2"` pairs in order.
    CControlUI* ApplyAttributeList(LPCTSTR pstrList);
    // Applies the named class attribute lists (several names separated by blanks) in order.
    void ApplyClass(LPCTSTR pstrClasses);

    virtual void DoPaint(CRenderContext& ctx, const RECT& rcPaint);
    virtual void PaintBkColor(CRenderContext& ctx);
    virtual void PaintBkImage(CRenderContext& ctx);
    virtual void PaintStatusImage(CRenderContext& ctx);
    virtual void PaintText(CRenderContext& ctx);
    virtual void PaintBorder(CRenderContext& ctx);

    // Draws an image description ("file.png" or "file='a.png' source='..' corner='..'")
    // into the control's rectangle; false when the image cannot be loaded.
    bool DrawImage(CRenderContext& ctx, LPCTSTR pStrImage, LPCTSTR pStrModify = nullptr);

protected:
    // State flags for painting, including UISTATE_DISABLED/FOCUSED from the base state.
    UINT BaseState() const;
    // Fills, or outlines nSize pixels wide, the control's rectangle with its rounded corners.
    void FillShape(CRenderContext& ctx, DWORD dwColor);
    void OutlineShape(CRenderContext& ctx, int nSize, DWORD dwColor);
    // The keyboard-focus ring in the window's focus colour, inside rc with the control's corners.
    void PaintFocusRing(CRenderContext& ctx, const RECT& rc) const;

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sToolTip;
    CDuiString m_sUserData;
    UINT_PTR m_pTag = 0;
    bool m_bUpdateNeeded = true;
    bool m_bMenuUsed = false;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    RECT m_rcItem;
    RECT m_rcPadding;
    SIZE m_cXY;
    SIZE m_cxyFixed;
    SIZE m_cxyMin;
    SIZE m_cxyMax{9999, 9999};
    DWORD m_dwBackColor = 0;
    DWORD m_dwBackColor2 = 0;
    DWORD m_dwDisabledBkColor = 0;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    int m_nBorderSize = 0;
    RECT m_rcBorderSides{-1, -1, -1, -1};
    SIZE m_cxyBorderRound;
    CDuiString m_sBkImage;
};
