#pragma once

#include <vector>

#include "netsqlite/types.h"
#include "uilib/file_dialog.h"

// Asks for a workbook with the desktop's open or save dialog, starting in the folder of
// initial_path (the text up to and including its last "/"). Returns the chosen full path, or ""
// when the operator cancels. An open dialog accepts only existing files.
tstring ChooseWorkbookFile(HWND owner, const std::vector<UIFileFilter>& filters,
                           const tstring& initial_path, bool save);
