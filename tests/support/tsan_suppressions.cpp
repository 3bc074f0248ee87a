#if defined(__SANITIZE_THREAD__)
// Races ThreadSanitizer reports in code it cannot see into; every test executable links this.
// - libzmq is not instrumented: its lock-free queues to ZeroMQ's I/O thread look like races.
// - Qt is not instrumented: a message posted to a window crosses threads through Qt's locked
//   event queue, so only the posted message object itself is silenced.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libzmq.so\n"
           "race:uilib_detail::PostedMessage\n"
           "race:uilib/window_messages.cpp\n";
}
#endif
