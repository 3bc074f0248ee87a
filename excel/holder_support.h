#pragma once
// What both workbook holders share: the neutral result on any failure, and the settings.

#include <exception>

#include "settings/config.h"

namespace excel_detail {

// The result of work, or the fallback when it throws: the pages never see an exception.
template <class T, class Work>
T Guarded(T fallback, Work&& work) {
    try {
        return work();
    } catch (const std::exception&) {
        return fallback;
    }
}

inline tstring ReadSetting(const tstring& section, const tstring& key) {
    CConfig* config = CConfig::Instance();
    return config ? config->GetValue(section, key) : tstring();
}

inline void WriteSetting(const tstring& section, const tstring& key, const tstring& value) {
    if (CConfig* config = CConfig::Instance()) config->SetValue(section, key, value);
}

}  // namespace excel_detail
