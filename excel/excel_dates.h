#pragma once

#include <ctime>

#include "netsqlite/types.h"

// Date serial numbers as automation converts them: days since 1899-12-30, the time of day as the
// fraction. Excel's phantom 1900-02-29 is not kept, as the automation conversion does not keep it.

// The serial number of a date and time of day (no range check).
double SerialFromDateTime(int year, int month, int day, int hour, int minute, int second);

// Reads "YYYY-MM-DD", "YYYY/MM/DD", "YYYY.MM.DD" or "YYYY年M月D日", each with " HH:MM" or
// " HH:MM:SS" or without a time, or "HH:MM:SS" alone
// (a time on day 0), as the automation's conversion of text to a date does. False for any other
// text or an impossible date.
bool SerialFromDateText(const tstring& text, double& serial);

// The calendar time of a serial number, taken as local time. Dates before 1900 give 0 (the start
// of 1970 in UTC); false when the time lies outside 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC.
bool TimeFromSerial(double serial, std::time_t& time);

// strftime of the local time.
tstring FormatLocalTime(std::time_t time, const char* format);
