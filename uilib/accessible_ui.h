#pragma once
// Controls are painted inside one native window, so Qt's accessibility clients (screen readers,
// UI test tools) would see an empty window. Here every control becomes an accessible object of
// its own: its role (CControlUI::GetAccessibleRole), name, text, state and place, with the
// control tree as parents and children. No Qt in this header.
class CControlUI;
class QAccessibleEvent;
class QString;

namespace uilib_detail {

// Once per program, before the first window: windows answer with their controls as children.
void InstallAccessibility();

// The name clients read for the control.
QString AccessibleNameOf(CControlUI* control);

// What changed of a control, for clients that listen.
enum class AccessibleChange { Checked, Enabled };
void AnnounceFocus(CControlUI* control);
void AnnounceStateChange(CControlUI* control, AccessibleChange change);

// Tests hear here what clients are told, as a running assistive technology would (Qt passes
// announcements on only while one runs).
void SetAccessibleListener(void (*listener)(QAccessibleEvent*));

// The control is being destroyed: its accessible object goes with it.
void ForgetAccessible(CControlUI* control);

}  // namespace uilib_detail
