#pragma once

#include <iosfwd>

#include "netsqlite/types.h"

// Times the steps of the bulk import one at a time and prints "<label>==<ms> ms\n\r" per step.
// One start value for the process: only the database worker thread may use it.
class StepTimer {
public:
    static void start();
    static void end(const char* label);
    // Where the lines go (standard output by default); null prints nothing.
    static void set_output(std::ostream* out);
};

template <typename Step>
ret_t timed(const char* label, Step&& step) {
    StepTimer::start();
    const ret_t result = step();
    StepTimer::end(label);
    return result;
}
