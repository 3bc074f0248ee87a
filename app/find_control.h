#pragma once
// Typed look-up of a control by name.
#include "uilib/paint_manager_ui.h"

// The named control as T when it is of the kind `kind` ("Edit", "Option", ...), else null.
template <class T>
T* FindControlAs(const CPaintManagerUI& pm, LPCTSTR pstrName, LPCTSTR pstrKind) {
    CControlUI* control = pm.FindControl(pstrName);
    return control ? static_cast<T*>(control->GetInterface(pstrKind)) : nullptr;
}
