#pragma once
// Row bookkeeping that lists and combo boxes share.
#include <initializer_list>

#include "uilib/list_ui.h"

namespace uilib_detail {

// The row interface of a control; null for a control that is not a row.
IListItemUI* ListItemOf(CControlUI* pControl);

// After a row joined the owner at iIndex: the row learns its owner, the rows from there on their
// new indexes, and the owner's marks (current row, anchor) keep pointing at the same rows.
void AdoptInsertedRow(CContainerUI* pOwner, CControlUI* pRow, int iIndex,
                      std::initializer_list<int*> marks);
// After the row at iIndex left: marks on it become -1, marks on later rows move up with them.
void ForgetRemovedRow(CContainerUI* pOwner, int iIndex, std::initializer_list<int*> marks);

}  // namespace uilib_detail
