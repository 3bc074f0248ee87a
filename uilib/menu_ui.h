#pragma once
// Menus built from a layout: a pop-up window holding a Menu of MenuElement rows.
#include "uilib/list_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/window_wnd.h"

class IDialogBuilderCallback;

// A menu command: text with the label markup ("<x 25>编辑"), enabled or not.
class CMenuElementUI : public CListLabelElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_MENUITEM; }
    // The width its text needs; the row itself spans the menu.
    int GetNaturalWidth();
    // The mouse over an enabled command makes it the menu's current row.
    void DoEvent(TEventUI& event) override;
};

class CMenuUI : public CListUI {
public:
    CMenuUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
    UIROLE GetAccessibleRole() const override { return UIROLE_MENU; }
    // Menus have no lasting selection: a press only makes the row current.
    void ItemPressed(int iIndex, UINT keyState, bool bRightButton) override;
    // The arrow keys move the current row; Enter and Space choose it as a click would.
    UINT GetControlFlags() const override;
    void DoEvent(TEventUI& event) override;
};

// Built once and opened as often as needed. A click on an enabled element closes the menu and
// sends "itemclick" (sender the element, whose name is the command; wParam its index) to the
// notifier given to Init. Escape or a click elsewhere closes it without a command.
class CMenuWnd : public CWindowWnd, public INotifyUI {
public:
    CMenuWnd();
    ~CMenuWnd() override;

    // Builds the layout (root element Menu) for a menu owned by hWndOwner.
    bool Init(HWND hWndOwner, LPCTSTR pstrLayout, INotifyUI* pNotifier,
              IDialogBuilderCallback* pCallback = nullptr);
    CMenuUI* GetMenu() const { return m_pMenu; }
    CMenuElementUI* FindItem(LPCTSTR pstrName) const;
    bool EnableItem(LPCTSTR pstrName, bool bEnable);
    // Opens the menu with its top left at a screen point, kept inside the work area.
    void Popup(POINT ptScreen);
    void Hide();
    CPaintManagerUI& GetPaintManager() { return m_pm; }

    void Close(UINT nRet = IDOK) override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    CPaintManagerUI m_pm;
    CMenuUI* m_pMenu = nullptr;
};
