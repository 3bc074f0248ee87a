#pragma once

#include <string>

namespace testsupport {

struct CommandResult {
    int status;  // the exit status, -1 when the command did not exit by itself
    std::string output;  // standard output and standard error together
};

// Runs `command` through the shell and waits for it.
CommandResult RunCommand(const std::string& command);

}  // namespace testsupport
