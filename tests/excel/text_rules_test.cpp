// The text rules under the holders: the settings splitter and the date conversions.
#include <gtest/gtest.h>

#include <cstdlib>

#include "excel/excel_dates.h"
#include "excel/split_text.h"
#include "tests/support/case_printing.h"

namespace {

struct SplitCase : testcases::NamedCase {
    const char* text;
    std::vector<tstring> pieces;
    char separator = ':';
};

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, CutsAtEverySeparatorAndDropsOnlyAnEmptyLastPiece) {
    EXPECT_EQ(SplitText(GetParam().text, GetParam().separator), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitTextTest,
    ::testing::Values(SplitCase{{"Empty"}, "", {}}, SplitCase{{"OnePiece"}, "ab", {"ab"}},
                      SplitCase{{"TwoPieces"}, "a:b", {"a", "b"}},
                      SplitCase{{"TrailingSeparator"}, "a:b:", {"a", "b"}},
                      SplitCase{{"LeadingSeparator"}, ":a", {"", "a"}},
                      SplitCase{{"DoubledSeparator"}, "a::b", {"a", "", "b"}},
                      SplitCase{{"OnlySeparators"}, "::", {"", ""}},
                      SplitCase{{"GbkTrailByteIsNoSeparator"}, "颜色:车主", {"颜色", "车主"}},
                      // The second byte of 區 in GBK is "^".
                      SplitCase{{"GbkTrailByteEqualToTheSeparator"}, "東區^鳳^", {"東區", "鳳"}, '^'}),
    testcases::kCaseName);

TEST(JoinTextTest, PutsTheSeparatorBetweenPieces) {
    EXPECT_EQ(JoinText(std::vector<tstring>{}, '^'), "");
    EXPECT_EQ(JoinText(std::vector<tstring>{"a"}, '^'), "a");
    EXPECT_EQ(JoinText(std::vector<tstring>{"a", "", "b"}, '^'), "a^^b");
}

struct DateTextCase : testcases::NamedCase {
    const char* text;
    bool ok;
    double serial;
};

class DateTextTest : public ::testing::TestWithParam<DateTextCase> {};

TEST_P(DateTextTest, ReadsTheFormsOfDateText) {
    double serial = -1;
    EXPECT_EQ(SerialFromDateText(GetParam().text, serial), GetParam().ok);
    if (GetParam().ok) {
        EXPECT_DOUBLE_EQ(serial, GetParam().serial);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DateTextTest,
    ::testing::Values(DateTextCase{{"Date"}, "2024-03-15", true, 45366},
                      DateTextCase{{"SlashDate"}, "2024/03/15", true, 45366},
                      DateTextCase{{"DottedDate"}, "2024.3.15", true, 45366},
                      DateTextCase{{"ChineseDate"}, "2024年3月15日", true, 45366},
                      DateTextCase{{"ChineseDateTime"}, "2024年03月15日 12:00", true, 45366.5},
                      DateTextCase{{"ChineseWithoutDay"}, "2024年3月", false, 0},
                      DateTextCase{{"DateTime"}, "2024-03-15 12:00:00", true, 45366.5},
                      DateTextCase{{"NoSeconds"}, "2024-03-15 06:00", true, 45366.25},
                      DateTextCase{{"TimeOnly"}, "18:00:00", true, 0.75},
                      DateTextCase{{"Origin"}, "1899-12-30", true, 0},
                      DateTextCase{{"MixedSeparators"}, "2024-03/15", false, 0},
                      DateTextCase{{"NoSuchDay"}, "2023-02-29", false, 0},
                      DateTextCase{{"NoSuchHour"}, "2024-03-15 24:00:00", false, 0},
                      DateTextCase{{"TrailingText"}, "2024-03-15x", false, 0},
                      DateTextCase{{"Number"}, "45366", false, 0},
                      DateTextCase{{"Empty"}, "", false, 0}),
    testcases::kCaseName);

struct SerialCase : testcases::NamedCase {
    double serial;
    bool ok;
    const char* utc;
};

class SerialTimeTest : public ::testing::TestWithParam<SerialCase> {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

TEST_P(SerialTimeTest, KeepsTheYearsTheProgramHandles) {
    std::time_t time = -1;
    ASSERT_EQ(TimeFromSerial(GetParam().serial, time), GetParam().ok);
    if (GetParam().ok) {
        EXPECT_EQ(FormatLocalTime(time, "%Y-%m-%d %H:%M:%S"), GetParam().utc);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Serials, SerialTimeTest,
    ::testing::Values(
        SerialCase{{"Zero"}, 0, true, "1970-01-01 00:00:00"},
        SerialCase{{"Negative"}, -700, true, "1970-01-01 00:00:00"},
        SerialCase{{"Before1970"}, 25568, false, ""},
        SerialCase{{"StartOf1970"}, 25569, true, "1970-01-01 00:00:00"},
        SerialCase{{"RoundsToTheSecond"}, 45366.4305555556, true, "2024-03-15 10:20:00"},
        SerialCase{{"LastSecondOf3000"}, 402133 + 86399.0 / 86400, true, "3000-12-31 23:59:59"},
        SerialCase{{"After3000"}, 402134, false, ""}, SerialCase{{"Huge"}, 1e300, false, ""}),
    testcases::kCaseName);

TEST(SerialTimeTest, ReadsTheDayInLocalTime) {
    ::setenv("TZ", "Asia/Shanghai", 1);
    ::tzset();
    std::time_t time = -1;
    ASSERT_TRUE(TimeFromSerial(0, time));
    EXPECT_EQ(FormatLocalTime(time, "%Y-%m-%d %H:%M:%S"), "1970-01-01 08:00:00");
    ASSERT_TRUE(TimeFromSerial(45366, time));
    EXPECT_EQ(FormatLocalTime(time, "%Y-%m-%d %H:%M:%S"), "2024-03-15 00:00:00");
}

struct ClockChangeCase : testcases::NamedCase {
    double serial;
    const char* local;
};

class ClockChangeTest : public ::testing::TestWithParam<ClockChangeCase> {
protected:
    void SetUp() override {
        ::setenv("TZ", "America/New_York", 1);
        ::tzset();
    }
};

// A time the clocks skip reads as mktime reads it; a time they show twice is the first one.
TEST_P(ClockChangeTest, ReadsTimesAroundAChangeOfOffset) {
    std::time_t time = -1;
    ASSERT_TRUE(TimeFromSerial(GetParam().serial, time));
    EXPECT_EQ(FormatLocalTime(time, "%Y-%m-%d %H:%M:%S %Z"), GetParam().local);
}

INSTANTIATE_TEST_SUITE_P(
    NewYork2024, ClockChangeTest,
    ::testing::Values(
        ClockChangeCase{{"BeforeTheSkip"}, SerialFromDateTime(2024, 3, 10, 1, 59, 59),
                        "2024-03-10 01:59:59 EST"},
        ClockChangeCase{{"SkippedHour"}, SerialFromDateTime(2024, 3, 10, 2, 30, 0),
                        "2024-03-10 03:30:00 EDT"},
        ClockChangeCase{{"AfterTheSkip"}, SerialFromDateTime(2024, 3, 10, 3, 0, 0),
                        "2024-03-10 03:00:00 EDT"},
        ClockChangeCase{{"RepeatedHour"}, SerialFromDateTime(2024, 11, 3, 1, 30, 0),
                        "2024-11-03 01:30:00 EDT"},
        ClockChangeCase{{"AfterTheRepeat"}, SerialFromDateTime(2024, 11, 3, 2, 0, 0),
                        "2024-11-03 02:00:00 EST"}),
    testcases::kCaseName);

}  // namespace
