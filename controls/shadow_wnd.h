#pragma once
// CShadowWnd: a soft drop shadow around a frameless window. It is a separate click-through,
// translucent window that follows its host's position, size, visibility and end, stays behind
// its host, is no window of the taskbar or window lists, and goes when the desktop stops
// composing translucent windows.
#include "uilib/dialog_wnd.h"

// The shadow's layout ("wndshadow.xml") gives its root an inset: how far the shadow reaches
// beyond each edge of the host. The middle of the shadow is left empty, so the shadow may lie
// above or below the host without covering it.
class CShadowWnd : public CDialogWnd, private IMessageFilterUI {
public:
    CShadowWnd() = default;
    ~CShadowWnd() override;

    // Creates the shadow and follows pHost from now on. False, with no shadow, when the shadow
    // cannot be built or the desktop cannot show translucent windows.
    // A shadow serves one host for its whole life.
    bool Attach(CDialogWnd* pHost);
    bool IsAttached() const { return m_pHost != nullptr; }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    // Sees the host's messages before the host's controls do; never consumes them.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    void OnHostSize(WPARAM wParam);
    void OnHostShow(bool bShow);
    void Detach();
    void FollowPosition();
    void Relayout();
    void ShowShadow();
    RECT Insets() const;

    CDialogWnd* m_pHost = nullptr;
    HWND m_hHost = nullptr;
    bool m_bRelayoutDue = false;
    SIZE m_szLast;
};
