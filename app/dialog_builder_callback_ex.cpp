#include "app/dialog_builder_callback_ex.h"

#include <cstring>

#include "app/main_tab_page_ui.h"

namespace {

struct PageClass {
    const char* className;
    const char* layout;
};

// The five pages of the main window, each on its own layout.
const PageClass kPageClasses[] = {
    {"PageList", "pagelist.xml"},         {"PageImport", "pageimport.xml"},
    {"PageExport", "pageexport.xml"},     {"PageEdit", "pageedit.xml"},
    {"PageDbConfig", "pagedbconfig.xml"},
};

}  // namespace

CControlUI* CDialogBuilderCallbackEx::CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) {
    if (!pstrClass) return nullptr;
    for (const PageClass& page : kPageClasses) {
        if (std::strcmp(pstrClass, page.className) == 0)
            return new CMainTabPageUI(page.layout, pManager);
    }
    return CExControlFactory::CreateControl(pstrClass, pManager);
}
