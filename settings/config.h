#pragma once

#include <cstdint>
#include <limits>
#include <map>

#include "settings/singleton.h"
#include "netsqlite/types.h"

// What GetIntValue yields for an empty or missing value; callers compare against it.
constexpr int32_t kConfigIntAbsent = std::numeric_limits<int32_t>::min();

// The settings of the client, kept in wlsetting.ini (settings_location.h says where). Every value
// read or written is cached: a key is read from the file at most once per run and written only
// when its value changes, so hand edits made while the client runs are not seen once a key is cached.
// Used from the UI thread only.
class CConfig : public Singleton<CConfig> {
public:
    // ReadOnly: values set are kept for this run but the file is never written (a command-line
    // run must leave the desk's settings as it found them).
    enum class Access { ReadWrite, ReadOnly };

    CConfig();
    // The same settings kept in another file (tests, tools).
    explicit CConfig(tstring settingsPath, Access access = Access::ReadWrite);

    tstring GetValue(const tstring& section, const tstring& key);
    void SetValue(const tstring& section, const tstring& key, const tstring& value);
    int32_t GetIntValue(const tstring& section, const tstring& key);
    void SetIntValue(const tstring& section, const tstring& key, int32_t value);

    const tstring& SettingsPath() const { return m_path; }
    // The file is larger than any settings file: it is neither read nor written this run, and
    // every value starts as its default.
    bool FileTooLarge() const { return m_fileTooLarge; }

private:
    void LoadValue(const tstring& section, const tstring& key);

    tstring m_path;
    Access m_access = Access::ReadWrite;
    bool m_fileTooLarge = false;
    std::map<tstring, std::map<tstring, tstring>> m_cache;
};
