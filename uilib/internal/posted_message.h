#pragma once
#include <QEvent>
#include <functional>

#include "uilib/ui_types.h"

namespace uilib_detail {

// A window message travelling through Qt's event queue. If Qt deletes it undelivered (its
// window was destroyed first), the destructor runs the sender's drop handler.
// Qt's event queue hands a message to the window's thread under a lock that ThreadSanitizer
// cannot see; the receiving thread takes every event through this before reading it.
void TakeEventFromPoster(const QEvent* e);

class PostedMessage : public QEvent {
public:
    PostedMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, std::function<void()> onDropped);
    ~PostedMessage() override;

    static QEvent::Type eventType();

    UINT message() const { return m_uMsg; }
    WPARAM wParam() const { return m_wParam; }
    LPARAM lParam() const { return m_lParam; }
    void markDelivered() { m_onDropped = nullptr; }

private:
    UINT m_uMsg;
    WPARAM m_wParam;
    LPARAM m_lParam;
    std::function<void()> m_onDropped;
};

}  // namespace uilib_detail
