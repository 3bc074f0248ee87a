#pragma once
// A list text row that also carries one text no column shows: the customer list keeps the row's
// plate number there, beside the CustomerID in the row's tag.
#include "uilib/list_ui.h"

class CDataListTextElementUI : public CListTextElementUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    const CDuiString& GetExtraText() const { return m_sExtraText; }
    void SetExtraText(LPCTSTR pstrText) { m_sExtraText = pstrText; }

private:
    CDuiString m_sExtraText;
};
