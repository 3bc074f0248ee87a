#pragma once
// The desktop's open and save dialogs, and opening a file with its application.
#include <functional>
#include <vector>

#include "uilib/dui_string.h"
#include "uilib/ui_types.h"

// One entry of a dialog's type list, in the form the program's texts give it: a description and
// patterns separated by ';' ("excel文件 *.xls,*.xlsx;", "*.xls;*.xlsx").
struct UIFileFilter {
    CDuiString description;
    CDuiString patterns;
};

// Both return false when the user cancels; path holds the starting file or folder on entry
// and the chosen file on return.
bool UIGetOpenFileName(HWND hOwner, const std::vector<UIFileFilter>& filters, CDuiString& path);
bool UIGetSaveFileName(HWND hOwner, const std::vector<UIFileFilter>& filters, CDuiString& path);
// Opens the file with the application the desktop associates with it.
bool UIShellOpen(LPCTSTR pstrPath);

// For tests: while set, no dialog is shown; the hook gets whether it is a save dialog and the
// path, and answers as the user would (false: cancelled).
using UIFileDialogHook = std::function<bool(bool bSave, CDuiString& path)>;
void UISetFileDialogHook(UIFileDialogHook hook);
