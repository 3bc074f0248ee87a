// The column and value mappings over a real workbook, the settings file and a dictionary.
#include <gtest/gtest.h>

#include <memory>

#include "settings/config.h"
#include "settings/ini_file.h"
#include "excel/excel_import_book.h"
#include "store/data_type_dictionary.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/support/case_printing.h"

namespace {

using Matches = std::map<tstring, tstring>;

DataTypeDictionary Dictionary() {
    DataTypeDictionary dictionary;
    dictionary.set_data_info({
        {"PlateID", {1, "PlateID", "车牌号码", 0, 1}},
        {"Color", {2, "Color", "颜色", 1, 1}},
        {"Code", {3, "Code", "客户代码", 0, 0}},
    });
    dictionary.set_data_map({{"Color", {{1, "红"}, {2, "蓝"}}}});
    return dictionary;
}

class MappingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_config = std::make_unique<CConfig>(m_scratch.file("wlsetting.ini"));
        m_book.SetDictionary(&m_dictionary);
    }

    // Sheet 0 and 1 share columns in other orders, sheet 2 has no data, sheet 3 none of them.
    void OpenWorkbook() {
        const std::string path = m_scratch.file("mapping.xlsx");
        MakeXlsx(path, {TextSheet("s0", {{u8"车牌号码", u8" 颜色 ", u8"备注:旧", u8"颜色"},
                                         {u8"京A1", u8"红色", "", u8"不读"},
                                         {u8"京A2", u8"蓝色 ", "", ""},
                                         {u8"京A3", u8"红色", "", ""}}),
                        TextSheet("s1", {{u8"颜色", u8"车主", u8"车牌号码"},
                                         {u8"绿色", u8"张三", u8"沪B1"},
                                         {u8"红色", "", u8"沪B2"}}),
                        TextSheet("header only", {{u8"颜色", u8"车牌号码"}}),
                        TextSheet("other", {{"x", "y"}, {"1", "2"}})});
        ASSERT_TRUE(m_book.OpenForImport(path).ok);
        m_book.ScanSheets();
    }

    void Store(const char* key, const tstring& value) { m_config->SetValue("Excel", key, value); }
    // What the settings file holds (GBK), not what the cache says.
    std::string Stored(const char* key) {
        return ini::ReadProfileString(m_config->SettingsPath(), "Excel", key);
    }
    std::vector<tstring> Chosen() {
        std::vector<tstring> chosen;
        for (const tstring& name : m_book.HeaderNames())
            if (m_book.HeaderChoice().at(name)) chosen.push_back(name);
        return chosen;
    }
    void Choose(std::initializer_list<tstring> columns, std::set<int> sheets) {
        for (const tstring& column : columns) m_book.AddChosenColumn(column);
        m_book.SetChosenSheets(sheets);
    }

    ScratchDir m_scratch;
    std::unique_ptr<CConfig> m_config;
    DataTypeDictionary m_dictionary = Dictionary();
    ExcelImportBook m_book;
};

TEST_F(MappingTest, OffersEveryHeaderOnceInWorkbookOrder) {
    OpenWorkbook();
    EXPECT_EQ(m_book.LoadColumnChoice(), ret_t(true, 0));
    const std::vector<tstring> all{"车牌号码", "颜色", "备注:旧", "车主", "x", "y"};
    EXPECT_EQ(m_book.HeaderNames(), all);
    EXPECT_EQ(Chosen(), all);  // nothing stored: all are offered as chosen
}

struct ColumnKeyCase : testcases::NamedCase {
    const char* stored;
    std::vector<tstring> chosen;
};

class StoredColumnChoice : public MappingTest,
                           public ::testing::WithParamInterface<ColumnKeyCase> {};

// A new layout: the stored names it has, and the columns named as a data type.
TEST_P(StoredColumnChoice, ChoosesStoredNamesTheWorkbookHasAndDataTypeNames) {
    Store("ExcelKey", GetParam().stored);
    OpenWorkbook();
    m_book.LoadColumnChoice();
    EXPECT_EQ(Chosen(), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, StoredColumnChoice,
    ::testing::Values(ColumnKeyCase{{"SomePresent"}, "车主:缺失", {"车牌号码", "颜色", "车主"}},
                      ColumnKeyCase{{"NonePresent"}, "缺失", {"车牌号码", "颜色"}},
                      ColumnKeyCase{{"SeparatorInName"}, "备注:旧", {"车牌号码", "颜色"}},
                      ColumnKeyCase{{"EmptyPieces"}, ":x::", {"车牌号码", "颜色", "x"}}),
    testcases::kCaseName);

// Another layout imported in between does not replace a layout's own choices.
TEST_F(MappingTest, EachLayoutGetsItsOwnChoicesBack) {
    OpenWorkbook();
    m_book.LoadColumnChoice();
    Choose({"颜色", "车主"}, {1});
    m_book.SaveColumnChoice();
    m_book.TypeMatching() = {{"Color", "车主"}};
    m_book.SaveTypeMatching();
    const std::string other = m_scratch.file("other.xlsx");
    MakeXlsx(other, {TextSheet("s", {{u8"车牌号码", "z"}, {u8"京B1", "1"}})});
    ASSERT_TRUE(m_book.OpenForImport(other).ok);
    m_book.ScanSheets();
    m_book.LoadColumnChoice();
    m_book.ClearChosenColumns();
    Choose({"z"}, {0});
    m_book.SaveColumnChoice();
    m_book.TypeMatching() = {{"PlateID", "z"}};
    m_book.SaveTypeMatching();

    m_book.ClearChosenColumns();
    OpenWorkbook();
    m_book.LoadColumnChoice();
    EXPECT_EQ(Chosen(), (std::vector<tstring>{"颜色", "车主"}));
    Choose({"颜色", "车主"}, {1});
    EXPECT_EQ(m_book.LoadTypeMatching(), ret_t(true, 0));
    EXPECT_EQ(m_book.TypeMatching(), (Matches{{"Color", "车主"}}));
}

TEST_F(MappingTest, SavesChosenColumnsInByteOrder) {
    OpenWorkbook();
    Choose({"颜色", "车牌号码", "x"}, {});
    m_book.SaveColumnChoice();
    EXPECT_EQ(Stored("ExcelKey"), "x:车牌号码:颜色");
}

TEST_F(MappingTest, MatchesSheetsWithDataToTheChosenColumns) {
    OpenWorkbook();
    Choose({"颜色", "车主"}, {});
    EXPECT_EQ(m_book.MatchSheetsToColumns(), ret_t(true, 0));
    EXPECT_EQ(m_book.SheetColumns(),
              (std::map<int, std::set<tstring>>{{0, {"颜色"}}, {1, {"颜色", "车主"}}}));
    EXPECT_EQ(m_book.SheetsWithoutColumns(), std::set<int>{3});
    m_book.BuildHeaderIndex(0);
    EXPECT_EQ(m_book.HeaderIndex(), (std::map<tstring, int>{{"颜色", 1}}));  // the first one wins
}

TEST_F(MappingTest, DistinctValuesAreTrimmedUniqueAndInByteOrder) {
    OpenWorkbook();
    Choose({"颜色", "车牌号码"}, {0, 1});
    EXPECT_EQ(m_book.DistinctValues("颜色"), (std::set<tstring>{"红色", "蓝色", "绿色"}));
    // Another choice of sheets, or another workbook, does not offer the earlier values.
    m_book.SetChosenSheets({0});
    EXPECT_EQ(m_book.DistinctValues("颜色"), (std::set<tstring>{"红色", "蓝色"}));
    const std::string other = m_scratch.file("other.xlsx");
    MakeXlsx(other, {TextSheet("s", {{u8"颜色"}, {u8"黑色"}, {u8"白色"}})});
    ASSERT_TRUE(m_book.OpenForImport(other).ok);
    m_book.ScanSheets();
    EXPECT_EQ(m_book.DistinctValues("颜色"), (std::set<tstring>{"白色", "黑色"}));
}

struct TypeKeyCase : testcases::NamedCase {
    const char* stored;
    bool something_stored;
    Matches matching;
};

class StoredTypeMatching : public MappingTest, public ::testing::WithParamInterface<TypeKeyCase> {};

TEST_P(StoredTypeMatching, KeepsEntriesThatStillFit) {
    Store("ExcelMatchKey", GetParam().stored);
    OpenWorkbook();
    Choose({"颜色", "车牌号码", "车主"}, {0, 1});
    EXPECT_EQ(m_book.LoadTypeMatching(), ret_t(GetParam().something_stored, 0));
    EXPECT_EQ(m_book.TypeMatching(), GetParam().matching);
}

const Matches kByDisplayName{{"PlateID", "车牌号码"}, {"Color", "颜色"}};

INSTANTIATE_TEST_SUITE_P(
    Keys, StoredTypeMatching,
    ::testing::Values(TypeKeyCase{{"NothingStored"}, "", false, kByDisplayName},
                      TypeKeyCase{{"OnlyMalformed"}, "PlateID^Color:颜色:x", false, kByDisplayName},
                      // A new layout: the columns the last matching does not cover go by name.
                      TypeKeyCase{{"ColumnNoLongerChosen"}, "Color:备注", true, kByDisplayName},
                      TypeKeyCase{{"UnknownDataType"}, "Gone:颜色", true, kByDisplayName},
                      TypeKeyCase{{"OthersByName"}, "PlateID:车主", true,
                                  {{"PlateID", "车主"}, {"Color", "颜色"}}},
                      TypeKeyCase{{"FirstEntryWins"},
                                  "PlateID:车主^PlateID:车牌号码^Color:颜色",
                                  true,
                                  {{"PlateID", "车主"}, {"Color", "颜色"}}}),
    testcases::kCaseName);

TEST_F(MappingTest, SavesTypeMatchingByDataType) {
    OpenWorkbook();
    Choose({"颜色", "车牌号码"}, {0});
    m_book.LoadTypeMatching();
    m_book.SaveTypeMatching();
    EXPECT_EQ(Stored("ExcelMatchKey"), "Color:颜色^PlateID:车牌号码");
}

TEST_F(MappingTest, DropsStoredValuePairsThatNoLongerFit) {
    // 绿色 is only on sheet 1, which is not chosen; 黄 is no common value; PlateID is no lookup.
    Store("ExcelMatchValue",
          "Color:红色=红,绿色=红,红色=蓝,坏,蓝色=黄,,蓝色=蓝^Color:红色=蓝^PlateID:京A1=红^Code");
    OpenWorkbook();
    Choose({"颜色", "车牌号码"}, {0});
    m_book.LoadTypeMatching();
    EXPECT_EQ(m_book.LoadValueMatching(), ret_t(true, 0));
    EXPECT_EQ(m_book.ValueMatching(),
              (std::map<tstring, Matches>{{"Color", {{"红色", "红"}, {"蓝色", "蓝"}}}}));
    EXPECT_EQ(m_book.DistinctValues("颜色"), (std::set<tstring>{"红色", "蓝色"}));
}

TEST_F(MappingTest, ChangesAndSavesValueMatches) {
    OpenWorkbook();
    Choose({"颜色", "车牌号码"}, {0, 1});
    m_book.LoadTypeMatching();
    m_book.LoadValueMatching();
    EXPECT_TRUE(m_book.SetValueMatch("Color", "红", "红色"));
    EXPECT_FALSE(m_book.SetValueMatch("Color", "蓝", "红色"));  // the old match stays
    EXPECT_TRUE(m_book.SetValueMatch("Color", "蓝", "蓝色"));
    m_book.SaveValueMatching();
    EXPECT_EQ(Stored("ExcelMatchValue"), "Color:红色=红,蓝色=蓝");
    m_book.RemoveValueMatch("Color", "红色");
    m_book.RemoveValueMatch("Color", "红色");
    m_book.RemoveValueMatch("Size", "x");
    m_book.RemoveValueMatch("Color", "蓝色");
    m_book.SaveValueMatching();
    EXPECT_EQ(Stored("ExcelMatchValue"), "Color:");
}

}  // namespace
