// Text: CDuiString, GBK conversion at the library's edge, attribute lists, colours and markup.
#include <string>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"
#include "uilib/internal/attribute_list.h"
#include "uilib/internal/text_codec.h"

namespace {

TEST(DuiStringTest, FormatGrowsBeyondAnyFixedBuffer) {
    CDuiString s;
    std::string long_text(5000, 'x');
    EXPECT_EQ(s.Format("%s-%d", long_text.c_str(), 7), 5002);
    EXPECT_EQ(s.Right(2), "-7");
    EXPECT_EQ(s.Format("第%d/%d页", 3, 10), static_cast<int>(std::strlen("第3/10页")));
    EXPECT_EQ(s, "第3/10页");
}

struct SliceCase : testcases::NamedCase {
    int pos, length;
    const char* mid;
};

class DuiStringSliceTest : public ::testing::TestWithParam<SliceCase> {};

TEST_P(DuiStringSliceTest, MidStaysInsideTheText) {
    const SliceCase& c = GetParam();
    EXPECT_EQ(CDuiString("abcdef").Mid(c.pos, c.length), c.mid) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, DuiStringSliceTest,
    ::testing::Values(SliceCase{"middle", 2, 3, "cde"}, SliceCase{"to_end", 4, -1, "ef"},
                      SliceCase{"past_end", 4, 99, "ef"}, SliceCase{"start_past_end", 9, 2, ""},
                      SliceCase{"negative_start", -3, 2, "ab"}, SliceCase{"zero_length", 1, 0, ""}),
    testcases::kCaseName);

TEST(DuiStringTest, CharacterAccessOutsideTheTextIsHarmless) {
    CDuiString s("ab");
    EXPECT_EQ(s[1], 'b');
    EXPECT_EQ(s[2], '\0');
    EXPECT_EQ(s.GetAt(-1), '\0');
    s.SetAt(5, 'z');
    s.SetAt(0, 'A');
    EXPECT_EQ(s, "Ab");
    EXPECT_EQ(s.Left(-2), "");
    EXPECT_EQ(s.Right(9), "Ab");
}

TEST(DuiStringTest, FindAndReplace) {
    CDuiString s("aaa.bbb.aaa");
    EXPECT_EQ(s.Find('.'), 3);
    EXPECT_EQ(s.Find('.', 4), 7);
    EXPECT_EQ(s.Find("aaa", 1), 8);
    EXPECT_EQ(s.Find('.', 40), -1);
    EXPECT_EQ(s.ReverseFind('.'), 7);
    // A replacement containing the pattern is not replaced again.
    EXPECT_EQ(s.Replace("aaa", "aaaa"), 2);
    EXPECT_EQ(s, "aaaa.bbb.aaaa");
    EXPECT_EQ(s.Replace("", "x"), 0);
}

TEST(DuiStringTest, ComparisonIsByteWiseAndCaseFoldingLeavesChineseAlone) {
    CDuiString plate("粤b12345");
    EXPECT_TRUE(plate == "粤b12345");
    EXPECT_TRUE(plate != "粤B12345");
    EXPECT_EQ(plate.CompareNoCase("粤B12345"), 0);
    CDuiString upper = plate;
    upper.MakeUpper();
    EXPECT_EQ(upper, "粤B12345");
    EXPECT_EQ(CDuiString("a") + "b" + CDuiString('c'), "abc");
    EXPECT_EQ(CDuiString("abc", 99), "abc");
    EXPECT_EQ(CDuiString(nullptr), "");
}

TEST(TextCodecTest, ChineseSurvivesTheRoundTrip) {
    const char* gbk = "客户名称：张三（粤B·12345）";
    QString text = uilib_detail::FromGbk(gbk);
    EXPECT_EQ(text, QString::fromUtf8(u8"客户名称：张三（粤B·12345）"));
    EXPECT_EQ(uilib_detail::ToGbk(text), gbk);
}

TEST(TextCodecTest, EveryCharacterSurvivesAndBrokenBytesAreMarked) {
    // An emoji (outside the basic plane) and a Thai letter, which GBK alone has no code for.
    const QString beyondGbk = QString::fromUtf8("ok\xF0\x9F\x98\x80\xE0\xB8\x81");
    EXPECT_EQ(uilib_detail::FromGbk(uilib_detail::ToGbk(beyondGbk)), beyondGbk);
    // A lead byte without a valid trail byte, and one cut off at the end.
    EXPECT_EQ(uilib_detail::FromGbk(std::string("a\x81\x20z\xB0", 5)),
              QString::fromUtf8("a\xEF\xBF\xBD z\xEF\xBF\xBD"));
    // Half a surrogate pair, as a broken paste can leave in an edit, is marked, not made a "?".
    const QString halfPair = QString(QChar(0xD83D)) + "a" + QChar(0xDE00);
    EXPECT_EQ(uilib_detail::ToGbk(halfPair), "\x84\x31\xA4\x37" "a" "\x84\x31\xA4\x37");
}

struct AttributeCase : testcases::NamedCase {
    const char* list;
    uilib_detail::AttributeList expected;
};

class AttributeListTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeListTest, Parses) {
    const AttributeCase& c = GetParam();
    EXPECT_EQ(uilib_detail::ParseAttributeList(c.list), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AttributeListTest,
    ::testing::Values(
        AttributeCase{"plain", R"(width="10" text="a b")", {{"width", "10"}, {"text", "a b"}}},
        AttributeCase{"spaces_around_equals", R"(  width = "10"  )", {{"width", "10"}}},
        AttributeCase{"single_quotes_hold_double",
                      R"(bkimage='file="x.png"')",
                      {{"bkimage", "file=\"x.png\""}}},
        AttributeCase{"double_quotes_hold_single",
                      R"(bkimage="file='x.png' fade='9'")",
                      {{"bkimage", "file='x.png' fade='9'"}}},
        AttributeCase{"unterminated_value_dropped", R"(a="1" b="2)", {{"a", "1"}}},
        AttributeCase{"missing_value_stops", R"(a="1" b c="3")", {{"a", "1"}}}),
    testcases::kCaseName);

TEST(AttributeListTest, FormattingChoosesAQuoteThatFits) {
    uilib_detail::AttributeList list{{"a", "x\"y"}, {"b", "p'q"}};
    EXPECT_EQ(uilib_detail::ParseAttributeList(uilib_detail::FormatAttributeList(list).c_str()),
              list);
}

TEST(ColorTest, ParsesAlphaAndOpaqueForms) {
    EXPECT_EQ(ParseColor("#FF2D8CF0"), 0xFF2D8CF0u);
    EXPECT_EQ(ParseColor("#2D8CF0"), 0xFF2D8CF0u);
    EXPECT_EQ(ParseColor("0x802D8CF0"), 0x802D8CF0u);
    EXPECT_EQ(ParseColor("#00000000"), 0u);
    EXPECT_EQ(ParseColor(nullptr), 0u);
}

class MarkupTest : public uitest::SkinTest {};

TEST_F(MarkupTest, SpacingTagsWidenAndUnknownTagsShowAsText) {
    int plain = CRenderEngine::GetHtmlTextSize(nullptr, "编辑", -1).cx;
    EXPECT_EQ(CRenderEngine::GetHtmlTextSize(nullptr, "<x 25>编辑", -1).cx, plain + 25);
    EXPECT_GT(CRenderEngine::GetHtmlTextSize(nullptr, "<q>编辑", -1).cx, plain);
    EXPECT_EQ(CRenderEngine::GetHtmlTextSize(nullptr, "<c #FFFF0000>编</c>辑", -1).cx, plain);
    SIZE one = CRenderEngine::GetHtmlTextSize(nullptr, "编辑", -1);
    SIZE two = CRenderEngine::GetHtmlTextSize(nullptr, "编<n>辑", -1);
    EXPECT_EQ(two.cy, 2 * one.cy);
}

}  // namespace
