#include "app/dialog_builder_callback_ex.h"

#include <cstring>

#include "app/main_tab_page_ui.h"
#include "controls/calendar_ui.h"
#include "controls/combo_union_ui.h"
#include "controls/list_item_ui.h"
#include "controls/small_controls_ui.h"
#include "controls/time_period_picker_ui.h"
#include "controls/time_period_ui.h"
#include "pages/page_db_config.h"
#include "pages/page_edit.h"
#include "pages/page_export.h"
#include "pages/page_import.h"
#include "pages/page_list.h"

namespace {

struct PageClass {
    const char* className;
    // Makes the page, which builds its own layout.
    CMainTabPageUI* (*create)(CPaintManagerUI* pManager);
};

template <class TPage>
CMainTabPageUI* CreatePage(CPaintManagerUI* pManager) {
    return new TPage(pManager);
}

// The five pages of the main window, each on its own layout ("pagelist.xml", ...).
const PageClass kPageClasses[] = {
    {"PageList", CreatePage<CPageList>},     {"PageImport", CreatePage<CPageImport>},
    {"PageExport", CreatePage<CPageExport>}, {"PageEdit", CreatePage<CPageEdit>},
    {"PageDbConfig", CreatePage<CPageDbConfig>},
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
    {"Calendar", Make<CCalendarUI>},
    {"EmptySelectableCombo", Make<CEmptySelectableComboUI>},
    {"MovableOption", Make<CMovableOptionUI>},
    {"ComboUnion", Make<CComboUnionUI>},
    {"TimePeriod", Make<CTimePeriodUI>},
    {"TimePeriodPicker", Make<CTimePeriodPickerUI>},
};

}  // namespace

CControlUI* CDialogBuilderCallbackEx::CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) {
    if (!pstrClass) return nullptr;
    for (const PageClass& page : kPageClasses) {
        if (std::strcmp(pstrClass, page.className) == 0) return page.create(pManager);
    }
    for (const ControlClass& control : kControlClasses) {
        if (std::strcmp(pstrClass, control.className) == 0) return control.create();
    }
    return CExControlFactory::CreateControl(pstrClass, pManager);
}
