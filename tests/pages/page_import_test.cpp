// The import wizard and its run against a real service, with workbooks written by the test.
#include <cstdio>

#include "controls/combo_union_ui.h"
#include "controls/list_item_ui.h"
#include "pages/page_import.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/layout_ui.h"
#include "uilib/list_ui.h"

namespace pagetest {
namespace {

// Workbook column -> data type, as the operator matches them in the wizard.
const std::vector<std::pair<std::string, std::string>> kColumns = {
    {"Code", "Code"},   {"Name", "Name"},           {"PlateID", "PlateID"}, {"Color", "Color"},
    {"From", "ValidFrom"}, {"Until", "ValidUntil"}, {"Allowed", "Allowed"}};

std::string Numbered(const char* format, int i) {
    char text[64];
    std::snprintf(text, sizeof text, format, i);
    return text;
}

// Row i: customer T<i> with vehicle P<i>; colours cycle through white, black and an unmatched
// green; every third vehicle is not allowed.
XlsxSheet CustomerSheet(int rows) {
    XlsxSheet sheet{"whitelist", {}};
    XlsxRow header;
    for (const auto& column : kColumns) header.emplace_back(column.first);
    sheet.rows.push_back(header);
    const char* const colors[] = {"white", "black", "green"};
    for (int i = 0; i < rows; ++i) {
        sheet.rows.push_back({Numbered("T%04d", i), Numbered("Name %d", i), Numbered("P%05d", i),
                              std::string(colors[i % 3]), XlsxDate{2026, 3, 1 + i % 28, 0, 0, 0},
                              XlsxDate{2026, 12, 31, 23, 59, 59}, std::string(i % 3 == 2 ? "0" : "1")});
    }
    return sheet;
}

class ImportTest : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        if (HasFatalFailure()) return;
        m_main->SelectNavOption(1);
        m_import = static_cast<CPageImport*>(m_main->GetPage(kPageImport)->GetInterface("PageImport"));
        ASSERT_NE(m_import, nullptr);
        Caller().Register(task_names::kImportRows, [this](TaskContext ctx) {
            m_batches.push_back(static_cast<int>(ctx.Get(task_keys::results).size()));
        });
        m_config->SetIntValue("Operation", "ExcelColunmTooFew", 0);
        m_config->SetIntValue("Operation", "NoCustomerCodeTooFew", 0);
    }

    CListUI& ListNamed(const char* name) {
        return *static_cast<CListUI*>(m_main->FindControl(name)->GetInterface("List"));
    }
    CContainerUI& ContainerNamed(const char* name) {
        return *static_cast<CContainerUI*>(m_main->FindControl(name)->GetInterface("Container"));
    }
    static CComboUnionUI* Selector(CControlUI* row) {
        auto* cells = static_cast<CContainerUI*>(row->GetInterface("Container"));
        return static_cast<CComboUnionUI*>(cells->GetItemAt(1)->GetInterface("ComboUnion"));
    }
    void Next() { apptest::ClickControl(*m_main, "btn_excel_next"); }
    void TickEvery(const char* list) {
        CContainerUI& options = ContainerNamed(list);
        for (int i = 0; i < options.GetCount(); ++i)
            static_cast<COptionUI*>(options.GetItemAt(i)->GetInterface("Option"))->Selected(true, false);
    }

    // Steps 0 to 3 shown one by one, every column chosen, matched as kColumns says; the colour
    // texts white and black matched to the first two common values.
    void RunWizardTo(const std::string& path, int step) {
        m_config->SetIntValue("Import", "AutoStep", 0);
        apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepColumns) << ::testing::PrintToString(m_boxes);
        TickEvery("import_select_excel_types");
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepSheets);
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepMatch);
        if (step == CPageImport::kStepMatch) return;
        MatchTypes();
        MatchColors();
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << ::testing::PrintToString(m_boxes);
    }
    void MatchTypes() {
        CListUI& types = ListNamed("import_list_excel_db_match_type");
        ASSERT_EQ(types.GetCount(), static_cast<int>(kColumns.size()));
        for (int i = 0; i < types.GetCount(); ++i) {
            const data_type_info_t* info = Caller().GetDictionary().find(kColumns[i].second);
            ASSERT_NE(info, nullptr);
            Selector(types.GetItemAt(i))->Choose(info->DataTypeName.c_str(), info->DataType.c_str());
        }
    }
    void MatchColors() {
        CListUI& types = ListNamed("import_list_excel_db_match_type");
        types.SelectItem(3);
        CListUI& values = ListNamed("import_list_excel_db_match_value");
        const auto& colors = Caller().GetDictionary().data_map().at("Color");
        for (int i = 0; i < values.GetCount(); ++i) {
            const CDuiString text = values.GetItemAt(i)->GetUserData();
            const int id = text == "white" ? 0 : text == "black" ? 1 : -1;
            if (id >= 0) Selector(values.GetItemAt(i))->Choose(colors[id].second.c_str(), "");
        }
    }
    bool RunImport() {
        apptest::ClickControl(*m_main, "btn_start_import");
        return WaitFor([&] { return m_import->GetRunState() == CPageImport::kIdle; });
    }
    std::vector<std::string> Stored(int rows) {
        return Column("SELECT c.Code || '|' || c.Name || '|' || v.PlateID || '|' || v.Color || '|' || "
                      "v.ValidFrom || '|' || v.ValidUntil || '|' || v.Allowed AS v FROM tabvehicleinfo v "
                      "JOIN tabcustomerinfo c ON c.CustomerID = v.CustomerID WHERE v.PlateID LIKE 'P%' "
                      "ORDER BY v.PlateID LIMIT " + std::to_string(rows));
    }
    static std::string Expected(int i) {
        const char* const colorIds[] = {"1", "2", "-1"};
        return Numbered("T%04d", i) + "|" + Numbered("Name %d", i) + "|" + Numbered("P%05d", i) + "|" +
               colorIds[i % 3] + "|" + Numbered("2026-03-%02d", 1 + i % 28) + "|2026-12-31 23:59:59|" +
               (i % 3 == 2 ? "0" : "1");
    }
    int MarkedItems(const char* mark) {
        CListUI& grid = ListNamed("import_list");
        int marked = 0;
        for (int i = 0; i < grid.GetCount(); ++i) {
            CControlUI* tip = m_main->GetPaintManager().FindSubControlByName(grid.GetItemAt(i), mark);
            if (tip && tip->IsVisible()) ++marked;
        }
        return marked;
    }

    CPageImport* m_import = nullptr;
    std::vector<int> m_batches;
};

TEST_F(ImportTest, AllPagesImportsEveryRowInPageBatchesAndReimportReportsNoChange) {
    const std::string path = m_dir.file("customers.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(m_import->GetTotalRows(), 250);
    EXPECT_EQ(m_import->GetPageCount(), 3);
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    const int loadsBefore = m_loads;
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(m_import->LastNotice(), "导入已完成，共处理数据250条,成功导入250条");
    EXPECT_TRUE(WaitFor([&] { return m_loads > loadsBefore; })) << "need_refresh_list reloads the list";
    const std::vector<std::string> stored = Stored(250);
    ASSERT_EQ(stored.size(), 250u);
    for (int i = 0; i < 250; ++i) EXPECT_EQ(stored[i], Expected(i));

    m_batches.clear();
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(m_import->LastNotice(), "导入已完成，共处理数据250条,成功导入0条");
    EXPECT_EQ(MarkedItems("import_nochange_tip"), 50) << "the last page shows its marks";
    EXPECT_EQ(MarkedItems("import_success_tip"), 0);
}

}  // namespace
}  // namespace pagetest
