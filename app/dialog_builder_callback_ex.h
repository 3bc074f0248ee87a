#pragma once
// The control factory: the class names of the layouts that are the program's own pages and
// controls; everything else comes from the window library.
#include "uilib/dialog_builder.h"

class CDialogBuilderCallbackEx : public CExControlFactory {
public:
    CControlUI* CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) override;
};
