#include "excel/excel_dates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr long long kSecondsPerDay = 86400;
// Days from 1970-01-01 back to the serial origin 1899-12-30.
constexpr long long kSerialOriginDays = -25569;
constexpr std::time_t kLastTime = 32535215999;  // 3000-12-31 23:59:59 UTC

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's civil algorithms).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(year_of_era + era * 400 + (month <= 2));
}

bool IsValidDate(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1) return false;
    int y = 0, m = 0, d = 0;
    CivilFromDays(DaysFromCivil(year, month, day), y, m, d);
    return y == year && m == month && d == day;
}

bool IsValidTime(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

struct LocalClock {
    long offset;  // seconds east of UTC
    bool daylight_saving;
};

LocalClock LocalClockAt(std::time_t time) {
    std::tm fields{};
    localtime_r(&time, &fields);
    return {fields.tm_gmtoff, fields.tm_isdst > 0};
}

// The moment local clocks show `wall` (a local date and time counted in seconds as if it were
// UTC), as mktime with tm_isdst -1 finds it but without mktime's reload of the time zone on every
// call. A time shown twice is taken the first time; for a time skipped by a change of offset,
// mktime's choice is kept: the reading in daylight saving time, else the offset from before.
std::time_t TimeFromLocalWall(long long wall) {
    // Offsets stay within a day of UTC, so only those a day either side can apply.
    const long before = LocalClockAt(wall - kSecondsPerDay).offset;
    const long after = LocalClockAt(wall + kSecondsPerDay).offset;
    const std::time_t by_before = wall - before;
    const std::time_t by_after = wall - after;
    const LocalClock at_by_before = LocalClockAt(by_before);
    const LocalClock at_by_after = LocalClockAt(by_after);
    const bool before_fits = at_by_before.offset == before;
    const bool after_fits = at_by_after.offset == after;
    if (before_fits && after_fits) return std::min(by_before, by_after);
    if (before_fits || after_fits) return before_fits ? by_before : by_after;
    return at_by_after.daylight_saving && !at_by_before.daylight_saving ? by_after : by_before;
}

}  // namespace

double SerialFromDateTime(int year, int month, int day, int hour, int minute, int second) {
    const long long days = DaysFromCivil(year, month, day) - kSerialOriginDays;
    return static_cast<double>(days) +
           static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

namespace {

// "2024年3月15日" as "2024-3-15": the written Chinese form of a date, as a Chinese system reads it.
tstring WithoutChineseDateMarks(const tstring& text) {
    const tstring year = "年", month = "月", day = "日";
    const std::size_t y = text.find(year);
    const std::size_t m = y == tstring::npos ? y : text.find(month, y);
    const std::size_t d = m == tstring::npos ? m : text.find(day, m);
    if (d == tstring::npos) return text;
    return text.substr(0, y) + "-" + text.substr(y + year.size(), m - y - year.size()) + "-" +
           text.substr(m + month.size(), d - m - month.size()) + text.substr(d + day.size());
}

// Reads `count` digits at `s`.
bool ReadDigits(const char* s, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// The form the store keeps dates in, "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS", read without
// sscanf, which took a fifth of the time an export spent writing its cells.
bool SerialFromStoredForm(const tstring& text, double& serial) {
    const char* s = text.c_str();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const bool date = (text.size() == 10 || text.size() == 19) && ReadDigits(s, 4, year) &&
                      s[4] == '-' && ReadDigits(s + 5, 2, month) && s[7] == '-' &&
                      ReadDigits(s + 8, 2, day);
    const bool time = text.size() == 10 ||
                      (s[10] == ' ' && ReadDigits(s + 11, 2, hour) && s[13] == ':' &&
                       ReadDigits(s + 14, 2, minute) && s[16] == ':' && ReadDigits(s + 17, 2, second));
    if (!date || !time || !IsValidDate(year, month, day) || !IsValidTime(hour, minute, second))
        return false;
    serial = SerialFromDateTime(year, month, day, hour, minute, second);
    return true;
}

}  // namespace

bool SerialFromDateText(const tstring& given, double& serial) {
    if (SerialFromStoredForm(given, serial)) return true;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    const tstring text = WithoutChineseDateMarks(given);
    const char* s = text.c_str();
    char sep1 = 0, sep2 = 0;
    if (std::sscanf(s, "%4d%c%2d%c%2d%n", &year, &sep1, &month, &sep2, &day, &used) == 5 &&
        sep1 == sep2 && (sep1 == '-' || sep1 == '/' || sep1 == '.')) {
        s += used;
        if (*s == ' ' && std::sscanf(s, " %2d:%2d%n", &hour, &minute, &used) == 2) {
            s += used;
            if (*s == ':' && std::sscanf(s, ":%2d%n", &second, &used) == 1) s += used;
        }
        if (*s || !IsValidDate(year, month, day) || !IsValidTime(hour, minute, second))
            return false;
        serial = SerialFromDateTime(year, month, day, hour, minute, second);
        return true;
    }
    if (std::sscanf(s, "%2d:%2d:%2d%n", &hour, &minute, &second, &used) == 3 && !s[used] &&
        IsValidTime(hour, minute, second)) {
        serial = static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
        return true;
    }
    return false;
}

bool TimeFromSerial(double serial, std::time_t& time) {
    // Far beyond either end, so the conversion to seconds below cannot overflow.
    constexpr double kFarSerial = 1e7;
    if (std::isnan(serial) || serial > kFarSerial) return false;
    if (serial < -kFarSerial) {
        time = 0;
        return true;
    }
    // The automation conversion rounds to the second.
    long long seconds = std::llround(serial * kSecondsPerDay);
    long long days = seconds / kSecondsPerDay;
    long long second_of_day = seconds % kSecondsPerDay;
    if (second_of_day < 0) {
        days -= 1;
        second_of_day += kSecondsPerDay;
    }
    int year = 0, month = 0, day = 0;
    CivilFromDays(days + kSerialOriginDays, year, month, day);
    if (year < 1900) {
        time = 0;
        return true;
    }
    if (year > 3001) return false;
    const std::time_t local =
        TimeFromLocalWall((days + kSerialOriginDays) * kSecondsPerDay + second_of_day);
    if (local < 0 || local > kLastTime) return false;
    time = local;
    return true;
}

tstring FormatLocalTime(std::time_t time, const char* format) {
    std::tm fields{};
    if (!localtime_r(&time, &fields)) return {};
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &fields);
    return tstring(buffer, length);
}
