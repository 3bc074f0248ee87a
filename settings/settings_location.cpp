#include "settings/settings_location.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char kSettingsFileName[] = "wlsetting.ini";

tstring ExecutableDirectory() {
    char path[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const tstring executable(path, static_cast<std::size_t>(length));
    const std::size_t slash = executable.rfind('/');
    return slash == 0 ? tstring() : executable.substr(0, slash);
}

// A relative $XDG_CONFIG_HOME is to be ignored.
tstring ConfigHome() {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    if (configured && configured[0] == '/') return configured;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : "/";
    }
    return tstring(home) + "/.config";
}

}  // namespace

SettingsPlaces CurrentSettingsPlaces() {
    SettingsPlaces places;
    places.programFolder = ExecutableDirectory();
    places.programFolderWritable = ::access(places.programFolder.c_str(), W_OK) == 0;
    places.configHome = ConfigHome();
    places.machineCopy = tstring("/etc/ledgerdesk/") + kSettingsFileName;
    return places;
}

tstring SettingsFilePath(const SettingsPlaces& places) {
    if (places.programFolderWritable) return places.programFolder + "/" + kSettingsFileName;
    const fs::path folder = fs::path(places.configHome) / "ledgerdesk";
    const fs::path path = folder / kSettingsFileName;
    std::error_code error;
    // The file holds the database password: the operator's alone.
    if (fs::create_directories(folder, error)) fs::permissions(folder, fs::perms::owner_all, error);
    if (!fs::exists(path, error) && fs::exists(places.machineCopy, error) &&
        fs::copy_file(places.machineCopy, path, error))
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, error);
    return path.string();
}
