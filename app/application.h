#pragma once
// The program's entry sequence and the start-up steps tests repeat.
#include <memory>
#include <string>

#include "settings/single_instance.h"
#include "uilib/ui_types.h"

class CDlgLogin;

// What start-up takes from outside. The defaults are the product's; tests use their own lock
// and settings file so they never meet a running client.
struct ApplicationOptions {
    std::string instanceName = kSingleInstanceName;
    // Empty: wlsetting.ini beside the executable.
    std::string settingsPath;
};

// Skin package, styles, single instance, settings, login dialog, message loop, shutdown.
// Returns the process's exit code.
int RunApplication(const ApplicationOptions& options = {});

// The skin package linked into the executable, unpacked and handed to the window library with
// its styles for as long as this object lives.
class LoadedSkin {
public:
    LoadedSkin();
    ~LoadedSkin();
    LoadedSkin(const LoadedSkin&) = delete;
    LoadedSkin& operator=(const LoadedSkin&) = delete;

    // False when the executable carries no skin package at all.
    bool IsLinked() const { return m_linked; }

private:
    bool m_linked = false;
    std::unique_ptr<unsigned char[]> m_archive;
};

// The login dialog as start-up opens it: titled, centred, shown and focused; null when its layout
// cannot be built. The dialog holds the program's task object, so it lives until the message loop
// has ended.
std::unique_ptr<CDlgLogin> ShowLoginDialog(LPCTSTR title);
