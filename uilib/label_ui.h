#pragma once
// CLabelUI: text in a font and colour; CTextUI: wrapped, marked-up text.
#include "uilib/control_ui.h"

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_LABEL; }

    // An auto-width or wrapped label asks for a new layout when its text changes.
    void SetText(LPCTSTR pstrText) override;
    void SetTextStyle(UINT uStyle);
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextColor(DWORD dwTextColor);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetDisabledTextColor(DWORD dwTextColor);
    void SetFont(int index);
    int GetFont() const { return m_iFont; }
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc);
    // Text with the small markup of CRenderEngine::DrawHtmlText ("<x 25>编辑").
    bool IsShowHtml() const { return m_bShowHtml; }
    void SetShowHtml(bool bShowHtml = true);
    // Width follows the text (plus padding) instead of stretching.
    void SetAutoCalcWidth(bool bAuto);

    SIZE EstimateSize(SIZE szAvailable) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintText(CRenderContext& ctx) override;

protected:
    // The colour the text is drawn with in the current state.
    virtual DWORD CurrentTextColor() const;
    void DrawTextIn(CRenderContext& ctx, const RECT& rc, LPCTSTR text, DWORD color);

    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle;
    RECT m_rcTextPadding;
    bool m_bShowHtml = false;
    bool m_bAutoCalcWidth = false;
};

class CTextUI : public CLabelUI {
public:
    CTextUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};
