#pragma once
// How the cases of parameterised suites show in test names and failure messages.
#include <ostream>
#include <string>

namespace testcases {

// The first member of a case: the case prints as its name, and kCaseName names the test after it.
struct NamedCase {
    const char* name;
    friend std::ostream& operator<<(std::ostream& os, const NamedCase& c) { return os << c.name; }
};

inline constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace testcases
