#include "app/dialog_builder_callback_ex.h"

#include <cstring>

#include "app/main_tab_page_ui.h"
#include "controls/list_item_ui.h"
#include "controls/small_controls_ui.h"

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

template <typename TControl>
CControlUI* Make() {
    return new TControl;
}

struct ControlClass {
    const char* className;
    CControlUI* (*create)();
};

// The program's own controls, by the class names the layouts use.
const ControlClass kControlClasses[] = {
    {"ListTextContainerElement", Make<CListTextContainerElementUI>},
    {"ImportListItem", Make<CImportListItemUI>},
    {"EditAbleLabel", Make<CEditAbleLabelUI>},
    {"DataListItem", Make<CDataListItemUI>},
    {"AddListItem", Make<CAddListItemUI>},
    {"DbConfigListItem", Make<CDbConfigListItemUI>},
    {"EmptySelectableCombo", Make<CEmptySelectableComboUI>},
    {"MovableOption", Make<CMovableOptionUI>},
};

}  // namespace

CControlUI* CDialogBuilderCallbackEx::CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) {
    if (!pstrClass) return nullptr;
    for (const PageClass& page : kPageClasses) {
        if (std::strcmp(pstrClass, page.className) == 0)
            return new CMainTabPageUI(page.layout, pManager);
    }
    for (const ControlClass& control : kControlClasses) {
        if (std::strcmp(pstrClass, control.className) == 0) return control.create();
    }
    return CExControlFactory::CreateControl(pstrClass, pManager);
}
