#include "app/application.h"

#include "app/dlg_login.h"
#include "app/product.h"
#include "settings/config.h"
#include "skin/package/skin_package.h"
#include "uilib/message_box.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/resource_manager_ui.h"
#include "uilib/style_manager_ui.h"

namespace {

void ShowStartupMessage(const char* format) {
    CDuiString text;
    text.Format(format, kProductTitle);
    // Modal: returns once the operator has closed it.
    UIMessageBox(nullptr, text, nullptr, MB_ICONWARNING);
}

void RunFirstInstance(const ApplicationOptions& options) {
    std::unique_ptr<CConfig> config = options.settingsPath.empty()
                                          ? std::make_unique<CConfig>()
                                          : std::make_unique<CConfig>(options.settingsPath);
    if (config->FileTooLarge())
        ShowStartupMessage("%s 的设置文件 wlsetting.ini 超过 1 MB，本次不读取也不修改它，以默认设置运行。");
    std::unique_ptr<CDlgLogin> login = ShowLoginDialog(kProductTitle);
    if (!login) {
        // A damaged skin: say so rather than wait invisibly for ever.
        ShowStartupMessage("%s 的界面文件已损坏，请重新安装。");
        return;
    }
    CPaintManagerUI::MessageLoop();
    // Closes the main window, then waits for the queued tasks and stops the worker.
    login.reset();
}

}  // namespace

LoadedSkin::LoadedSkin() {
    const BYTE* package = nullptr;
    DWORD length = 0;
    m_linked = CResourceManagerUI::LoadDataFromResourceNoCopy(nullptr, "skin.packed", "SKIN",
                                                              package, length);
    if (!m_linked) return;
    // A damaged package leaves the library without an archive; the unpacker has said why.
    std::size_t archiveLength = 0;
    m_archive = UnpackSkinPackage(package, length, archiveLength);
    CResourceManagerUI::SetInstance(nullptr);
    CResourceManagerUI::SetResourceZipPtr(m_archive.get(), static_cast<DWORD>(archiveLength));
    CStyleManagerUI::Instance()->LoadStyles("style.xml");
    CStyleManagerUI::Instance()->ApplyStyle("light blue");
    CPaintManagerUI::SetToolTipStyle(false);
}

LoadedSkin::~LoadedSkin() {
    if (m_archive) CResourceManagerUI::SetResourceZipPtr(nullptr, 0);
}

std::unique_ptr<CDlgLogin> ShowLoginDialog(LPCTSTR title) {
    auto login = std::make_unique<CDlgLogin>();
    login->SetCaptionText(title);
    CDuiString caption;
    caption.Format("%s  登录", title);
    if (!login->CreateFromSkin(caption)) return nullptr;
    login->SetIcon(kAppIconResource);
    login->CenterWindow();
    login->ShowWindow(true, true);
    return login;
}

int RunApplication(const ApplicationOptions& options) {
    // Declared first so the lock is let go last, after the skin.
    SingleInstanceHandle instance;
    LoadedSkin skin;
    if (!skin.IsLinked()) return 0;
    if (AcquireSingleInstance(instance, options.instanceName)) {
        RunFirstInstance(options);
    } else {
        ShowStartupMessage("%s 已经启动！");
    }
    return 0;
}
