#include "tests/pages/page_list_fixture.h"

#include "tests/guisupport/gui_support.h"
#include "uilib/list_ui.h"
#include "uilib/menu_ui.h"

namespace pagetest {

namespace {

constexpr int kWaitMs = 5000;

testsupport::TestService::Options DemoService() {
    testsupport::TestService::Options options;
    options.demo = true;
    return options;
}

}  // namespace

PageListTest::PageListTest() : apptest::AppTest(DemoService()) {}

void PageListTest::SetUp() {
    ASSERT_TRUE(m_db.open(m_service.endpoint(), m_service.user(), m_service.password()).ok);
    BeforeLogIn();
    m_login = OpenLogin();
    m_main = LogIn(*m_login);
    ASSERT_NE(m_main, nullptr);
    CMainTabPageUI* page = m_main->GetPage(kPageList);
    ASSERT_NE(page, nullptr);
    m_page = static_cast<CPageList*>(page->GetInterface("PageList"));
    ASSERT_NE(m_page, nullptr);
    Caller().Register(task_names::kLoadDbRange, [this](TaskContext) { ++m_loads; });
    Caller().Register(task_names::kGetRowCount, [this](TaskContext) { ++m_counts; });
    if (ListLoadsAtLogIn()) {
        ASSERT_TRUE(WaitFor([&] { return ItemCount() > 0 && Enabled("btn_refresh_page"); }))
            << "the demo whitelist is shown after the log-in";
    }
    // A loaded machine may answer late; only the tests of a lost connection want it short.
    m_login->GetTask().SetReplyWait(50, 40);
}

void PageListTest::ExpectLostConnectionsSoon() {
    m_login->GetTask().SetReplyWait(50, 4);
}

bool PageListTest::WaitFor(const std::function<bool()>& done) {
    return guisupport::ProcessMessagesUntil(done, kWaitMs);
}

bool PageListTest::WaitForLoads(int count) {
    const int target = m_loads + count;
    return WaitFor([&] { return m_loads >= target; });
}

bool PageListTest::WaitForCounts(int count) {
    const int target = m_counts + count;
    return WaitFor([&] { return m_counts >= target; });
}

bool PageListTest::Refresh() {
    apptest::ClickControl(*m_main, "btn_refresh_page");
    return WaitFor([&] { return Enabled("btn_refresh_page"); });
}

void PageListTest::Exec(const std::string& sql) {
    ASSERT_TRUE(m_db.execute(sql).ok) << sql;
}

std::vector<std::string> PageListTest::Column(const std::string& sql) {
    std::vector<std::string> values;
    std::unique_ptr<NetSqliteResultSet> result;
    EXPECT_TRUE(m_db.query(sql, result).ok) << sql;
    while (result && result->Next()) {
        tstring text;
        DbGetText("v", text, *result);
        values.push_back(text);
    }
    return values;
}

int PageListTest::CountRows(const std::string& sql) {
    const std::vector<std::string> values = Column("SELECT count(*) AS v FROM (" + sql + ")");
    return values.empty() ? -1 : std::stoi(values.front());
}

void PageListTest::ReplaceRows(int customers) {
    Exec("DELETE FROM tabvehicleinfo");
    Exec("DELETE FROM tabcustomerinfo");
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
         std::to_string(customers) +
         ") INSERT INTO tabcustomerinfo (CustomerID, Code, Name) SELECT i, printf('T%04d', i), "
         "printf('客户%d', i) FROM n");
    Exec("INSERT INTO tabvehicleinfo (PlateID, CustomerID, Allowed) SELECT printf('测A%05d', "
         "CustomerID), CustomerID, 1 FROM tabcustomerinfo");
}

CListUI& PageListTest::List() {
    return *static_cast<CListUI*>(m_main->FindControl("customer_list")->GetInterface("List"));
}

int PageListTest::ItemCount() {
    return List().GetCount();
}

std::string PageListTest::Cell(int item, int column) {
    auto* row = static_cast<CListTextElementUI*>(List().GetItemAt(item)->GetInterface("ListTextElement"));
    return row ? row->GetText(column).str() : "<no row>";
}

int PageListTest::ColumnOf(const char* dataType) {
    CListHeaderUI* header = List().GetHeader();
    for (int i = 0; i < header->GetCount(); ++i)
        if (header->GetItemAt(i)->GetUserData() == dataType) return i;
    return -1;
}

std::string PageListTest::Text(const char* control) {
    return apptest::ControlText(*m_main, control).str();
}

bool PageListTest::Enabled(const char* control) {
    return apptest::IsControlEnabled(*m_main, control);
}

void PageListTest::ShowRow(int item) {
    m_main->GetPaintManager().UpdateLayout();
    List().EnsureVisible(item);
    m_main->GetPaintManager().UpdateLayout();
}

void PageListTest::ClickRow(int item, UINT keyState) {
    ShowRow(item);
    guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(List().GetItemAt(item)->GetPos()),
                      keyState);
}

void PageListTest::RightClickRow(int item) {
    ShowRow(item);
    guisupport::RightClick(m_main->GetHWND(),
                           guisupport::CenterOf(List().GetItemAt(item)->GetPos()));
}

void PageListTest::ChooseFromMenu(const char* command) {
    const std::vector<int> selected = List().GetSelectedItems();
    ASSERT_FALSE(selected.empty());
    RightClickRow(selected.back());
    CMenuWnd* menu = m_page->GetContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->IsVisible());
    CMenuElementUI* item = menu->FindItem(command);
    ASSERT_NE(item, nullptr) << command;
    menu->GetPaintManager().UpdateLayout();
    guisupport::Click(menu->GetHWND(), guisupport::CenterOf(item->GetPos()));
}

}  // namespace pagetest
