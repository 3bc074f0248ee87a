#include "uilib/file_dialog.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "uilib/internal/native_window.h"
#include "uilib/internal/text_codec.h"
#include "uilib/ui_application.h"

namespace {

UIFileDialogHook& Hook() {
    static UIFileDialogHook hook;
    return hook;
}

// "excel文件 *.xls,*.xlsx;" with "*.xls;*.xlsx" becomes "excel文件 (*.xls *.xlsx)".
QString QtFilters(const std::vector<UIFileFilter>& filters) {
    QStringList entries;
    for (const UIFileFilter& filter : filters) {
        QString description = uilib_detail::FromGbk(filter.description.str()).trimmed();
        while (description.endsWith(';')) description.chop(1);
        QString patterns =
            uilib_detail::FromGbk(filter.patterns.str()).split(';', Qt::SkipEmptyParts).join(' ');
        entries << QString("%1 (%2)").arg(description, patterns);
    }
    return entries.join(";;");
}

bool AskForFile(bool save, HWND hOwner, const std::vector<UIFileFilter>& filters,
                CDuiString& path) {
    if (Hook()) return Hook()(save, path);
    UiEnsureApplication();
    QWidget* owner = uilib_detail::NativeFromHandle(hOwner);
    QString start = uilib_detail::FromGbk(path.str());
    QString chosen =
        save ? QFileDialog::getSaveFileName(owner, QString(), start, QtFilters(filters))
             : QFileDialog::getOpenFileName(owner, QString(), start, QtFilters(filters));
    if (chosen.isEmpty()) return false;
    path = uilib_detail::ToGbk(chosen);
    return true;
}

}  // namespace

bool UIGetOpenFileName(HWND hOwner, const std::vector<UIFileFilter>& filters, CDuiString& path) {
    return AskForFile(false, hOwner, filters, path);
}

bool UIGetSaveFileName(HWND hOwner, const std::vector<UIFileFilter>& filters, CDuiString& path) {
    return AskForFile(true, hOwner, filters, path);
}

bool UIShellOpen(LPCTSTR pstrPath) {
    if (!pstrPath || !*pstrPath) return false;
    UiEnsureApplication();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(uilib_detail::FromGbk(pstrPath)));
}

void UISetFileDialogHook(UIFileDialogHook hook) {
    Hook() = std::move(hook);
}
