#include "uilib/window_messages.h"

#include <QCoreApplication>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "uilib/internal/posted_message.h"
#include "uilib/internal/window_registry.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace uilib_detail {
namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<HWND, QObject*> windows;
    std::uintptr_t lastId = 0;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// Everything the poster wrote into the message happens before what the receiver reads of it.
void HandOverToReceiver(const QEvent* e) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QEvent*>(e));
#else
    (void)e;
#endif
}

}  // namespace

void TakeEventFromPoster(const QEvent* e) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(e));
#else
    (void)e;
#endif
}

PostedMessage::PostedMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                             std::function<void()> onDropped)
    : QEvent(eventType()),
      m_uMsg(uMsg),
      m_wParam(wParam),
      m_lParam(lParam),
      m_onDropped(std::move(onDropped)) {}

PostedMessage::~PostedMessage() {
    TakeEventFromPoster(this);  // an undelivered message is freed without passing the window
    if (m_onDropped) m_onDropped();
}

QEvent::Type PostedMessage::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

HWND RegisterWindow(QObject* receiver) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    // Handles count up and are never reused, so an old handle cannot name a new window.
    HWND hWnd = reinterpret_cast<HWND>(++r.lastId);
    r.windows.emplace(hWnd, receiver);
    return hWnd;
}

void UnregisterWindow(HWND hWnd) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.windows.erase(hWnd);
}

QObject* FindWindowObject(HWND hWnd) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.windows.find(hWnd);
    return it == r.windows.end() ? nullptr : it->second;
}

}  // namespace uilib_detail

bool IsWindow(HWND hWnd) {
    return hWnd != nullptr && uilib_detail::FindWindowObject(hWnd);
}

bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                 std::function<void()> onDropped) {
    using namespace uilib_detail;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.windows.find(hWnd);
    if (it == r.windows.end()) return false;
    auto* message = new PostedMessage(uMsg, wParam, lParam, std::move(onDropped));
    HandOverToReceiver(message);
    QCoreApplication::postEvent(it->second, message);
    return true;
}
