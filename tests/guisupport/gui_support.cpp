#include "tests/guisupport/gui_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdlib>

#include "uilib/ui_application.h"

namespace guisupport {

void EnsureApplication() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    UiEnsureApplication();
}

void ProcessMessages() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

}  // namespace guisupport
