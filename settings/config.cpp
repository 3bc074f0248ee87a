#include "settings/config.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "settings/ini_file.h"
#include "settings/settings_location.h"

namespace {

// Leading blanks, an optional sign, then digits up to the first non-digit; no number reads as 0.
int32_t DecimalValue(const tstring& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

CConfig::CConfig() : CConfig(SettingsFilePath(CurrentSettingsPlaces())) {}

CConfig::CConfig(tstring settingsPath, Access access) : m_access(access) {
    Register(this);
    m_path = std::move(settingsPath);
    m_fileTooLarge = ini::IsTooLarge(m_path);
    const std::pair<const char*, const char*> preloaded[] = {
        {"Db", "Name"},         {"Db", "UserName"},     {"Db", "Password"},
        {"Import", "FilePath"}, {"Import", "AutoStep"}, {"Export", "FilePath"},
    };
    for (const auto& [section, key] : preloaded) LoadValue(section, key);
}

void CConfig::LoadValue(const tstring& section, const tstring& key) {
    m_cache[section][key] = ini::ReadProfileString(m_path, section, key);
}

tstring CConfig::GetValue(const tstring& section, const tstring& key) {
    const auto keys = m_cache.find(section);
    if (keys != m_cache.end()) {
        const auto value = keys->second.find(key);
        if (value != keys->second.end()) return value->second;
    }
    LoadValue(section, key);
    return m_cache[section][key];
}

// Only the cache is compared, so the file is touched only for a change made in this run; a key
// never read counts as "". A failed write is not reported: the cache keeps the value regardless.
void CConfig::SetValue(const tstring& section, const tstring& key, const tstring& value) {
    tstring& cached = m_cache[section][key];
    if (cached == value) return;
    cached = value;
    if (m_access == Access::ReadWrite) ini::WriteProfileString(m_path, section, key, value);
}

int32_t CConfig::GetIntValue(const tstring& section, const tstring& key) {
    const tstring text = GetValue(section, key);
    return text.empty() ? kConfigIntAbsent : DecimalValue(text);
}

void CConfig::SetIntValue(const tstring& section, const tstring& key, int32_t value) {
    SetValue(section, key, std::to_string(value));
}
