#pragma once
// The keyboard across a wizard's step change, shared by the import and export pages.
#include "uilib/control_ui.h"

// A new step drops the focus. A step button pressed from the keyboard keeps it, or, when it hid
// itself, hands it to what the operator does next: start after the last forward, forward after
// the first back.
inline void KeepStepButtonFocus(CControlUI* focus, CControlUI* back, CControlUI* forward,
                                CControlUI* start) {
    if (!focus || (focus != back && focus != forward)) return;
    CControlUI* next = focus->IsVisible() ? focus : focus == forward ? start : forward;
    if (next) next->SetFocus();
}
