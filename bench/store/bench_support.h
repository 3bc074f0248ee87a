#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "store/store.h"
#include "tests/store/stalling_proxy.h"
#include "tests/support/test_service.h"

inline void require(const ret_t& result, const char* what) {
    if (result.ok) return;
    std::fprintf(stderr, "%s failed with code %d\n", what, result.code);
    std::exit(1);
}

// Opens the service at `endpoint` and loads the data types, as the client does after login.
inline void connect(DbConnection& db, const testsupport::TestService& svc,
                    const tstring& endpoint) {
    require(db.open(endpoint, svc.user(), svc.password()), "open");
    DataTypeDictionary::data_info_map info;
    require(load_data_type_info(db, info), "load_data_type_info");
    DataTypeDictionary::data_value_map values;
    require(load_common_data(db, values), "load_common_data");
}

template <typename Work>
double elapsed_ms(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Times the project and its floor in turn, `repeats` times, each side first in every other
// repeat, so that the machine's moods fall on both. Each function returns its own time in ms
// (set-up outside it). Prints the medians and the median of the per-repeat ratios with their
// spread: "name: project X ms, floor Y ms, ratio Z (min-max over n repeats)"; returns the
// project's median.
inline double compare_interleaved(const char* name, int repeats,
                                  const std::function<double()>& project,
                                  const std::function<double()>& floor) {
    std::vector<double> project_ms, floor_ms, ratios;
    for (int r = 0; r < repeats; ++r) {
        double p = 0, f = 0;
        if (r % 2 == 0) {
            p = project();
            f = floor();
        } else {
            f = floor();
            p = project();
        }
        project_ms.push_back(p);
        floor_ms.push_back(f);
        ratios.push_back(p / f);
    }
    std::printf("%s: project %.1f ms, floor %.1f ms, ratio %.2f (%.2f-%.2f over %d repeats)\n",
                name, median(project_ms), median(floor_ms), median(ratios),
                *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), repeats);
    return median(project_ms);
}
