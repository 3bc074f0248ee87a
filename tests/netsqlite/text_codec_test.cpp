#include "netsqlite/text_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "netsqlite/net_sqlite_exception.h"

namespace {

// Narrow literals of this file are GBK; u8 literals are UTF-8.
struct RoundTripCase {
    const char* name;
    std::string gbk;
    std::string utf8;
};

class TextRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(TextRoundTrip, ConvertsBothWays) {
    EXPECT_EQ(GbkToUtf8(GetParam().gbk), GetParam().utf8);
    EXPECT_EQ(Utf8ToGbk(GetParam().utf8), GetParam().gbk);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextRoundTrip,
    testing::Values(RoundTripCase{"Empty", "", ""},
                    RoundTripCase{"Ascii", "Code='C1'", u8"Code='C1'"},
                    RoundTripCase{"Chinese", "张伟 京A12345", u8"张伟 京A12345"},
                    RoundTripCase{"Mixed", "星期一, 三 08:00:00 至 18:00:00",
                                  u8"星期一, 三 08:00:00 至 18:00:00"}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

struct LossyCase {
    const char* name;
    std::string input;
    std::string expected;
};

class Utf8ToGbkLossy : public testing::TestWithParam<LossyCase> {};

TEST_P(Utf8ToGbkLossy, ReplacesWhatHasNoGbkForm) {
    EXPECT_EQ(Utf8ToGbk(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Utf8ToGbkLossy,
                         testing::Values(LossyCase{"Emoji", u8"a\U0001F600b", "a?b"},
                                         LossyCase{"BrokenLeadByte",
                                                   "\xff"
                                                   "x",
                                                   "?x"},
                                         LossyCase{"TruncatedAtEnd",
                                                   u8"张"
                                                   "\xe4\xbc",
                                                   "张?"},
                                         LossyCase{"LoneContinuation",
                                                   "a\x80"
                                                   "b",
                                                   "a?b"}),
                         [](const testing::TestParamInfo<LossyCase>& info) {
                             return info.param.name;
                         });

class GbkToUtf8Lossy : public testing::TestWithParam<LossyCase> {};

TEST_P(GbkToUtf8Lossy, ReplacesInvalidBytes) {
    EXPECT_EQ(GbkToUtf8(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Inputs, GbkToUtf8Lossy,
                         testing::Values(LossyCase{"LeadByteAtEnd", "ab\x81", "ab?"},
                                         LossyCase{"LeadByteBeforeBlank", "\x81 z", "? z"},
                                         LossyCase{"InvalidByte",
                                                   "a\xff"
                                                   "b",
                                                   "a?b"}),
                         [](const testing::TestParamInfo<LossyCase>& info) {
                             return info.param.name;
                         });

TEST(TextConversion, LongTextsConvertWhole) {
    std::string gbk;
    std::string utf8;
    for (int i = 0; i < 5000; ++i) {
        gbk += "张伟";
        utf8 += u8"张伟";
    }
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

TEST(NetSqliteExceptionText, NamesTheCodeAndCarriesTheDetail) {
    EXPECT_STREQ(NetSqliteException(NET_SQLITE_NO_RIGHT, "").GetMessage(),
                 "[4]:NET_SQLITE_NO_RIGHT, ");
    EXPECT_STREQ(NetSqliteException(NET_SQLITE_QUERY_ERROR, "no such table: x").GetMessage(),
                 "[6]:NET_SQLITE_QUERY_ERROR, no such table: x");
    EXPECT_STREQ(NetSqliteException(42, "x").GetMessage(), "[42]:UNKNOWN_ERROR, x");
    EXPECT_EQ(NetSqliteException(NET_SQLITE_NONEQUERY_FAILED, "").GetCode(),
              NET_SQLITE_NONEQUERY_FAILED);
}

TEST(NetSqliteExceptionText, LongDetailIsCutToTheMessageLimit) {
    const NetSqliteException e(NET_SQLITE_QUERY_ERROR, std::string(20000, 'd'));
    EXPECT_EQ(std::string(e.GetMessage()).size(), NetSqliteException::kMaxMessage);
    const NetSqliteException copy = e;
    EXPECT_STREQ(copy.GetMessage(), e.GetMessage());
}

}  // namespace
