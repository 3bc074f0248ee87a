#pragma once
// CButtonUI ("click"), COptionUI (check boxes, radio groups, tab buttons), CProgressUI.
#include "uilib/label_ui.h"

// Attributes beyond the label's: normalimage hotimage pushedimage focusedimage disabledimage,
// hotbkcolor pushedbkcolor hottextcolor pushedtextcolor hotbordercolor, default (Enter presses it).
class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_BUTTON; }
    UINT GetControlFlags() const override;
    // Sends "click"; false when the button is hidden or disabled.
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    bool IsDefault() const { return m_bDefault; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(CRenderContext& ctx) override;
    void PaintStatusImage(CRenderContext& ctx) override;
    void PaintBorder(CRenderContext& ctx) override;

protected:
    DWORD CurrentTextColor() const override;
    bool IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }
    bool IsPushed() const { return (m_uButtonState & UISTATE_PUSHED) != 0; }

    UINT m_uButtonState = 0;
    bool m_bDefault = false;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwPushedBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwHotBorderColor = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sFocusedImage;
    CDuiString m_sDisabledImage;
};

// A click selects it ("selectchanged" when the state changed), then "click" and "option_click"
// follow, all seeing the new state. Options of one group (attribute group) exclude each other;
// "selectchanged" of a group goes out only for the option that became selected.
// checkstyle="box" draws a check box, "radio" a radio dot, "none" (default) relies on colours and
// images (selectedimage, selectedbkcolor, selectedtextcolor, selectedhotbkcolor).
class COptionUI : public CButtonUI {
public:
    enum CheckStyle { CHECK_NONE, CHECK_BOX, CHECK_RADIO };

    ~COptionUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    // Options of a group exclude each other like radio buttons, whatever they look like.
    UIROLE GetAccessibleRole() const override;
    // Space toggles a focused option; Enter still presses the dialog's default button.
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;

    CDuiString GetGroup() const { return m_sGroupName; }
    void SetGroup(LPCTSTR pStrGroupName);
    bool IsSelected() const { return m_bSelected; }
    virtual void Selected(bool bSelected, bool bTriggerEvent = true);
    void SetCheckStyle(CheckStyle style);

    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(CRenderContext& ctx) override;
    void PaintStatusImage(CRenderContext& ctx) override;
    void PaintText(CRenderContext& ctx) override;

protected:
    DWORD CurrentTextColor() const override;

    bool m_bSelected = false;
    CDuiString m_sGroupName;
    CheckStyle m_checkStyle = CHECK_NONE;
    DWORD m_dwSelectedBkColor = 0;
    DWORD m_dwSelectedHotBkColor = 0;
    DWORD m_dwSelectedTextColor = 0;
    DWORD m_dwCheckColor = 0xFF2D8CF0;
    CDuiString m_sSelectedImage;
    CDuiString m_sSelectedHotImage;
};

class CCheckBoxUI : public COptionUI {
public:
    CCheckBoxUI() { m_checkStyle = CHECK_BOX; }
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

// Attributes: min, max, value, forecolor, foreimage, showtext (the percentage in the middle).
class CProgressUI : public CLabelUI {
public:
    CProgressUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_PROGRESS; }

    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int nMin);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int nMax);
    int GetValue() const { return m_nValue; }
    // Kept within [min, max].
    void SetValue(int nValue);

    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(CRenderContext& ctx) override;
    void PaintText(CRenderContext& ctx) override;

private:
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    bool m_bShowText = false;
    DWORD m_dwForeColor = 0xFF2D8CF0;
    CDuiString m_sForeImage;
};
