#pragma once
// The value of a time-period column: a date range, or a weekly schedule of up to eight periods,
// and its texts ("星期一, 三 08:00:00 至 18:00:00;星期六 09:00:00 至 12:00:00",
// "2014-01-01 00:00:00 至 2014-12-31 23:59:59").
#include <cstdint>
#include <string>

#include "controls/date_time_value.h"

// One period of a weekly schedule.
struct TimePeriod {
    std::uint8_t active = 0;   // 1 = in use
    std::uint8_t days = 0;     // bit 0 Monday ... bit 6 Sunday
    std::uint8_t start[4]{};   // hour, minute, second, 0
    std::uint8_t end[4]{};     // hour, minute, second, 0
};

const int kMaxTimePeriods = 8;
const int kDaysPerWeek = 7;

struct TimePeriodValue {
    bool periodic = false;  // a weekly schedule; else a date range
    bool present = false;   // false: no value
    TimePeriod periods[kMaxTimePeriods];
    DateTimeValue begin;
    DateTimeValue end;
};

// Seconds after midnight of a period's start or end, and back (hours up to 24:00:00).
int PeriodSeconds(const std::uint8_t time[4]);
void SetPeriodSeconds(std::uint8_t time[4], int seconds);

std::string FormatTimePeriod(const TimePeriod& period);
std::string FormatTimePeriodValue(const TimePeriodValue& value);
// Reads one period ("星期" and days, start, end; an end before the start is swapped). False,
// leaving *period alone, when the text is not one.
bool ParseTimePeriod(const std::string& text, TimePeriod* period);
// Reads a schedule (periods separated by ";", of which the first must read) or else a range of
// two date-times around "至". False, leaving *value alone, when it is neither.
bool ParseTimePeriodValue(const std::string& text, TimePeriodValue* value);
