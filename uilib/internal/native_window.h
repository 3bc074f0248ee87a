#pragma once
#include <QWidget>

#include "uilib/ui_types.h"

class CWindowWnd;
class CPaintManagerUI;

namespace uilib_detail {

// The Qt side of a CWindowWnd: turns Qt's input, size and visibility events into window
// messages for the owner's procedure, and paints through the attached paint manager. The owner
// may destroy the window from inside one of its own events, so deletion waits until Qt has
// left them.
class NativeWindow : public QWidget {
public:
    NativeWindow(CWindowWnd* owner, Qt::WindowFlags flags);
    ~NativeWindow() override;

    CWindowWnd* owner() const { return m_owner; }
    void detachOwner() { m_owner = nullptr; }
    void destroySafely();

    CPaintManagerUI* paintManager() const { return m_manager; }
    void setPaintManager(CPaintManagerUI* manager) { m_manager = manager; }

    // The window was shown to take the keyboard: once it is on screen, make sure it has.
    void setActivateWhenShown(bool activate) { m_activateWhenShown = activate; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    LRESULT send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    void sendSize();
    bool deliverPostedMessage(QEvent* e);
    bool showToolTip(QEvent* e);
    void completeActivation();

    CWindowWnd* m_owner;
    CPaintManagerUI* m_manager = nullptr;
    int m_eventDepth = 0;
    bool m_deleteWhenIdle = false;
    bool m_activateWhenShown = false;
};

NativeWindow* NativeFromHandle(HWND hWnd);

// Qt key to virtual key (0 for keys the library has no code for), and modifiers to MK_ flags.
UINT VirtualKeyOf(int qtKey);
UINT KeyStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

}  // namespace uilib_detail
