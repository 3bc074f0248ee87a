#pragma once
// CMessageBoxUI4: a question with OK and Cancel and a "do not ask again" option.
#include <functional>

#include "uilib/message_box.h"

// While the option is ticked only OK can answer (Cancel is disabled): a question the user
// silences is one the user agreed to. Closing the box any other way than OK forgets the tick.
class CMessageBoxUI4 : public CMessageBoxUI2 {
public:
    CMessageBoxUI4();

    bool IsAskAgain() const { return m_bAskAgain; }

    void Notify(TNotifyUI& msg) override;
    void Close(UINT nRet = IDOK) override;

private:
    void SetAskAgain(bool bAskAgain);

    bool m_bAskAgain = true;
};

// Asks the question over hOwner. Returns 0 only when the user confirmed with OK; bAskAgain
// receives whether the question should be asked next time (true unless confirmed with the
// option ticked).
int UIMessageBox4(HWND hOwner, LPCTSTR pstrText, bool& bAskAgain);

// For tests: while a hook is set, UIMessageBox4 shows nothing and returns what the hook returns;
// the hook may set the ask-again flag. An empty hook restores the box.
using UIMessageBox4Hook = std::function<int(const CDuiString& text, bool& bAskAgain)>;
void UISetMessageBox4Hook(UIMessageBox4Hook hook);
