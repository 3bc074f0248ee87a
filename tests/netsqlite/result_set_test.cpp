#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "netsqlite/base64.h"
#include "netsqlite/net_sqlite_result_set.h"

namespace {

using netsqlite::Base64DecodeCell;
using netsqlite::Base64Encode;

// "col" and "other" in Base64.
constexpr char kCol[] = "Y29s";
constexpr char kOther[] = "b3RoZXI=";

struct ParseCase {
    const char* name;
    std::string payload;
    bool parses;
    std::string column;
    std::vector<std::string> cells;  // the column's cell in each data row
};

std::vector<std::string> ReadColumn(NetSqliteResultSet& result, const std::string& column) {
    std::vector<std::string> cells;
    while (result.Next()) cells.push_back(result.GetString(column));
    return cells;
}

class ResultSetParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ResultSetParse, ReadsTheColumnRowByRow) {
    const ParseCase& c = GetParam();
    NetSqliteResultSet result;
    ASSERT_EQ(result.Parse(c.payload.data(), c.payload.size()), c.parses);
    if (!c.parses) return;
    EXPECT_EQ(ReadColumn(result, c.column), c.cells);
    EXPECT_EQ(result.RowCount(), c.cells.size());
}

const std::string kLongText(2000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Payloads, ResultSetParse,
    testing::Values(
        ParseCase{"HeaderOnly", std::string(kCol) + "\n", true, "col", {}},
        ParseCase{"NoLineFeed", kCol, false, "col", {}}, ParseCase{"Empty", "", false, "col", {}},
        ParseCase{"LastLineWithoutLineFeedIsLost", std::string(kCol) + "\nYQ==", true, "col", {}},
        ParseCase{"TwoRows", std::string(kCol) + "\nYQ==\nYmM=\n", true, "col", {"a", "bc"}},
        ParseCase{"TrailingZeroOfTheReply",
                  std::string(kCol) + "\nYQ==\n" + std::string(1, '\0'),
                  true,
                  "col",
                  {"a"}},
        ParseCase{"LengthNotMultipleOfFour", std::string(kCol) + "\nYWJ\n", true, "col", {""}},
        ParseCase{"CharacterOutsideAlphabet", std::string(kCol) + "\nYW*j\n", true, "col", {""}},
        ParseCase{"PaddingFirst", std::string(kCol) + "\n=WJj\n", true, "col", {""}},
        ParseCase{"PaddingSecond", std::string(kCol) + "\nY=Jj\n", true, "col", {""}},
        ParseCase{"PaddingThenLetter", std::string(kCol) + "\nYW=j\n", true, "col", {""}},
        ParseCase{"QuotesIgnored", "\"Y29s\"\n\"YQ==\"\n", true, "col", {"a"}},
        ParseCase{"CommaInsideQuotesSeparates",
                  std::string(kCol) + "," + kOther + "\n\"YQ==,Yg==\"\n",
                  true,
                  "other",
                  {"b"}},
        ParseCase{"DuplicateHeaderKeepsFirst",
                  std::string(kCol) + "," + kCol + "\nYQ==,Yg==\n",
                  true,
                  "col",
                  {"a"}},
        ParseCase{"RowShorterThanHeader",
                  std::string(kOther) + "," + kCol + "\nYQ==\n",
                  true,
                  "col",
                  {""}},
        ParseCase{"NamesAreCaseSensitive", std::string(kCol) + "\nYQ==\n", true, "COL", {""}},
        ParseCase{"UnknownColumn", std::string(kCol) + "\nYQ==\n", true, "nope", {""}},
        ParseCase{"CutAtZeroByte", std::string(kCol) + "\nYQBi\n", true, "col", {"a"}},
        ParseCase{
            "EmptyLineIsOneEmptyCell", std::string(kCol) + "\n\nYQ==\n", true, "col", {"", "a"}},
        ParseCase{"CellLongerThan1023Characters",
                  std::string(kCol) + "\n" + Base64Encode(kLongText) + "\n",
                  true,
                  "col",
                  {kLongText}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(ResultSetCursor, ReadsNothingBeforeTheFirstRowOrAfterTheLast) {
    const std::string payload = std::string(kCol) + "\nYQ==\n";
    NetSqliteResultSet result;
    ASSERT_TRUE(result.Parse(payload.data(), payload.size()));
    EXPECT_EQ(result.GetString("col"), "");
    ASSERT_TRUE(result.Next());
    EXPECT_EQ(result.GetString("col"), "a");
    EXPECT_FALSE(result.Next());
    EXPECT_FALSE(result.Next());
    EXPECT_EQ(result.GetString("col"), "");
}

TEST(ResultSetCursor, ParsingAgainStartsOver) {
    const std::string first = std::string(kCol) + "\nYQ==\nYQ==\n";
    const std::string second = std::string(kOther) + "\nYg==\n";
    NetSqliteResultSet result;
    ASSERT_TRUE(result.Parse(first.data(), first.size()));
    result.Next();
    ASSERT_TRUE(result.Parse(second.data(), second.size()));
    EXPECT_EQ(result.GetString("other"), "");
    EXPECT_EQ(ReadColumn(result, "other"), std::vector<std::string>{"b"});
    EXPECT_EQ(ReadColumn(result, "col"), std::vector<std::string>{});
}

struct IntCase {
    const char* cell;
    int32_t value;
};

class ResultSetInt : public testing::TestWithParam<IntCase> {};

TEST_P(ResultSetInt, ReadsDecimalPrefix) {
    const std::string payload = std::string(kCol) + "\n" + Base64Encode(GetParam().cell) + "\n";
    NetSqliteResultSet result;
    ASSERT_TRUE(result.Parse(payload.data(), payload.size()));
    ASSERT_TRUE(result.Next());
    EXPECT_EQ(result.GetInt("col"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cells, ResultSetInt,
                         testing::Values(IntCase{"42", 42}, IntCase{"  -7", -7}, IntCase{"+5", 5},
                                         IntCase{"12abc", 12}, IntCase{"", 0}, IntCase{"abc", 0},
                                         IntCase{"2147483647", INT32_MAX},
                                         IntCase{"99999999999", INT32_MAX},
                                         IntCase{"-99999999999", INT32_MIN}));

struct Base64Case {
    std::string bytes;
    std::string text;
};

class Base64Vectors : public testing::TestWithParam<Base64Case> {};

TEST_P(Base64Vectors, EncodeAndDecodeAreInverse) {
    EXPECT_EQ(Base64Encode(GetParam().bytes), GetParam().text);
    EXPECT_EQ(Base64DecodeCell(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Standard, Base64Vectors,
                         testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="},
                                         Base64Case{"fo", "Zm8="}, Base64Case{"foo", "Zm9v"},
                                         Base64Case{"foob", "Zm9vYg=="},
                                         Base64Case{"fooba", "Zm9vYmE="},
                                         Base64Case{"foobar", "Zm9vYmFy"},
                                         Base64Case{"\xff\xfe\x80", "//6A"}));

TEST(Base64Bytes, EveryByteValueSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Base64DecodeCell(Base64Encode(all)), all);
}

}  // namespace
