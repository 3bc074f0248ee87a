#include <gtest/gtest.h>

#include "store/list_queries.h"
#include "store/sql_text.h"

namespace {

data_type_info_t type(int show, const tstring& name, int category, int show_list = 1, int kind = 0,
                      int read_only = 0) {
    data_type_info_t info;
    info.ShowIndex = show;
    info.DataType = name;
    info.DataTypeCategory = category;
    info.ShowList = show_list;
    info.Type = kind;
    info.ReadOnly = read_only;
    return info;
}

std::vector<tstring> names(const DataTypeDictionary::column_list& list) {
    std::vector<tstring> out;
    for (const data_type_info_t* info : list) out.push_back(info->DataType);
    return out;
}

// A connection whose columns are those of the seeded database plus a few odd ones.
class Composition : public ::testing::Test {
protected:
    void SetUp() override {
        DataTypeDictionary::data_info_map info;
        for (const auto& t : {type(1, "Code", 0), type(2, "Name", 0), type(3, "Phone", 0, 0),
                              type(5, "RegisterTime", 0, 0, 0, 1), type(11, "PlateID", 1),
                              type(12, "Color", 1, 1, 1), type(13, "Allowed", 1, 0),
                              type(13, "Alias", 1, 1), type(20, "Note", 2)}) {
            info[t.DataType] = t;
            db.set_category(t.DataType, t.DataTypeCategory);
        }
        db.dictionary().set_data_info(info);
        db.dictionary().set_data_map(
            {{"Color", {{2, "red"}, {12, "dark red"}, {3, "blue"}, {7, "\xD5\x5F\x81\x5C"}}}});
    }
    DbConnection db;
};

TEST_F(Composition, ListsAreOrderedUniqueByShowIndexAndSkipOtherCategories) {
    // Alias and Allowed share ShowIndex 13: the smaller name wins, in both lists alike.
    EXPECT_EQ(names(db.dictionary().all_columns()),
              (std::vector<tstring>{"Code", "Name", "Phone", "RegisterTime", "PlateID", "Color",
                                    "Alias"}));
    EXPECT_EQ(names(db.dictionary().shown_columns()),
              (std::vector<tstring>{"Code", "Name", "PlateID", "Color", "Alias"}));
    EXPECT_EQ(db.dictionary().data_info().size(), 9u);
}

TEST_F(Composition, CopiedDictionaryOwnsItsLists) {
    auto copy = std::make_unique<DataTypeDictionary>(db.dictionary());
    DataTypeDictionary assigned;
    assigned = *copy;
    copy.reset();
    EXPECT_EQ(names(assigned.all_columns()), names(db.dictionary().all_columns()));
    assigned.set_data_type(type(12, "Color", 0, 0));  // category change moves it at once
    EXPECT_EQ(names(assigned.shown_columns()),
              (std::vector<tstring>{"Code", "Name", "PlateID", "Alias"}));
}

struct QuoteCase {
    const char* label;
    tstring input, literal, value, name;
};
void PrintTo(const QuoteCase& c, std::ostream* out) {
    *out << c.label;
}

class Quoting : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(Quoting, NoTextLeavesItsQuotes) {
    EXPECT_EQ(sql::literal(GetParam().input), GetParam().literal);
    EXPECT_EQ(sql::value(GetParam().input), GetParam().value);
    EXPECT_EQ(sql::name(GetParam().input), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Quoting,
    ::testing::Values(
        QuoteCase{"empty", "", "''", "NULL", "\"\""},
        QuoteCase{"plain", "Name", "'Name'", "'Name'", "Name"},
        QuoteCase{"quote", "O'Brien", "'O''Brien'", "'O''Brien'", "\"O'Brien\""},
        QuoteCase{"injection", "x' or '1'='1", "'x'' or ''1''=''1'", "'x'' or ''1''=''1'",
                  "\"x' or '1'='1\""},
        QuoteCase{"double quote", "a\"b; --", "'a\"b; --'", "'a\"b; --'", "\"a\"\"b; --\""},
        QuoteCase{"chinese", "车牌", "'车牌'", "'车牌'", "车牌"},
        QuoteCase{"leading digit", "2x", "'2x'", "'2x'", "\"2x\""},
        // Only real GBK pairs pass as plain: a lone lead byte must not take a
        // comma, a quote or a 0x7F trail along into the statement.
        QuoteCase{"gbk pair with ascii trail", "\x81\x40\x81\x5C", "'\x81\x40\x81\x5C'",
                  "'\x81\x40\x81\x5C'", "\x81\x40\x81\x5C"},
        QuoteCase{"lead byte then comma", "a\x81,b", "'a\x81,b'", "'a\x81,b'", "\"a\x81,b\""},
        QuoteCase{"lead byte then quote", "a\xFE\"", "'a\xFE\"'", "'a\xFE\"'", "\"a\xFE\"\"\""},
        QuoteCase{"trail 0x7F", "a\x81\x7F", "'a\x81\x7F'", "'a\x81\x7F'", "\"a\x81\x7F\""},
        QuoteCase{"lead 0xFF", "\xFF\x41", "'\xFF\x41'", "'\xFF\x41'", "\"\xFF\x41\""},
        QuoteCase{"lone lead at the end", "ab\x81", "'ab\x81'", "'ab\x81'", "\"ab\x81\""}));

TEST_F(Composition, ColumnsTakingPartFollowCategoryAndReadOnly) {
    const value_map_t values{{"CustomerID", "7"},   {"Code", "c"}, {"PlateID", "p"}, {"Color", ""},
                             {"RegisterTime", "t"}, {"Note", "n"}, {"Unknown", "u"}};
    auto keys = [&](sql::Record r, sql::Statement s) {
        std::vector<tstring> out;
        for (const auto& e : sql::entries_taking_part(db, r, s, values)) out.push_back(e.first);
        return out;
    };
    using R = sql::Record;
    using S = sql::Statement;
    // CustomerID counts as a customer column by name only because no data type describes it.
    EXPECT_EQ(keys(R::Customer, S::Insert),
              (std::vector<tstring>{"Code", "CustomerID", "RegisterTime", "Unknown"}));
    EXPECT_EQ(keys(R::Customer, S::Update),
              (std::vector<tstring>{"Code", "CustomerID", "Unknown"}));
    EXPECT_EQ(keys(R::Vehicle, S::Match), (std::vector<tstring>{"Color", "CustomerID", "PlateID"}));
    EXPECT_EQ(keys(R::Vehicle, S::Update), (std::vector<tstring>{"Color", "CustomerID"}));
    const value_map_t two{{"Color", ""}, {"PlateID", "A'1"}};
    EXPECT_EQ(sql::match_condition(two), "(Color IS NULL or Color='') and PlateID='A''1'");
    EXPECT_EQ(sql::set_list(two), "Color = NULL, PlateID = 'A''1'");
    EXPECT_EQ(sql::insert_columns(two) + " / " + sql::insert_values(two),
              "Color,PlateID / NULL,'A''1'");
}

TEST_F(Composition, SearchConditionJoinsTermsWithOr) {
    EXPECT_EQ(search_condition(db, {}), "");
    EXPECT_EQ(search_condition(db, {{"Name", "li"}, {"Color", "red"}}),
              " WHERE Name LIKE '%li%' ESCAPE '\\' or Color LIKE '%2%' ESCAPE '\\' or Color LIKE "
              "'%12%' ESCAPE '\\'");
    // The operator's %, _ and \ are matched as themselves; GBK trail bytes 0x5C and 0x5F are not
    // escaped.
    EXPECT_EQ(search_condition(db, {{"Color", "green"}, {"CustomerID", "4_%\\"}}),
              " WHERE tabcustomerinfo.CustomerID LIKE '%4\\_\\%\\\\%' ESCAPE '\\'");
    // A lookup value is searched by characters: "_" and "\\" are not found inside GBK pairs.
    EXPECT_EQ(search_condition(db, {{"Color", "_"}, {"Color", "\\"}, {"Color", "\x5F\x81"}}), "");
    EXPECT_EQ(search_condition(db, {{"Color", "\x81\x5C"}}), " WHERE Color LIKE '%7%' ESCAPE '\\'");
    EXPECT_EQ(search_condition(db, {{"Name", "it's \x81\x5C\xD5\x5F"}}),
              " WHERE Name LIKE '%it''s \x81\x5C\xD5\x5F%' ESCAPE '\\'");
}

TEST_F(Composition, PageColumnsAndSort) {
    EXPECT_EQ(page_columns(db),
              "tabcustomerinfo.Code, tabcustomerinfo.Name, tabvehicleinfo.Alias, "
              "tabvehicleinfo.Color, tabvehicleinfo.PlateID, tabcustomerinfo.CustomerID");
    const tstring ties = ", tabcustomerinfo.CustomerID asc, tabvehicleinfo.rowid asc";
    EXPECT_EQ(sort_clause(db, {1, "PlateID"}), "tabvehicleinfo.PlateID COLLATE pinyin asc" + ties);
    for (int order : {0, 2, -1})
        EXPECT_EQ(sort_clause(db, {order, "Name"}), "tabcustomerinfo.Name COLLATE pinyin desc" + ties);
    EXPECT_EQ(sort_clause(db, {0, ""}), "tabcustomerinfo.CustomerID asc, tabvehicleinfo.rowid asc");
    EXPECT_EQ(sort_clause(db, {1, "Nobody"}), "tabcustomerinfo.Nobody COLLATE pinyin asc" + ties);
}

}  // namespace
