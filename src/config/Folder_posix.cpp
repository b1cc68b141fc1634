// Folder lookups on POSIX systems.
#include <pwd.h>
#include <unistd.h>

#include <QSettings>
#include <cstdlib>
#include <vector>

#include "config/FolderSteps.h"
#include "tkl/Settings.h"

namespace custovia {
namespace detail {

void openProductSettings(tkl::Settings& settings) {
    // The vendor's machine-wide settings are a file whose place Qt derives
    // from XDG_CONFIG_DIRS. It is read as UTF-8, the encoding of configuration
    // files written by hand or by packaging scripts; the escapes Qt writes
    // itself decode either way.
    const QSettings location(QSettings::NativeFormat, QSettings::SystemScope, "Moxtera");
    settings.openIni(location.fileName().toStdString(), "UTF-8");
}

std::string userProfileFolder() {
    // HOME, when set, is the user's choice even when empty; the password
    // database only stands in when it is unset.
    if (const char* home = std::getenv("HOME")) {
        return home;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::string();
    }
    return found->pw_dir;
}

}  // namespace detail
}  // namespace custovia
