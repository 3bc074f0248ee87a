#pragma once
// List rows made of child controls, one child per list column, and the rows the pages build
// from templates: value rows with a delete button, the add row, data-type rows, import rows.
#include "uilib/button_ui.h"
#include "uilib/list_ui.h"

// A row whose children sit in the list's columns. Label children take the list's text style,
// font and row-state colours; children other than buttons get the mouse only while the row is
// selected, so a click elsewhere selects the row and an editable cell reacts once it is.
class CListTextContainerElementUI : public CListContainerElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    bool AddAt(CControlUI* pControl, int iIndex) override;
    void SetOwner(CControlUI* pOwner) override;
    void SetSelected(bool bSelected) override;
    void SetEnabled(bool bEnable = true) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;

    // Text of the child in column iIndex; empty when there is no such child.
    CDuiString GetText(int iIndex) const;
    using CListContainerElementUI::GetText;

protected:
    // Re-applies the owner's text style, font and state colour to the label children.
    void ApplyListLook();
    // Finds a child control anywhere below this row by name.
    CControlUI* FindChild(LPCTSTR pstrName);

private:
    DWORD StateTextColor() const;
    void ApplyLabelLook(CControlUI* pChild, bool bStyleAndFont);
};

// A lookup value row: key (the data type), stored value and ValueID (-1 until stored). Its
// second child, the delete button, shows while the row is hot or selected.
class CDataListItemUI : public CListTextContainerElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    const CDuiString& GetKey() const { return m_sKey; }
    void SetKey(LPCTSTR pstrKey) { m_sKey = pstrKey; }
    const CDuiString& GetValue() const { return m_sValue; }
    void SetValue(LPCTSTR pstrValue) { m_sValue = pstrValue; }
    int GetValueID() const { return m_nValueID; }
    void SetValueID(int nValueID) { m_nValueID = nValueID; }

    bool AddAt(CControlUI* pControl, int iIndex) override;
    void SetSelected(bool bSelected) override;
    void DoEvent(TEventUI& event) override;

private:
    void ShowDeleteButton();

    CDuiString m_sKey;
    CDuiString m_sValue;
    int m_nValueID = -1;
};

// The last row of the value list, holding the button that adds a value.
class CAddListItemUI : public CListTextContainerElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

// A data-type row of the configuration page: three text cells and the option "opt_db_show".
class CDbConfigListItemUI : public CListTextContainerElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

// A workbook row of the import preview: the tick "opt_import_item" and the result marks
// "import_success_tip", "import_error_tip" and "import_nochange_tip", whose tooltip says why.
class CImportListItemUI : public CListTextContainerElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    bool IsImportChecked();
    void SetImportChecked(bool bChecked);
    void SetImportEnabled(bool bEnabled);
    // Shows the named mark with its tooltip, or hides it when pstrTip is null.
    void ShowTip(LPCTSTR pstrTipName, LPCTSTR pstrTip);

private:
    COptionUI* ImportOption();
};
