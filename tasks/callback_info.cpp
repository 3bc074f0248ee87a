#include "tasks/callback_info.h"

#include <memory>

void PostTaskCompletion(HWND target, const CallBackInfo& record) {
    CallBackInfo* posted = new CallBackInfo(record);
    const bool queued =
        IsWindow(target) && PostMessage(target, WM_TASK_COMPLETE, reinterpret_cast<WPARAM>(posted),
                                        0, [posted] { delete posted; });
    if (!queued) {
        delete posted;
    }
}

LRESULT RunTaskCompletion(WPARAM wParam) {
    std::unique_ptr<CallBackInfo> record(reinterpret_cast<CallBackInfo*>(wParam));
    record->completion();
    return 0;
}
