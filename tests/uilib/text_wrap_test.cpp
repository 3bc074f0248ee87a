// Wrapped text: Latin lines end between words, CJK between characters, an over-long word
// breaks inside; plain and marked-up text measure alike.
#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"

namespace {

int WidthOf(const char* text) { return CRenderEngine::GetTextSize(nullptr, text, -1, 0).cx; }
int LineHeight() { return CRenderEngine::GetTextSize(nullptr, "A", -1, 0).cy; }

struct WrapCase {
    const char* name;
    const char* text;
    // The line is as wide as `fits` plus half of `spare`: the next piece never fits as well.
    const char* fits;
    const char* spare;
    std::vector<const char*> lines;
    friend std::ostream& operator<<(std::ostream& os, const WrapCase& c) { return os << c.name; }
};

void ExpectSize(SIZE actual, SIZE expected, int maxWidth) {
    // Pieces are measured one by one, so a line's width may differ from the whole's by rounding.
    EXPECT_LE(std::abs(actual.cx - expected.cx), 2) << actual.cx << " vs " << expected.cx;
    EXPECT_LE(actual.cx, maxWidth);
    EXPECT_EQ(actual.cy, expected.cy);
}

class TextWrapTest : public uitest::SkinTest, public ::testing::WithParamInterface<WrapCase> {
protected:
    void ExpectMarkedUpSize() const {
        int maxWidth = MaxWidth();
        ExpectSize(CRenderEngine::GetHtmlTextSize(nullptr, GetParam().text, -1, maxWidth),
                   Expected(), maxWidth);
    }
    int MaxWidth() const { return WidthOf(GetParam().fits) + WidthOf(GetParam().spare) / 2; }
    SIZE Expected() const {
        int widest = 0;
        for (const char* line : GetParam().lines) widest = std::max(widest, WidthOf(line));
        return SIZE{widest, LineHeight() * static_cast<int>(GetParam().lines.size())};
    }
};

TEST_P(TextWrapTest, PlainTextWrapsWhereExpected) {
    int maxWidth = MaxWidth();
    ExpectSize(CRenderEngine::GetTextSize(nullptr, GetParam().text, -1, DT_WORDBREAK, maxWidth),
               Expected(), maxWidth);
}

TEST_P(TextWrapTest, MarkedUpTextWrapsWhereExpected) {
    ExpectMarkedUpSize();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextWrapTest,
    ::testing::Values(
        WrapCase{"latin_words_end_lines_at_spaces",
                 "alpha beta gamma delta epsilon",
                 "alpha beta gamma",
                 " delt",
                 {"alpha beta gamma", "delta epsilon"}},
        WrapCase{"over_long_word_breaks_inside",
                 "go abcdefghijabcdefghijabc",
                 "abcdefghij",
                 "a",
                 {"go", "abcdefghij", "abcdefghij", "abc"}},
        WrapCase{"chinese_breaks_between_characters",
                 "一二三四五六七八九十",
                 "一二三四",
                 "五",
                 {"一二三四", "五六七八", "九十"}},
        WrapCase{"mixed_latin_and_chinese",
                 "alpha 一二三四五六",
                 "alpha 一二三",
                 "四",
                 {"alpha 一二三", "四五六"}},
        WrapCase{"short_text_keeps_its_size", "车牌 ABC 123", "车牌 ABC 123", "x", {"车牌 ABC 123"}}),
    testcases::kCaseName);

// Markup that leaves widths alone (underline, colour), so plain lines give the expected size.
class MarkupWrapTest : public TextWrapTest {};

TEST_P(MarkupWrapTest, AWordSpanningPiecesOfMarkupWrapsWhole) {
    ExpectMarkedUpSize();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MarkupWrapTest,
    ::testing::Values(
        WrapCase{"word_of_two_pieces",
                 "alpha beta <u>gam</u>ma delta",
                 "alpha beta gam",
                 "ma",
                 {"alpha beta", "gamma delta"}},
        WrapCase{"word_of_three_pieces",
                 "one two <c #FFFF0000>th</c><u>re</u>e four",
                 "one two thr",
                 "ee",
                 {"one two", "three four"}},
        WrapCase{"blank_between_pieces_still_ends_a_line",
                 "alpha <u>beta</u> gamma",
                 "alpha beta",
                 " gam",
                 {"alpha beta", "gamma"}},
        WrapCase{"over_long_word_of_pieces_breaks_inside",
                 "go <u>abcdefghij</u>abcdefghijabc",
                 "abcdefghij",
                 "a",
                 {"go", "abcdefghij", "abcdefghij", "abc"}},
        WrapCase{"line_break_tag_ends_the_word",
                 "alpha<n>beta gamma",
                 "beta gamma",
                 "x",
                 {"alpha", "beta gamma"}}),
    testcases::kCaseName);

class TextMeasureTest : public uitest::SkinTest {};

TEST_F(TextMeasureTest, LongTextMeasuresAsManyLinesAsItHolds) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "word ";
    int maxWidth = WidthOf("word word word") + WidthOf("w") / 2;
    SIZE size = CRenderEngine::GetTextSize(nullptr, text.c_str(), -1, DT_WORDBREAK, maxWidth);
    EXPECT_EQ(size.cy, LineHeight() * 1000);
    EXPECT_LE(size.cx, maxWidth);
}

TEST_F(TextMeasureTest, LineFeedsStillEndLinesWhenWrapping) {
    SIZE size = CRenderEngine::GetTextSize(nullptr, "one\ntwo\n\nthree", -1, DT_WORDBREAK, 1000);
    EXPECT_EQ(size.cy, LineHeight() * 4);
    EXPECT_EQ(size.cx, WidthOf("three"));
}

}  // namespace
