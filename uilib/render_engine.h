#pragma once
// Drawing for controls. A CRenderContext is the painter of one paint pass; controls receive it
// in DoPaint and hand it to these functions.
#include "uilib/dui_string.h"

class CPaintManagerUI;
class CRenderContext;

// Text styles (DrawText uStyle).
enum : UINT {
    DT_TOP = 0x0000,
    DT_LEFT = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_BOTTOM = 0x0008,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_NOPREFIX = 0x0800,
    DT_END_ELLIPSIS = 0x8000,
};

class CRenderEngine {
public:
    static void DrawColor(CRenderContext& ctx, const RECT& rc, DWORD color);
    static void DrawGradient(CRenderContext& ctx, const RECT& rc, DWORD dwFirst, DWORD dwSecond,
                             bool bVertical);
    static void DrawLine(CRenderContext& ctx, POINT from, POINT to, int nSize, DWORD color);
    static void DrawRect(CRenderContext& ctx, const RECT& rc, int nSize, DWORD color);
    // The keyboard-focus ring: 2 pixels of the focus colour just inside rc (with the control's
    // rounded corners), lined inside with white so it also shows on a fill of that colour.
    static void DrawFocusRing(CRenderContext& ctx, const RECT& rc, SIZE round, DWORD color);
    static void DrawRoundRect(CRenderContext& ctx, const RECT& rc, int nSize, int width, int height,
                              DWORD color);
    static void FillRoundRect(CRenderContext& ctx, const RECT& rc, int width, int height,
                              DWORD color);
    static void FillEllipse(CRenderContext& ctx, const RECT& rc, DWORD color);
    // A small check mark or arrow glyph used by options, combos and sortable headers.
    enum Glyph { GLYPH_CHECK, GLYPH_ARROW_DOWN, GLYPH_ARROW_UP, GLYPH_ARROW_RIGHT, GLYPH_CROSS };
    static void DrawGlyph(CRenderContext& ctx, const RECT& rc, Glyph glyph, DWORD color,
                          int nSize = 2);

    // Plain text in font iFont of the manager (-1: default font).
    static void DrawText(CRenderContext& ctx, CPaintManagerUI* pManager, const RECT& rc,
                         LPCTSTR pstrText, DWORD dwTextColor, int iFont, UINT uStyle);
    // Text with the small markup of labels and menus: <b>..</b> <i>..</i> <u>..</u>
    // <c #AARRGGBB>..</c> <f n>..</f> <x n> (n pixels of space) <n> (line break).
    static void DrawHtmlText(CRenderContext& ctx, CPaintManagerUI* pManager, const RECT& rc,
                             LPCTSTR pstrText, DWORD dwTextColor, int iFont, UINT uStyle);
    static SIZE GetTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, UINT uStyle,
                            int maxWidth = 0);
    static SIZE GetHtmlTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont,
                                int maxWidth = 0);
    // The text of marked-up text without its tags (<n> becomes a line feed), as a screen reader
    // reads it.
    static CDuiString GetPlainText(LPCTSTR pstrText);
    // Character index (in characters, not bytes) of the text position nearest to x.
    static int HitTestText(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, int x);

    // Image description: "file.png" or "file='a.png' source='l,t,r,b' corner='l,t,r,b'
    // dest='l,t,r,b' fade='0..255'"; rcItem is where dest is measured from.
    static bool DrawImageString(CRenderContext& ctx, CPaintManagerUI* pManager, const RECT& rcItem,
                                LPCTSTR pStrImage, LPCTSTR pStrModify = nullptr);
};

// Limits painting to a rectangle (optionally rounded) while it lives.
class CRenderClip {
public:
    CRenderClip(CRenderContext& ctx, const RECT& rc, int roundX = 0, int roundY = 0);
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

private:
    CRenderContext& m_ctx;
};

// Colour helpers: "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB".
DWORD ParseColor(LPCTSTR pstrValue);
RECT ParseRect(LPCTSTR pstrValue);
SIZE ParseSize(LPCTSTR pstrValue);
bool ParseBool(LPCTSTR pstrValue);
RECT IntersectRects(const RECT& a, const RECT& b);
