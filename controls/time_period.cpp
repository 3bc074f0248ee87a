#include "controls/time_period.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

const char kWeek[] = "星期";
const char kTo[] = "至";
const char* const kDayNames[kDaysPerWeek] = {"一", "二", "三", "四", "五", "六", "日"};
const int kDaySeconds = 24 * 3600;

// A cursor over GBK text; the words compared are whole characters.
class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}
    void SkipBlanks() {
        while (m_pos < m_text.size() && m_text[m_pos] == ' ') ++m_pos;
    }
    bool Take(const char* word) {
        std::size_t length = std::strlen(word);
        if (m_text.compare(m_pos, length, word) != 0) return false;
        m_pos += length;
        return true;
    }
    bool TakeNumber(int* number) {
        std::size_t begin = m_pos;
        int value = 0;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9' &&
               m_pos - begin < 4)
            value = value * 10 + (m_text[m_pos++] - '0');
        *number = value;
        return m_pos > begin;
    }
    // hours:minutes:seconds, at most 24:00:00.
    bool TakeTime(int* seconds) {
        int h = 0, m = 0, s = 0;
        if (!TakeNumber(&h) || !Take(":") || !TakeNumber(&m) || !Take(":") || !TakeNumber(&s))
            return false;
        if (m > 59 || s > 59 || h > 24 || (h == 24 && (m || s))) return false;
        *seconds = h * 3600 + m * 60 + s;
        return true;
    }
    bool AtEnd() {
        SkipBlanks();
        return m_pos == m_text.size();
    }

private:
    const std::string& m_text;
    std::size_t m_pos = 0;
};

std::string FormatTime(const std::uint8_t time[4]) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time[0], time[1], time[2]);
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

bool ParseSchedule(const std::string& text, TimePeriodValue* value) {
    TimePeriod periods[kMaxTimePeriods];
    std::size_t begin = 0;
    for (int slot = 0; slot < kMaxTimePeriods && begin <= text.size(); ++slot) {
        std::size_t end = std::min(text.find(';', begin), text.size());
        bool read = ParseTimePeriod(Trim(text.substr(begin, end - begin)), &periods[slot]);
        if (slot == 0 && !read) return false;
        begin = end + 1;
    }
    value->periodic = true;
    value->present = true;
    std::copy(std::begin(periods), std::end(periods), value->periods);
    return true;
}

bool ParseRange(const std::string& text, TimePeriodValue* value) {
    std::size_t to = text.find(kTo);
    if (to == std::string::npos) return false;
    DateTimeValue begin, end;
    if (!ParseDateTime(Trim(text.substr(0, to)).c_str(), kDateAndTime, &begin) ||
        !ParseDateTime(Trim(text.substr(to + std::strlen(kTo))).c_str(), kDateAndTime, &end))
        return false;
    // As in a weekly period, an end before the begin is taken as the two swapped, which is what
    // was meant, rather than a range no moment lies in.
    if (end.time < begin.time) std::swap(begin, end);
    value->periodic = false;
    value->present = true;
    value->begin = begin;
    value->end = end;
    return true;
}

}  // namespace

int PeriodSeconds(const std::uint8_t time[4]) {
    return time[0] * 3600 + time[1] * 60 + time[2];
}

void SetPeriodSeconds(std::uint8_t time[4], int seconds) {
    seconds = std::clamp(seconds, 0, kDaySeconds);
    time[0] = static_cast<std::uint8_t>(seconds / 3600);
    time[1] = static_cast<std::uint8_t>(seconds / 60 % 60);
    time[2] = static_cast<std::uint8_t>(seconds % 60);
    time[3] = 0;
}

std::string FormatTimePeriod(const TimePeriod& period) {
    std::string text = kWeek;
    bool first = true;
    for (int day = 0; day < kDaysPerWeek; ++day) {
        if (!(period.days & (1 << day))) continue;
        if (!first) text += ", ";
        text += kDayNames[day];
        first = false;
    }
    if (!first) text += " " + FormatTime(period.start) + " " + kTo + " " + FormatTime(period.end);
    return text;
}

std::string FormatTimePeriodValue(const TimePeriodValue& value) {
    if (!value.present) return std::string();
    if (!value.periodic)
        return FormatDateTime(value.begin, kDateAndTime) + " " + kTo + " " +
               FormatDateTime(value.end, kDateAndTime);
    std::string text;
    for (const TimePeriod& period : value.periods) {
        if (!period.active) continue;
        if (!text.empty()) text += ";";
        text += FormatTimePeriod(period);
    }
    return text;
}

bool ParseTimePeriod(const std::string& text, TimePeriod* period) {
    Reader reader(text);
    if (!reader.Take(kWeek)) return false;
    reader.SkipBlanks();
    std::uint8_t days = 0;
    for (int day = 0; day < kDaysPerWeek; ++day) {
        if (!reader.Take(kDayNames[day])) continue;
        days |= static_cast<std::uint8_t>(1 << day);
        reader.SkipBlanks();
        reader.Take(",");
        reader.SkipBlanks();
    }
    int start = 0, end = 0;
    if (!days || !reader.TakeTime(&start)) return false;
    reader.SkipBlanks();
    reader.Take("-");
    reader.SkipBlanks();
    reader.Take(kTo);
    reader.SkipBlanks();
    if (!reader.TakeTime(&end) || !reader.AtEnd()) return false;
    if (end < start) std::swap(start, end);
    TimePeriod read;
    read.active = 1;
    read.days = days;
    SetPeriodSeconds(read.start, start);
    SetPeriodSeconds(read.end, end);
    *period = read;
    return true;
}

bool ParseTimePeriodValue(const std::string& text, TimePeriodValue* value) {
    return ParseSchedule(text, value) || ParseRange(text, value);
}
