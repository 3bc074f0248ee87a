#pragma once

#include <cstdio>
#include <cstdlib>

#include "bench/bench_timing.h"
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
