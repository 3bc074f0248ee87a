#include "controls/date_time_value.h"

#include <cstdio>
#include <cstring>

namespace {

// 1 January 3000, 00:00 UTC: later moments are not shown.
const std::int64_t kLatestTime = 32503680000LL;

struct ModeForm {
    const char* write;
    const char* read;
    int fields;
    int limit;
};

const ModeForm kForms[] = {
    {"%d-%02d-%02d %02d:%02d:%02d", "%d-%d-%d %d:%d:%d", 6, 19},
    {"%d-%02d-%02d", "%d-%d-%d", 3, 10},
    {"%02d:%02d:%02d", "%d:%d:%d", 3, 8},
};

const ModeForm& FormOf(DateTimeMode mode) {
    return kForms[mode];
}

}  // namespace

DateTimeValue DateTimeNow() {
    std::time_t now = std::time(nullptr);
    DateTimeValue value;
    if (localtime_r(&now, &value.tm)) value.time = now;
    return value;
}

DateTimeValue DateTimeFromFields(std::tm tm) {
    tm.tm_isdst = -1;
    DateTimeValue value;
    value.time = std::mktime(&tm);
    value.tm = tm;
    return value;
}

bool IsValidDateTime(const DateTimeValue& value) {
    return value.time != -1 && value.time <= kLatestTime;
}

int DateTimeTextLimit(DateTimeMode mode) {
    return FormOf(mode).limit;
}

std::string FormatDateTime(const DateTimeValue& value, DateTimeMode mode) {
    if (!IsValidDateTime(value)) return std::string();
    const std::tm& t = value.tm;
    char text[64];
    if (mode == kTimeOnly)
        std::snprintf(text, sizeof text, FormOf(mode).write, t.tm_hour, t.tm_min, t.tm_sec);
    else
        std::snprintf(text, sizeof text, FormOf(mode).write, t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

bool ParseDateTime(const char* text, DateTimeMode mode, DateTimeValue* value) {
    const ModeForm& form = FormOf(mode);
    if (!text || static_cast<int>(std::strlen(text)) > form.limit) return false;
    std::tm tm = DateTimeNow().tm;
    int read = 0;
    if (mode == kTimeOnly) {
        read = std::sscanf(text, form.read, &tm.tm_hour, &tm.tm_min, &tm.tm_sec);
    } else {
        tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
        read = std::sscanf(text, form.read, &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                           &tm.tm_min, &tm.tm_sec);
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
    }
    if (read != form.fields) return false;
    DateTimeValue parsed = DateTimeFromFields(tm);
    if (!IsValidDateTime(parsed)) return false;
    *value = parsed;
    return true;
}
