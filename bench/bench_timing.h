#pragma once
// Timing and reporting shared by the benchmarks: the two sides run alternately and the report
// gives medians and the spread of the per-round ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace benchtiming {

// A benchmark whose set-up fails has nothing to measure: say what failed and end.
inline void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
}

inline double MillisOf(const std::function<void()>& fn) {
    auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// `other` names the second side: "floor", or "peer" for a program that is no lower bound.
inline void Report(const char* name, const std::vector<double>& project,
                   const std::vector<double>& floor, const char* other = "floor") {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < project.size(); ++i) ratios.push_back(project[i] / floor[i]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("%s: project %.2f ms, %s %.2f ms, ratio %.2f (spread %.2f-%.2f)\n", name,
                Median(project), other, Median(floor), Median(ratios), ratios.front(),
                ratios.back());
}

// Times the project and its floor in turn, `repeats` times, each side first in every other
// repeat, so that the machine's moods fall on both. Each side returns its own time in ms (set-up
// outside it). Reports as Report does and returns the project's median.
inline double CompareInterleaved(const char* name, int repeats,
                                 const std::function<double()>& project,
                                 const std::function<double()>& floor,
                                 const char* other = "floor") {
    std::vector<double> projectMs, floorMs;
    for (int r = 0; r < repeats; ++r) {
        if (r % 2 == 0) {
            projectMs.push_back(project());
            floorMs.push_back(floor());
        } else {
            floorMs.push_back(floor());
            projectMs.push_back(project());
        }
    }
    Report(name, projectMs, floorMs, other);
    return Median(projectMs);
}

}  // namespace benchtiming
