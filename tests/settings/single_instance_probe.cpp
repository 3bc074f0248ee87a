// Test helper: takes the single-instance lock of the given name, says "held" or "refused", and if
// held keeps it until its standard input closes.
#include <unistd.h>

#include <cstdio>

#include "settings/single_instance.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    SingleInstanceHandle handle;
    const bool held = AcquireSingleInstance(handle, argv[1]);
    std::puts(held ? "held" : "refused");
    std::fflush(stdout);
    if (!held) return 3;
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return 0;
}
