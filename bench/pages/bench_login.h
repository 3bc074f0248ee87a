#pragma once
// The page benchmarks' client: the log-in dialog filled in as the operator and confirmed, and
// message boxes that end a benchmark, whose measurement a box would spoil.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/application.h"
#include "app/dlg_login.h"
#include "app/main_wnd.h"
#include "bench/bench_timing.h"
#include "tests/guisupport/gui_support.h"
#include "uilib/message_box.h"

namespace benchtiming {

// Returns once the main window is shown; the settings (the Db section) must be loaded.
inline std::unique_ptr<CDlgLogin> LogInAsOperator(int waitMs) {
    std::unique_ptr<CDlgLogin> login = ShowLoginDialog("LedgerDesk");
    Require(login != nullptr, "login dialog");
    login->FindControl("edit_user_name")->SetText("admin");
    login->FindControl("edit_user_pass")->SetText("admin123");
    login->GetPaintManager().UpdateLayout();
    guisupport::Click(login->GetHWND(), guisupport::CenterOf(login->FindControl("ok")->GetPos()));
    Require(guisupport::ProcessMessagesUntil(
                [&] { return login->GetMainWnd() && login->GetMainWnd()->IsVisible(); }, waitMs),
            "log-in");
    return login;
}

inline void EndOnMessageBox() {
    UISetMessageBoxHook([](const CDuiString& text, UINT) {
        std::fprintf(stderr, "unexpected message box: %s\n", text.GetData());
        std::exit(1);
        return 1;
    });
}

}  // namespace benchtiming
