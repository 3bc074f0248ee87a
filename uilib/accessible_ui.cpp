#include "uilib/accessible_ui.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <unordered_map>
#include <vector>

#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/internal/native_window.h"
#include "uilib/internal/text_codec.h"
#include "uilib/list_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

namespace uilib_detail {

namespace {

QAccessibleInterface* InterfaceOf(CControlUI* control);

// A control without a role gives its place among its parent's children to its own children.
void CollectChildren(const CControlUI* control, std::vector<CControlUI*>& children) {
    for (int i = 0, count = control->GetAccessibleChildCount(); i < count; ++i) {
        CControlUI* child = control->GetAccessibleChildAt(i);
        if (!child) continue;
        if (child->GetAccessibleRole() == UIROLE_NONE)
            CollectChildren(child, children);
        else
            children.push_back(child);
    }
}

std::vector<CControlUI*> ChildrenOf(const CControlUI* control) {
    std::vector<CControlUI*> children;
    CollectChildren(control, children);
    return children;
}

// What a window shows as its children: its root control.
std::vector<CControlUI*> TopControlsOf(const NativeWindow* window) {
    CPaintManagerUI* manager = window->paintManager();
    CControlUI* root = manager ? manager->GetRoot() : nullptr;
    if (!root) return {};
    if (root->GetAccessibleRole() == UIROLE_NONE) return ChildrenOf(root);
    return {root};
}

CControlUI* AccessibleParentOf(const CControlUI* control) {
    CControlUI* parent = control->GetParent();
    while (parent && parent->GetAccessibleRole() == UIROLE_NONE) parent = parent->GetParent();
    return parent;
}

NativeWindow* WindowOf(const CControlUI* control) {
    CPaintManagerUI* manager = control->GetManager();
    return manager ? NativeFromHandle(manager->GetPaintWindow()) : nullptr;
}

bool IsWithin(const CControlUI* control, const CControlUI* ancestor) {
    for (; control; control = control->GetParent())
        if (control == ancestor) return true;
    return false;
}

QAccessible::Role QtRole(UIROLE role) {
    switch (role) {
        case UIROLE_NONE: return QAccessible::NoRole;
        case UIROLE_PANE: return QAccessible::Pane;
        case UIROLE_LABEL: return QAccessible::StaticText;
        case UIROLE_BUTTON: return QAccessible::Button;
        case UIROLE_CHECKBOX: return QAccessible::CheckBox;
        case UIROLE_RADIO: return QAccessible::RadioButton;
        case UIROLE_EDIT: return QAccessible::EditableText;
        case UIROLE_COMBO: return QAccessible::ComboBox;
        case UIROLE_PROGRESS: return QAccessible::ProgressBar;
        case UIROLE_LIST: return QAccessible::List;
        case UIROLE_LISTITEM: return QAccessible::ListItem;
        case UIROLE_COLUMNHEADER: return QAccessible::ColumnHeader;
        case UIROLE_MENU: return QAccessible::PopupMenu;
        case UIROLE_MENUITEM: return QAccessible::MenuItem;
        case UIROLE_SCROLLBAR: return QAccessible::ScrollBar;
    }
    return QAccessible::NoRole;
}

QString Readable(const CDuiString& text) {
    return FromGbk(CRenderEngine::GetPlainText(text).str());
}

// A row with a text per column reads as its columns, one after the other.
QString RowText(CControlUI* control) {
    auto* row = static_cast<CListTextElementUI*>(control->GetInterface("ListTextElement"));
    auto* item = static_cast<IListItemUI*>(control->GetInterface("ListItem"));
    if (!row || !item || !item->GetOwner()) return {};
    QStringList columns;
    for (int i = 0; i < item->GetOwner()->GetListInfo()->nColumns; ++i)
        columns << Readable(row->GetText(i));
    return columns.join(QLatin1Char(' ')).trimmed();
}

// What the control's content is: an edit's or a combo's text is its value, not its name.
bool TextIsValue(UIROLE role) {
    return role == UIROLE_EDIT || role == UIROLE_COMBO;
}

QString NameOf(CControlUI* control) {
    QString name;
    if (!TextIsValue(control->GetAccessibleRole())) {
        name = Readable(control->GetText());
        if (name.isEmpty()) name = RowText(control);
    }
    if (name.isEmpty()) name = Readable(control->GetToolTip());
    if (name.isEmpty()) name = FromGbk(control->GetName().str());
    return name;
}

QString ValueOf(CControlUI* control) {
    UIROLE role = control->GetAccessibleRole();
    if (auto* edit = static_cast<CEditUI*>(control->GetInterface("Edit")))
        return edit->IsPasswordMode() ? QString() : FromGbk(edit->GetText().str());
    if (TextIsValue(role)) return Readable(control->GetText());
    if (auto* progress = static_cast<CProgressUI*>(control->GetInterface("Progress")))
        return QString::number(progress->GetValue());
    if (auto* bar = static_cast<CScrollBarUI*>(control->GetInterface("ScrollBar")))
        return QString::number(bar->GetScrollPos());
    return {};
}

void AddRowState(CControlUI* control, QAccessible::State& state) {
    auto* item = static_cast<IListItemUI*>(control->GetInterface("ListItem"));
    if (!item) return;
    state.selectable = true;
    state.selected = item->IsSelected();
    IListOwnerUI* owner = item->GetOwner();
    if (owner && owner->GetFocusedItem() == item->GetIndex()) state.focused = true;
}

void AddKindState(CControlUI* control, QAccessible::State& state) {
    if (auto* option = static_cast<COptionUI*>(control->GetInterface("Option"))) {
        state.checkable = true;
        state.checked = option->IsSelected();
    } else if (auto* button = static_cast<CButtonUI*>(control->GetInterface("Button"))) {
        state.defaultButton = button->IsDefault();
    }
    if (auto* edit = static_cast<CEditUI*>(control->GetInterface("Edit"))) {
        state.editable = !edit->IsReadOnly();
        state.readOnly = edit->IsReadOnly();
        state.passwordEdit = edit->IsPasswordMode();
    }
    if (auto* combo = static_cast<CComboUI*>(control->GetInterface("Combo"))) {
        state.hasPopup = true;
        state.expanded = combo->IsDropDown();
        state.collapsed = !combo->IsDropDown();
    }
    if (auto* list = static_cast<CListUI*>(control->GetInterface("List")))
        state.multiSelectable = list->IsMultiSelect();
    AddRowState(control, state);
}

QAccessible::State StateOf(CControlUI* control) {
    QAccessible::State state;
    state.invisible = !control->IsVisible();
    state.disabled = !control->IsEnabled();
    state.focusable = (control->GetControlFlags() & UIFLAG_TABSTOP) &&
                      control->IsKeyboardEnabled() && control->IsEnabled();
    CPaintManagerUI* manager = control->GetManager();
    state.focused = manager && manager->GetFocus() == control;
    AddKindState(control, state);
    return state;
}

QRect ScreenRectOf(const CControlUI* control) {
    NativeWindow* window = WindowOf(control);
    if (!window) return {};
    const RECT& rc = control->GetPos();
    return QRect(window->mapToGlobal(QPoint(rc.left, rc.top)), QSize(rc.GetWidth(), rc.GetHeight()));
}

// The topmost visible control of the list at a screen point (floating controls come last).
CControlUI* ControlAt(const std::vector<CControlUI*>& controls, int x, int y) {
    for (auto it = controls.rbegin(); it != controls.rend(); ++it)
        if ((*it)->IsVisible() && ScreenRectOf(*it).contains(x, y)) return *it;
    return nullptr;
}

CControlUI* FocusedWithin(const CControlUI* ancestor) {
    CPaintManagerUI* manager = ancestor->GetManager();
    CControlUI* focus = manager ? manager->GetFocus() : nullptr;
    return focus && focus != ancestor && IsWithin(focus, ancestor) ? focus : nullptr;
}

class ControlAccessible;

const ControlAccessible* AsControl(const QAccessibleInterface* iface);

int IndexIn(const std::vector<CControlUI*>& controls, const QAccessibleInterface* child);

class ControlAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit ControlAccessible(CControlUI* control) : m_control(control) {}
    CControlUI* control() const { return m_control; }

    // The object lives exactly as long as its control (ForgetAccessible).
    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        NativeWindow* window = WindowOf(m_control);
        return window ? window->windowHandle() : nullptr;
    }

    QAccessibleInterface* parent() const override {
        if (CControlUI* parent = AccessibleParentOf(m_control)) return InterfaceOf(parent);
        NativeWindow* window = WindowOf(m_control);
        return window ? QAccessible::queryAccessibleInterface(window) : nullptr;
    }
    QAccessibleInterface* child(int index) const override {
        std::vector<CControlUI*> children = ChildrenOf(m_control);
        if (index < 0 || index >= static_cast<int>(children.size())) return nullptr;
        return InterfaceOf(children[index]);
    }
    int childCount() const override { return static_cast<int>(ChildrenOf(m_control).size()); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return IndexIn(ChildrenOf(m_control), child);
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        CControlUI* found = ControlAt(ChildrenOf(m_control), x, y);
        return found ? InterfaceOf(found) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        CControlUI* focus = FocusedWithin(m_control);
        return focus ? InterfaceOf(focus) : nullptr;
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name: return NameOf(m_control);
            case QAccessible::Value: return ValueOf(m_control);
            case QAccessible::Description: return Readable(m_control->GetToolTip());
            default: return {};
        }
    }
    // Clients may fill in an edit, as typing would.
    void setText(QAccessible::Text t, const QString& text) override {
        auto* edit = static_cast<CEditUI*>(m_control->GetInterface("Edit"));
        if (t == QAccessible::Value && edit && edit->IsEnabled() && !edit->IsReadOnly())
            edit->SetText(ToGbk(text).c_str());
    }
    QRect rect() const override { return ScreenRectOf(m_control); }
    QAccessible::Role role() const override { return QtRole(m_control->GetAccessibleRole()); }
    QAccessible::State state() const override { return StateOf(m_control); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override {
        QStringList names;
        if (IsPressable()) names << pressAction();
        if (StateOf(m_control).focusable) names << setFocusAction();
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && IsPressable())
            m_control->Activate();
        else if (name == setFocusAction())
            m_control->SetFocus();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    bool IsPressable() const {
        switch (m_control->GetAccessibleRole()) {
            case UIROLE_BUTTON:
            case UIROLE_CHECKBOX:
            case UIROLE_RADIO:
            case UIROLE_COMBO:
            case UIROLE_LISTITEM:
            case UIROLE_MENUITEM: return m_control->IsEnabled();
            default: return false;
        }
    }

    CControlUI* m_control;
};

const ControlAccessible* AsControl(const QAccessibleInterface* iface) {
    return dynamic_cast<const ControlAccessible*>(iface);
}

int IndexIn(const std::vector<CControlUI*>& controls, const QAccessibleInterface* child) {
    const ControlAccessible* wanted = AsControl(child);
    if (!wanted) return -1;
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i] == wanted->control()) return static_cast<int>(i);
    return -1;
}

// A window: its controls first, then native child widgets (the line edit over an edit being
// edited).
class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(NativeWindow* window)
        : QAccessibleWidget(window, QAccessible::Window), m_window(window) {}

    int childCount() const override {
        return static_cast<int>(TopControlsOf(m_window).size()) + QAccessibleWidget::childCount();
    }
    QAccessibleInterface* child(int index) const override {
        std::vector<CControlUI*> controls = TopControlsOf(m_window);
        int count = static_cast<int>(controls.size());
        if (index >= 0 && index < count) return InterfaceOf(controls[index]);
        return QAccessibleWidget::child(index - count);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        std::vector<CControlUI*> controls = TopControlsOf(m_window);
        if (AsControl(child)) return IndexIn(controls, child);
        int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + static_cast<int>(controls.size());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (QAccessibleInterface* native = QAccessibleWidget::childAt(x, y)) return native;
        CControlUI* found = ControlAt(TopControlsOf(m_window), x, y);
        return found ? InterfaceOf(found) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        CPaintManagerUI* manager = m_window->paintManager();
        CControlUI* focus = manager ? manager->GetFocus() : nullptr;
        return focus ? InterfaceOf(focus) : QAccessibleWidget::focusChild();
    }

private:
    NativeWindow* m_window;
};

QAccessibleInterface* WindowFactory(const QString&, QObject* object) {
    auto* window = dynamic_cast<NativeWindow*>(object);
    return window ? new WindowAccessible(window) : nullptr;
}

std::unordered_map<const CControlUI*, QAccessible::Id>& Registered() {
    static std::unordered_map<const CControlUI*, QAccessible::Id> ids;
    return ids;
}

void (*g_listener)(QAccessibleEvent*) = nullptr;

// Without an assistive technology (or a listener) no one hears announcements, and controls
// need no accessible object made for them.
bool IsWatched(CControlUI* control) {
    return control->GetManager() && (QAccessible::isActive() || g_listener);
}

void Announce(QAccessibleEvent& event) {
    if (g_listener) g_listener(&event);
    QAccessible::updateAccessibility(&event);
}

QAccessibleInterface* InterfaceOf(CControlUI* control) {
    auto& ids = Registered();
    auto it = ids.find(control);
    if (it != ids.end())
        if (QAccessibleInterface* iface = QAccessible::accessibleInterface(it->second)) return iface;
    auto* iface = new ControlAccessible(control);
    ids[control] = QAccessible::registerAccessibleInterface(iface);
    return iface;
}

}  // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(WindowFactory);
}

QString AccessibleNameOf(CControlUI* control) {
    return NameOf(control);
}

void SetAccessibleListener(void (*listener)(QAccessibleEvent*)) {
    g_listener = listener;
}

void AnnounceFocus(CControlUI* control) {
    if (!control || !IsWatched(control)) return;
    QAccessibleEvent event(InterfaceOf(control), QAccessible::Focus);
    Announce(event);
}

void AnnounceStateChange(CControlUI* control, AccessibleChange change) {
    if (!IsWatched(control)) return;
    QAccessible::State changed;
    if (change == AccessibleChange::Checked)
        changed.checked = true;
    else
        changed.disabled = true;
    QAccessibleStateChangeEvent event(InterfaceOf(control), changed);
    Announce(event);
}

void ForgetAccessible(CControlUI* control) {
    auto& ids = Registered();
    if (ids.empty()) return;
    auto it = ids.find(control);
    if (it == ids.end()) return;
    QAccessible::Id id = it->second;
    ids.erase(it);
    // After the application has gone, so has Qt's register of accessible objects.
    if (QCoreApplication::instance()) QAccessible::deleteAccessibleInterface(id);
}

}  // namespace uilib_detail
