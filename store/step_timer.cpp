#include "store/step_timer.h"

#include <chrono>
#include <iostream>

namespace {

std::chrono::steady_clock::time_point g_step_start;
std::ostream* g_output = &std::cout;

}  // namespace

void StepTimer::start() {
    g_step_start = std::chrono::steady_clock::now();
}

void StepTimer::end(const char* label) {
    if (!g_output) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - g_step_start);
    *g_output << label << "==" << elapsed.count() << " ms\n\r";
}

void StepTimer::set_output(std::ostream* out) {
    g_output = out;
}
