#include "uilib/ui_application.h"

#include <QApplication>

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
    if (QCoreApplication::instance()) QCoreApplication::exit(nExitCode);
}
