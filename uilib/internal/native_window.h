#pragma once
#include <QWidget>

#include "uilib/ui_types.h"

class CWindowWnd;
class CPaintManagerUI;

namespace uilib_detail {

// The Qt side of a CWindowWnd: receives posted messages and input for its owner. The owner may
// destroy the window from inside one of its own events, so deletion waits until Qt has left them.
class NativeWindow : public QWidget {
public:
    NativeWindow(CWindowWnd* owner, Qt::WindowFlags flags);
    ~NativeWindow() override;

    CWindowWnd* owner() const { return m_owner; }
    void detachOwner() { m_owner = nullptr; }
    void destroySafely();

    CPaintManagerUI* paintManager() const { return m_manager; }
    void setPaintManager(CPaintManagerUI* manager) { m_manager = manager; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool deliverPostedMessage(QEvent* e);

    CWindowWnd* m_owner;
    CPaintManagerUI* m_manager = nullptr;
    int m_eventDepth = 0;
    bool m_deleteWhenIdle = false;
};

NativeWindow* NativeFromHandle(HWND hWnd);

}  // namespace uilib_detail
