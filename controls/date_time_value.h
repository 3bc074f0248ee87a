#pragma once
// A moment in local time as the date and time controls hold it, and its texts.
#include <cstdint>
#include <ctime>
#include <string>

// The broken-down local time and its calendar time; a calendar time of -1 means no value.
struct DateTimeValue {
    std::tm tm{};
    std::int64_t time = -1;
};

// How a date-time control shows its value.
enum DateTimeMode { kDateAndTime = 0, kDateOnly = 1, kTimeOnly = 2 };

// The current local time (no value when the conversion fails).
DateTimeValue DateTimeNow();
// The moment of the given fields, normalised by mktime (out-of-range fields carry over, a time
// that does not exist in local time moves as mktime moves it).
DateTimeValue DateTimeFromFields(std::tm tm);
// A value with a calendar time, not later than 1 January 3000.
bool IsValidDateTime(const DateTimeValue& value);
// The longest text of the mode.
int DateTimeTextLimit(DateTimeMode mode);
// The value in the mode's form; empty for a value that is not valid.
std::string FormatDateTime(const DateTimeValue& value, DateTimeMode mode);
// Reads a text of the mode: false, leaving *value alone, when the text is longer than the mode
// allows, does not have every field, or gives no valid value. A time alone is taken on today.
bool ParseDateTime(const char* text, DateTimeMode mode, DateTimeValue* value);
