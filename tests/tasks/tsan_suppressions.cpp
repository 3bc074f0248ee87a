#if defined(__SANITIZE_THREAD__)
// The window library hands a posted message from the worker to the UI thread through Qt's event
// queue, whose locking ThreadSanitizer cannot see (Qt is not instrumented). Only races on the
// posted message object itself are silenced; the task framework orders its own data explicitly.
extern "C" const char* __tsan_default_suppressions() {
    return "race:uilib_detail::PostedMessage\nrace:uilib/window_messages.cpp\n";
}
#endif
