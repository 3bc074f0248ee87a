#include "tasks/callback_info.h"

#include <memory>

namespace {

std::unique_ptr<CallBackInfo> TakeRecord(CallBackInfo* record) {
    record->published.load(std::memory_order_acquire);
    return std::unique_ptr<CallBackInfo>(record);
}

}  // namespace

void PostTaskCompletion(HWND target, const boost::function<void()>& completion,
                        const TaskContext& context) {
    CallBackInfo* record = new CallBackInfo(completion, context);
    record->published.store(true, std::memory_order_release);
    const bool queued =
        IsWindow(target) && PostMessage(target, WM_TASK_COMPLETE, reinterpret_cast<WPARAM>(record),
                                        0, [record] { TakeRecord(record); });
    if (!queued) {
        delete record;
    }
}

LRESULT RunTaskCompletion(WPARAM wParam) {
    const std::unique_ptr<CallBackInfo> record =
        TakeRecord(reinterpret_cast<CallBackInfo*>(wParam));
    record->completion();
    return 0;
}
