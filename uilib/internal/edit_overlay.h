#pragma once
#include <QLineEdit>

#include "uilib/ui_types.h"

class CEditUI;

namespace uilib_detail {

// The native line edit lying over a CEditUI while it is edited. It reports to its control and
// is deleted later, never from inside one of its own events.
class EditOverlay : public QLineEdit {
public:
    EditOverlay(CEditUI* owner, QWidget* parent);
    ~EditOverlay() override;
    void detach();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool forwardMouse(QMouseEvent* e, UINT uMsg);
    bool handleSpecialKey(QKeyEvent* e);

    CEditUI* m_owner;
};

}  // namespace uilib_detail
