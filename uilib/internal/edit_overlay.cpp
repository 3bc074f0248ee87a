#include "uilib/internal/edit_overlay.h"

#include <QValidator>
#include <functional>
#include <QKeyEvent>
#include <QMouseEvent>

#include "uilib/accessible_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/internal/native_window.h"
#include "uilib/internal/text_codec.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/window_wnd.h"

namespace uilib_detail {

namespace {

// Whatever way text comes in (typed, pasted, dropped, from an input method), each character
// passes the control's filter; the others are dropped and the rest is kept.
class CharFilter : public QValidator {
public:
    explicit CharFilter(std::function<bool(QChar)> accepts, QObject* parent)
        : QValidator(parent), m_accepts(std::move(accepts)) {}

    State validate(QString& input, int& pos) const override {
        QString kept;
        int keptPos = pos;
        for (int i = 0; i < input.size(); ++i) {
            if (m_accepts(input.at(i)))
                kept += input.at(i);
            else if (i < pos)
                --keptPos;
        }
        input = kept;
        pos = keptPos;
        return Acceptable;
    }

private:
    std::function<bool(QChar)> m_accepts;
};

}  // namespace

EditOverlay::EditOverlay(CEditUI* owner, QWidget* parent) : QLineEdit(parent), m_owner(owner) {
    setValidator(new CharFilter(
        [this](QChar c) { return !m_owner || m_owner->OnEditChar(c.unicode()); }, this));
    setFrame(false);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    // Clients that follow the keyboard into the native edit hear which edit it is.
    setAccessibleName(AccessibleNameOf(owner));
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_owner) m_owner->OnEditChanged(CDuiString(ToGbk(text)));
    });
}

EditOverlay::~EditOverlay() {
    if (m_owner) m_owner->m_pOverlay = nullptr;
}

void EditOverlay::detach() {
    m_owner = nullptr;
    hide();
    deleteLater();
}

bool EditOverlay::handleSpecialKey(QKeyEvent* e) {
    UINT vk = VirtualKeyOf(e->key());
    if (vk != VK_RETURN && vk != VK_ESCAPE && vk != VK_TAB && vk != VK_UP && vk != VK_DOWN)
        return false;
    UINT keyState = KeyStateOf(e->modifiers(), Qt::NoButton);
    if (e->key() == Qt::Key_Backtab) keyState |= MK_SHIFT;
    CEditUI* owner = m_owner;
    if (owner->OnEditKey(vk, keyState)) return true;
    CPaintManagerUI* manager = owner->GetManager();
    if (!manager) return true;
    if (vk == VK_TAB) {
        manager->SetNextTabControl((keyState & MK_SHIFT) == 0);
    } else if (vk == VK_RETURN) {
        manager->SendNotify(owner, DUI_MSGTYPE_RETURN);
        if (CControlUI* button = manager->GetDefaultButton()) button->Activate();
    } else if (vk == VK_ESCAPE) {
        // The window decides: a dialog closes, a pop-up goes away.
        if (CWindowWnd* window = manager->GetWindow())
            window->SendMessage(WM_KEYDOWN, vk, keyState);
    } else {
        return false;
    }
    return true;
}

void EditOverlay::keyPressEvent(QKeyEvent* e) {
    if (!m_owner) return;
    if (handleSpecialKey(e)) return;
    // A refused key leaves the text alone: it must not replace the selection with nothing.
    QString text = e->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !m_owner->OnEditChar(text.at(0).unicode()))
        return;
    QLineEdit::keyPressEvent(e);
}

bool EditOverlay::forwardMouse(QMouseEvent* e, UINT uMsg) {
    if (!m_owner) return true;
    QPoint inWindow = mapToParent(e->position().toPoint());
    return m_owner->OnEditMouse(uMsg, POINT{inWindow.x(), inWindow.y()});
}

void EditOverlay::mousePressEvent(QMouseEvent* e) {
    UINT msg = e->button() == Qt::RightButton ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    if (!forwardMouse(e, msg)) QLineEdit::mousePressEvent(e);
}

void EditOverlay::mouseReleaseEvent(QMouseEvent* e) {
    UINT msg = e->button() == Qt::RightButton ? WM_RBUTTONUP : WM_LBUTTONUP;
    if (!forwardMouse(e, msg)) QLineEdit::mouseReleaseEvent(e);
}

void EditOverlay::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!forwardMouse(e, WM_LBUTTONDBLCLK)) QLineEdit::mouseDoubleClickEvent(e);
}

// Tab is handled in keyPressEvent through the paint manager's focus order.
bool EditOverlay::focusNextPrevChild(bool) {
    return false;
}

}  // namespace uilib_detail
