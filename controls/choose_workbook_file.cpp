#include "controls/choose_workbook_file.h"

namespace {

// The folder part of a path, "" when it has no "/" after its first character.
tstring InitialFolder(const tstring& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == tstring::npos || slash == 0 ? tstring() : path.substr(0, slash + 1);
}

}  // namespace

tstring ChooseWorkbookFile(HWND owner, const std::vector<UIFileFilter>& filters,
                           const tstring& initial_path, bool save) {
    CDuiString path(InitialFolder(initial_path));
    const bool chosen =
        save ? UIGetSaveFileName(owner, filters, path) : UIGetOpenFileName(owner, filters, path);
    return chosen ? path.str() : tstring();
}
