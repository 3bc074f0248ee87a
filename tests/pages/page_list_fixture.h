#pragma once
// The customer list after a real log-in against a service with the demo data, and a connection
// of the test's own to the same service to prepare and check data.
#include <functional>
#include <string>
#include <vector>

#include "app/dlg_login.h"
#include "app/main_wnd.h"
#include "pages/page_list.h"
#include "store/store.h"
#include "tests/app/app_test_support.h"

namespace pagetest {

class PageListTest : public apptest::AppTest {
protected:
    PageListTest();
    void SetUp() override;
    // Prepares the service's data before the log-in loads it.
    virtual void BeforeLogIn() {}
    // Whether SetUp waits for the first page of rows after the log-in.
    virtual bool ListLoadsAtLogIn() const { return true; }

    // A silent service counts as lost after 200 ms instead of 2 s (call while nothing is queued).
    void ExpectLostConnectionsSoon();
    // Handles window messages until done() holds (5 s at most).
    static bool WaitFor(const std::function<bool()>& done);
    // Until the page has had `count` more page loads (or count more row counts) completed.
    bool WaitForLoads(int count = 1);
    bool WaitForCounts(int count = 1);
    // Presses refresh and waits until the page is filled again (or found no rows).
    bool Refresh();

    // The test's own statements and queries against the service.
    void Exec(const std::string& sql);
    std::vector<std::string> Column(const std::string& sql);
    int CountRows(const std::string& sql);
    // Empties the whitelist and adds `customers` customers with one vehicle each.
    void ReplaceRows(int customers);

    CListUI& List();
    int ItemCount();
    // The text of column `column` (1 = first data column) of grid item `item`.
    std::string Cell(int item, int column);
    // The grid column of a data type, counted like Cell; -1 when it is not shown.
    int ColumnOf(const char* dataType);
    std::string Text(const char* control);
    bool Enabled(const char* control);
    // Scrolls the grid item into view.
    void ShowRow(int item);
    void ClickRow(int item, UINT keyState = 0);
    void RightClickRow(int item);
    // Opens the context menu on the last selected row and clicks `command`.
    void ChooseFromMenu(const char* command);
    db_task_caller& Caller() { return m_login->GetTaskCaller(); }

    std::unique_ptr<CDlgLogin> m_login;
    CMainWnd* m_main = nullptr;
    CPageList* m_page = nullptr;
    DbConnection m_db;
    int m_loads = 0;
    int m_counts = 0;
};

}  // namespace pagetest
