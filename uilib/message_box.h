#pragma once
// Message boxes: UIMessageBox (one button) and UIMessageBox2 (OK and Cancel), and the box class
// other questions derive from.
#include <functional>

#include "uilib/dialog_wnd.h"

// What a box is about: its icon ("msg_info.svg", "msg_question.svg", "msg_warning.svg").
enum : UINT { MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40 };

// A modal box built from a layout with the controls "title", "icon", "msg", "ok", "cancel" and
// "closebtn". Result: 0 after "ok", 1 after "cancel", "closebtn", Escape or closing otherwise.
class CMessageBoxUI2 : public CDialogWnd, public INotifyUI {
public:
    explicit CMessageBoxUI2(LPCTSTR pstrLayout = "MessageBox2.xml",
                            UINT uIcon = MB_ICONQUESTION);

    // Shows the box centred over the owner and returns its result.
    int DoModal(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption = nullptr);
    void SetMsg(LPCTSTR pstrText);
    int GetResult() const { return m_nResult; }

    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

    int m_nResult = 1;

private:
    CDuiString m_sLayout;
    CDuiString m_sText;
    CDuiString m_sCaption;
    UINT m_uIcon;
};

// Shows a text with one button ("MessageBox.xml"); returns when it is closed. Most such boxes
// say that something failed or was refused: MB_ICONWARNING; one that reports a success passes
// MB_ICONINFORMATION.
void UIMessageBox(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption = nullptr,
                  UINT uIcon = MB_ICONWARNING);
// Asks for confirmation ("MessageBox2.xml"): 0 when the user confirms, 1 otherwise.
int UIMessageBox2(HWND hOwner, LPCTSTR pstrText, LPCTSTR pstrCaption = nullptr);

enum class SaveAnswer { kSave, kDiscard, kCancel };
// Asks what becomes of changes that would otherwise be lost ("MessageBox3.xml": "ok" saves,
// "discard" drops them, "cancel" or closing keeps them). A hook's 0 is kSave, 2 kDiscard.
SaveAnswer UIAskToSave(HWND hOwner, LPCTSTR pstrText);

// For tests: while a hook is set, the boxes above are not shown; the hook receives the text and
// the box's icon (MB_ICONQUESTION for a question), and returns the answer (0 = OK). An empty
// hook restores the boxes.
using UIMessageBoxHook = std::function<int(const CDuiString& text, UINT uIcon)>;
void UISetMessageBoxHook(UIMessageBoxHook hook);
