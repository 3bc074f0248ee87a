// The workbook file dialog through uilib's seam: where it starts and what it returns.
#include <gtest/gtest.h>

#include "controls/choose_workbook_file.h"
#include "tests/support/case_printing.h"

namespace {

struct ChooseCase : testcases::NamedCase {
    const char* initial;
    bool save;
    const char* start;
};

class ChooseWorkbookFileTest : public ::testing::TestWithParam<ChooseCase> {
protected:
    void TearDown() override { UISetFileDialogHook(nullptr); }
};

TEST_P(ChooseWorkbookFileTest, StartsInTheFolderOfTheInitialPath) {
    std::string start;
    bool save = !GetParam().save;
    UISetFileDialogHook([&](bool is_save, CDuiString& path) {
        start = path.str();
        save = is_save;
        path = "/data/客户.xls";
        return true;
    });
    EXPECT_EQ(ChooseWorkbookFile(nullptr, {{"excel文件 *.xls", "*.xls"}}, GetParam().initial,
                                 GetParam().save),
              "/data/客户.xls");
    EXPECT_EQ(start, GetParam().start);
    EXPECT_EQ(save, GetParam().save);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ChooseWorkbookFileTest,
    ::testing::Values(ChooseCase{{"File"}, "/home/op/导入/名单.xlsx", false, "/home/op/导入/"},
                      ChooseCase{{"Folder"}, "/home/op/", true, "/home/op/"},
                      ChooseCase{{"NoFolder"}, "名单.xls", false, ""},
                      ChooseCase{{"RootOnly"}, "/名单.xls", true, ""},
                      ChooseCase{{"Empty"}, "", false, ""}),
    testcases::kCaseName);

TEST(ChooseWorkbookFileCancel, GivesAnEmptyPath) {
    UISetFileDialogHook([](bool, CDuiString&) { return false; });
    EXPECT_EQ(ChooseWorkbookFile(nullptr, {}, "/home/op/a.xls", false), "");
    UISetFileDialogHook(nullptr);
}

}  // namespace
