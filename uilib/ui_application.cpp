#include "uilib/ui_application.h"

#include <QApplication>
#include <QEventLoop>
#include <algorithm>
#include <optional>
#include <vector>

#include "uilib/internal/event_loops.h"

namespace {

struct LoopState {
    std::vector<QEventLoop*> running;
    std::optional<int> pendingQuit;
};

LoopState& loops() {
    static LoopState state;
    return state;
}

}  // namespace

void UiEnsureApplication() {
    if (QCoreApplication::instance()) return;
    // Qt keeps references to argc and argv for the application's whole life.
    static int argc = 1;
    static char name[] = "ledgerdesk";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv);
    // Windows close and hide all the time (login, message boxes); only a quit message ends.
    app->setQuitOnLastWindowClosed(false);
}

void PostQuitMessage(int nExitCode) {
    LoopState& state = loops();
    if (state.running.empty()) {
        state.pendingQuit = nExitCode;
        return;
    }
    for (QEventLoop* loop : state.running) loop->exit(nExitCode);
}

namespace uilib_detail {

int RunQuittableLoop(QEventLoop& loop) {
    LoopState& state = loops();
    if (state.pendingQuit) {
        int code = *state.pendingQuit;
        state.pendingQuit.reset();
        return code;
    }
    state.running.push_back(&loop);
    int code = loop.exec(QEventLoop::DialogExec);
    state.running.erase(std::find(state.running.begin(), state.running.end(), &loop));
    return code;
}

}  // namespace uilib_detail
