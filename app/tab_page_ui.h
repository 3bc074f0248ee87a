#pragma once
// A container whose content is a layout of its own, built when the container is made.
#include "uilib/container_ui.h"

class CTabPageUI : public CContainerUI {
public:
    // Builds the layout with the program's control factory; a layout that cannot be built
    // leaves the page empty.
    CTabPageUI(LPCTSTR pstrLayout, CPaintManagerUI* pManager);

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};
