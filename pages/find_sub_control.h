#pragma once
// Typed look-up of a control by name inside one page (names need be unique only there).
#include "uilib/paint_manager_ui.h"

// The named control under `parent` as T when it is of the kind `kind` ("Edit", "List", ...),
// else null.
template <class T>
T* FindSubControlAs(CControlUI* parent, LPCTSTR pstrName, LPCTSTR pstrKind) {
    CPaintManagerUI* manager = parent ? parent->GetManager() : nullptr;
    CControlUI* control = manager ? manager->FindSubControlByName(parent, pstrName) : nullptr;
    return control ? static_cast<T*>(control->GetInterface(pstrKind)) : nullptr;
}
