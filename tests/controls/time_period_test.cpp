// Texts of time-period values: one period, weekly schedules and date ranges, read and written.
#include "controls/time_period.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_printing.h"

namespace {

struct PeriodCase : testcases::NamedCase {
    const char* text;
    const char* written;  // null: the text does not read
    int days;
};

class PeriodTextTest : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(PeriodTextTest, ReadsOnePeriod) {
    const PeriodCase& c = GetParam();
    TimePeriod period;
    period.days = 0x55;
    bool read = ParseTimePeriod(c.text, &period);
    ASSERT_EQ(read, c.written != nullptr);
    if (!read) {
        EXPECT_EQ(period.days, 0x55) << "a text that does not read changes nothing";
        return;
    }
    EXPECT_EQ(period.active, 1);
    EXPECT_EQ(period.days, c.days);
    EXPECT_EQ(FormatTimePeriod(period), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, PeriodTextTest,
    ::testing::Values(
        PeriodCase{{"SundayAllDay"}, "星期日 00:00:00 至 23:59:59", "星期日 00:00:00 至 23:59:59", 0x40},
        PeriodCase{{"TwoDays"}, "星期一, 三 08:00:00 至 18:00:00", "星期一, 三 08:00:00 至 18:00:00", 0x05},
        PeriodCase{{"LooseSpacingAndDash"}, "星期 一,三  8:0:0 - 18:0:0",
                   "星期一, 三 08:00:00 至 18:00:00", 0x05},
        PeriodCase{{"EndBeforeStartIsSwapped"}, "星期二 18:00:00 至 08:30:00",
                   "星期二 08:30:00 至 18:00:00", 0x02},
        PeriodCase{{"WholeDayToMidnight"}, "星期六 00:00:00 至 24:00:00",
                   "星期六 00:00:00 至 24:00:00", 0x20},
        PeriodCase{{"NoDay"}, "星期 08:00:00 至 09:00:00", nullptr, 0},
        PeriodCase{{"OtherWeekWord"}, "周一 08:00:00 至 09:00:00", nullptr, 0},
        PeriodCase{{"DaysOutOfOrder"}, "星期三, 一 08:00:00 至 09:00:00", nullptr, 0},
        PeriodCase{{"HourOutOfRange"}, "星期一 25:00:00 至 26:00:00", nullptr, 0},
        PeriodCase{{"MissingEnd"}, "星期一 08:00:00 至", nullptr, 0},
        PeriodCase{{"TrailingWords"}, "星期一 08:00:00 至 09:00:00 以后", nullptr, 0}),
    testcases::kCaseName);

struct ValueCase : testcases::NamedCase {
    const char* text;
    const char* written;  // null: the text does not read
    bool periodic;
};

class PeriodValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(PeriodValueTest, ReadsAScheduleOrARange) {
    const ValueCase& c = GetParam();
    TimePeriodValue value;
    bool read = ParseTimePeriodValue(c.text, &value);
    ASSERT_EQ(read, c.written != nullptr);
    if (!read) {
        EXPECT_FALSE(value.present);
        return;
    }
    EXPECT_TRUE(value.present);
    EXPECT_EQ(value.periodic, c.periodic);
    EXPECT_EQ(FormatTimePeriodValue(value), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PeriodValueTest,
    ::testing::Values(
        ValueCase{{"Schedule"}, "星期一 08:00:00 至 09:00:00;星期六, 日 10:00:00 至 12:00:00",
                  "星期一 08:00:00 至 09:00:00;星期六, 日 10:00:00 至 12:00:00", true},
        ValueCase{{"UnreadableLaterPeriodsAreLeftOut"},
                  " 星期一 08:00:00 至 09:00:00 ; 午休 ;星期五 13:00:00 至 14:00:00",
                  "星期一 08:00:00 至 09:00:00;星期五 13:00:00 至 14:00:00", true},
        ValueCase{{"AtMostEightPeriods"},
                  "星期一 01:00:00 至 02:00:00;星期一 02:00:00 至 03:00:00;"
                  "星期一 03:00:00 至 04:00:00;星期一 04:00:00 至 05:00:00;"
                  "星期一 05:00:00 至 06:00:00;星期一 06:00:00 至 07:00:00;"
                  "星期一 07:00:00 至 08:00:00;星期一 08:00:00 至 09:00:00;"
                  "星期一 09:00:00 至 10:00:00",
                  "星期一 01:00:00 至 02:00:00;星期一 02:00:00 至 03:00:00;"
                  "星期一 03:00:00 至 04:00:00;星期一 04:00:00 至 05:00:00;"
                  "星期一 05:00:00 至 06:00:00;星期一 06:00:00 至 07:00:00;"
                  "星期一 07:00:00 至 08:00:00;星期一 08:00:00 至 09:00:00",
                  true},
        ValueCase{{"Range"}, "2014-1-1 0:0:0 至 2014-12-31 23:59:59",
                  "2014-01-01 00:00:00 至 2014-12-31 23:59:59", false},
        ValueCase{{"RangeEndBeforeBeginIsSwapped"}, "2014-12-31 23:59:59 至 2014-1-1 0:0:0",
                  "2014-01-01 00:00:00 至 2014-12-31 23:59:59", false},
        ValueCase{{"RangeWithOneUnreadableEnd"}, "2014-1-1 0:0:0 至 明天", nullptr, false},
        ValueCase{{"RangeEndTooLong"}, "2014-1-1 0:0:0 至 2014-12-31 23:59:59:00", nullptr, false},
        ValueCase{{"Neither"}, "每天", nullptr, false}),
    testcases::kCaseName);

// Every text the values are written as reads back to the same text.
TEST(PeriodValueRoundTrip, WrittenTextsReadBackToTheSameValue) {
    TimePeriodValue schedule;
    schedule.present = schedule.periodic = true;
    for (int slot : {0, 3, 7}) {
        TimePeriod& period = schedule.periods[slot];
        period.active = 1;
        period.days = static_cast<std::uint8_t>(0x7F >> slot % 7);
        SetPeriodSeconds(period.start, slot * 3600 + 59);
        SetPeriodSeconds(period.end, 86400 - slot * 61);
    }
    TimePeriodValue range;
    range.present = true;
    ParseTimePeriodValue("1999-12-31 23:59:59 至 2999-01-01 00:00:00", &range);
    for (const TimePeriodValue& value : {schedule, range, TimePeriodValue{}}) {
        std::string written = FormatTimePeriodValue(value);
        TimePeriodValue read;
        EXPECT_EQ(ParseTimePeriodValue(written, &read), value.present) << written;
        EXPECT_EQ(FormatTimePeriodValue(read), written);
    }
}

}  // namespace
