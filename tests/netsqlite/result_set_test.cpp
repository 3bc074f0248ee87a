#include <gtest/gtest.h>

#include <climits>

#include "netsqlite/base64.h"
#include "netsqlite/net_sqlite_result_set.h"
#include "tests/support/case_printing.h"

namespace {

using netsqlite::Base64Encode;

std::string Base64Decode(const std::string& text) {
    std::string out(text.size(), '\0');
    char* end = out.data();
    if (!netsqlite::Base64DecodeTo(text, end)) return "invalid";
    out.resize(end - out.data());
    return out;
}

const std::string kHead = "Y29s\n";  // one column named "col"
const std::string kLong(2000, 'x');

struct ParseCase : testcases::NamedCase {
    std::string payload;
    bool parses;
    std::vector<std::string> cells;  // column "col" of each data row
    std::string column = "col";
};

class ResultSetParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ResultSetParse, ReadsTheColumnRowByRow) {
    const ParseCase& c = GetParam();
    NetSqliteResultSet result;
    ASSERT_EQ(result.Parse(c.payload.data(), c.payload.size()), c.parses);
    EXPECT_EQ(result.GetString(c.column), "");  // no row selected yet
    std::vector<std::string> cells;
    while (result.Next()) cells.push_back(result.GetString(c.column));
    EXPECT_EQ(cells, c.cells);
    EXPECT_FALSE(result.Next());
    EXPECT_EQ(result.GetString(c.column), "");
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, ResultSetParse,
    testing::Values(
        ParseCase{"HeaderOnly", kHead, true, {}}, ParseCase{"NoLineFeed", "Y29s", false, {}},
        ParseCase{"Empty", "", false, {}},
        ParseCase{"LastLineWithoutLineFeedIsLost", kHead + "YQ==", true, {}},
        ParseCase{"TwoRowsAndTheReplyZero",
                  kHead + "YQ==\nYmM=\n" + std::string(1, '\0'),
                  true,
                  {"a", "bc"}},
        ParseCase{"LengthNotMultipleOfFour", kHead + "YWJ\n", true, {""}},
        ParseCase{"OutsideAlphabet", kHead + "YW*j\n", true, {""}},
        ParseCase{"PaddingFirst", kHead + "=WJj\n", true, {""}},
        ParseCase{"PaddingThenLetter", kHead + "YW=j\n", true, {""}},
        ParseCase{"QuoteAfterWholeGroups", kHead + "YWJj\"ZGVm\"\n", true, {"abcdef"}},
        ParseCase{"PaddedGroupInTheMiddle", kHead + "YQ==Yg==\n", true, {"ab"}},
        ParseCase{"InvalidAfterWholeGroups", kHead + "YWJjZGV*\n", true, {""}},
        ParseCase{"QuotesIgnored", "\"Y29s\"\n\"YQ==\"\n", true, {"a"}},
        ParseCase{"CommaInsideQuotesSeparates", "eA==,Y29s\n\"YQ==,Yg==\"\n", true, {"b"}},
        ParseCase{"DuplicateHeaderKeepsFirst", "Y29s,Y29s\nYQ==,Yg==\n", true, {"a"}},
        ParseCase{"RowShorterThanHeader", "eA==,Y29s\nYQ==\n", true, {""}},
        ParseCase{"NamesAreCaseSensitive", kHead + "YQ==\n", true, {""}, "COL"},
        ParseCase{"CutAtZeroByte", kHead + "YQBi\n", true, {"a"}},
        ParseCase{"CutAtZeroByteInALaterGroup",
                  kHead + Base64Encode(std::string("abcdef\0g", 9)) + "\n",
                  true,
                  {"abcdef"}},
        ParseCase{"CutAtZeroByteInThePaddedEnd",
                  kHead + Base64Encode(std::string("abcd\0", 5)) + "\n",
                  true,
                  {"abcd"}},
        ParseCase{"CutAtZeroByteOfAQuotedCell", kHead + "\"YWJ\"jAA==\n", true, {"abc"}},
        ParseCase{"EmptyLineIsOneEmptyCell", kHead + "\nYQ==\n", true, {"", "a"}},
        ParseCase{"CellOver1023Characters", kHead + Base64Encode(kLong) + "\n", true, {kLong}}),
    testcases::kCaseName);

struct IntCase : testcases::NamedCase {
    const char* cell;
    int32_t value;
};

class ResultSetInt : public testing::TestWithParam<IntCase> {};

TEST_P(ResultSetInt, ReadsTheDecimalPrefix) {
    const std::string payload = kHead + Base64Encode(GetParam().cell) + "\n";
    NetSqliteResultSet result;
    ASSERT_TRUE(result.Parse(payload.data(), payload.size()) && result.Next());
    EXPECT_EQ(result.GetInt("col"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cells, ResultSetInt,
                         testing::Values(IntCase{"BlanksThenMinus", "  -7", -7},
                                         IntCase{"Plus", "+5", 5},
                                         IntCase{"DigitsThenLetters", "12ab", 12},
                                         IntCase{"Empty", "", 0}, IntCase{"Letters", "abc", 0},
                                         IntCase{"AboveRange", "99999999999", INT32_MAX},
                                         IntCase{"BelowRange", "-99999999999", INT32_MIN}),
                         testcases::kCaseName);

TEST(ResultSetCells, NeighbouringCellsAndRowsStayApart) {
    const std::string payload = "YQ==,Yg==\n" + Base64Encode("12") + "," + Base64Encode("34") +
                                "\n" + Base64Encode("5") + ",\n";
    NetSqliteResultSet result;
    ASSERT_TRUE(result.Parse(payload.data(), payload.size()));
    std::vector<int32_t> numbers;
    std::vector<std::string> texts;
    while (result.Next()) {
        numbers.insert(numbers.end(), {result.GetInt("a"), result.GetInt("b")});
        texts.insert(texts.end(), {result.GetString("a"), result.GetString("b")});
    }
    EXPECT_EQ(numbers, (std::vector<int32_t>{12, 34, 5, 0}));
    EXPECT_EQ(texts, (std::vector<std::string>{"12", "34", "5", ""}));
    EXPECT_EQ(result.RowCount(), 2u);
}

TEST(Base64, StandardVectorsAndEveryByteRoundTrip) {
    const std::vector<std::pair<std::string, std::string>> vectors = {{"", ""},
                                                                      {"f", "Zg=="},
                                                                      {"fo", "Zm8="},
                                                                      {"foo", "Zm9v"},
                                                                      {"foob", "Zm9vYg=="},
                                                                      {"fooba", "Zm9vYmE="},
                                                                      {"foobar", "Zm9vYmFy"}};
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(Base64Encode(bytes), text);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
}

}  // namespace
