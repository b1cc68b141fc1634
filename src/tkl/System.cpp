#include "tkl/System.h"

namespace tkl {

// ---- OsInfo ---------------------------------------------------------------------

OsInfo::OsInfo() {
    reset();
}
OsInfo::~OsInfo() = default;

std::string OsInfo::toString() const {
    std::string text = fullName;
    if (!servicePack.empty()) {
        text += ", " + servicePack;
    }
    if (is64BitArch) {
        text += ", 64 bits";
    }
    return text;
}

void OsInfo::reset() {
    architecture = UnknownArchitecture;
    platform = UnknownPlatform;
    server = false;
    is64BitArch = false;
    fullName.clear();
    name.clear();
    version.clear();
    build.clear();
    servicePack.clear();
    servicePackVersion.clear();
}

void OsInfo::assign(const OsInfo& other) {
    *this = other;
}

std::string OsInfo::getArchitectureName() const {
    return architectureName(architecture);
}
std::string OsInfo::getPlatformName() const {
    return platformName(platform);
}

bool OsInfo::isWindows() const {
    return platform == Windows32 || platform == WindowsNt;
}
bool OsInfo::isUnix() const {
    return !isWindows() && platform != UnknownPlatform;
}
bool OsInfo::isLinux() const {
    return platform >= RedHatLinux && platform <= OtherLinux;
}
bool OsInfo::isBsd() const {
    return platform >= FreeBsd && platform <= OpenBsd;
}
bool OsInfo::isSolaris() const {
    return platform == Solaris;
}
bool OsInfo::isMac() const {
    return platform == MacOs;
}

std::string OsInfo::architectureName(uint32_t code) {
    static const char* const names[] = {"unknown", "x86",   "amd64", "ia64", "sparc", "sparc64",
                                        "mips",    "alpha", "ppc",   "arm",  "arm64"};
    return code < sizeof(names) / sizeof(names[0]) ? names[code] : names[0];
}

std::string OsInfo::platformName(uint32_t code) {
    static const char* const names[] = {
        "Unknown OS Platform",
        "Microsoft Windows 32 Platform",
        "Microsoft Windows NT Platform",
        "RedHat GNU/Linux Based Distro",
        "Debian GNU/Linux Based Distro",
        "Slackware GNU/Linux Based Distro",
        "Gentoo GNU/Linux Based Distro",
        "GNU/Linux Distro",
        "Apple MacOSX/Darwin Platform",
        "Sun/Oracle Solaris Based Unix",
        "FreeBSD Based Unix",
        "NetBSD Based Unix",
        "OpenBSD Based Unix",
        "Unix/POSIX OS Platform",
    };
    return code < sizeof(names) / sizeof(names[0]) ? names[code] : names[0];
}

// ---- System -----------------------------------------------------------------------

System::System() = default;
System::~System() = default;

std::string System::getLastErrorText() {
    return getErrorText(getLastError());
}

}  // namespace tkl
