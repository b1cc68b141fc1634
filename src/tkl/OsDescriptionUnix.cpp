// Describing a Unix system from its uname fields and os-release text.
#include <sstream>
#include <vector>

#include "tkl/OsDescription.h"

namespace tkl {

namespace {

// One value of an os-release line: quotes removed and backslash escapes
// resolved, as a shell would read it.
std::string releaseValue(const std::string& raw) {
    if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\'') ||
        raw.back() != raw.front()) {
        return raw;
    }
    const char quote = raw.front();
    std::string out;
    for (size_t i = 1; i + 1 < raw.size(); ++i) {
        if (quote == '"' && raw[i] == '\\' && i + 2 < raw.size()) {
            ++i;
        }
        out.push_back(raw[i]);
    }
    return out;
}

// The value of `key` in os-release text; "" when absent.
std::string releaseField(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    const std::string prefix = key + "=";
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, prefix.size(), prefix) == 0) {
            return releaseValue(line.substr(prefix.size()));
        }
    }
    return {};
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

// Distribution family from the distribution's own identifier, then from those
// it names as its ancestors.
uint32_t linuxFamily(const std::string& id, const std::string& idLike) {
    std::vector<std::string> ids = words(idLike);
    ids.insert(ids.begin(), id);
    for (const std::string& each : ids) {
        if (each == "debian" || each == "ubuntu" || each == "raspbian") {
            return OsInfo::DebianLinux;
        }
        if (each == "rhel" || each == "fedora" || each == "centos" || each == "redhat") {
            return OsInfo::RedHatLinux;
        }
        if (each == "slackware") {
            return OsInfo::SlackwareLinux;
        }
        if (each == "gentoo") {
            return OsInfo::GentooLinux;
        }
    }
    return OsInfo::OtherLinux;
}

uint32_t unixFamily(const std::string& sysname) {
    if (sysname == "Darwin") {
        return OsInfo::MacOs;
    }
    if (sysname == "SunOS") {
        return OsInfo::Solaris;
    }
    if (sysname == "FreeBSD") {
        return OsInfo::FreeBsd;
    }
    if (sysname == "NetBSD") {
        return OsInfo::NetBsd;
    }
    if (sysname == "OpenBSD") {
        return OsInfo::OpenBsd;
    }
    return OsInfo::OtherUnix;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

uint32_t architectureOfMachine(const std::string& m) {
    if (m == "x86_64" || m == "amd64") {
        return OsInfo::Amd64;
    }
    if (m == "i386" || m == "i486" || m == "i586" || m == "i686" || m == "i86pc" || m == "x86") {
        return OsInfo::X86;
    }
    if (m == "aarch64" || m == "arm64") {
        return OsInfo::Arm64;
    }
    if (startsWith(m, "arm")) {
        return OsInfo::Arm;
    }
    if (m == "ia64") {
        return OsInfo::Ia64;
    }
    if (m == "sparc64") {
        return OsInfo::Sparc64;
    }
    if (startsWith(m, "sparc") || startsWith(m, "sun4")) {
        return OsInfo::Sparc;
    }
    if (startsWith(m, "mips")) {
        return OsInfo::Mips;
    }
    if (startsWith(m, "alpha")) {
        return OsInfo::Alpha;
    }
    if (startsWith(m, "ppc") || startsWith(m, "powerpc")) {
        return OsInfo::Ppc;
    }
    return OsInfo::UnknownArchitecture;
}

OsInfo describeUnix(const UnixRelease& r) {
    OsInfo info;
    const bool isLinux = r.sysname == "Linux";
    info.platform =
        isLinux ? linuxFamily(releaseField(r.osRelease, "ID"), releaseField(r.osRelease, "ID_LIKE"))
                : unixFamily(r.sysname);
    info.architecture = architectureOfMachine(r.machine);
    info.is64BitArch = r.machine.find("64") != std::string::npos ||
                       startsWith(r.machine, "alpha") || r.machine == "s390x";

    const std::string name = releaseField(r.osRelease, "NAME");
    const std::string prettyName = releaseField(r.osRelease, "PRETTY_NAME");
    const std::string versionText = releaseField(r.osRelease, "VERSION");
    info.name = !name.empty() ? name : r.sysname;
    if (!prettyName.empty()) {
        info.fullName = prettyName;
    } else if (!name.empty()) {
        info.fullName = versionText.empty() ? name : name + " " + versionText;
    } else {
        info.fullName = r.release.empty() ? r.sysname : r.sysname + " " + r.release;
    }
    info.version = releaseField(r.osRelease, "VERSION_ID");
    if (info.version.empty()) {
        info.version = r.release.substr(0, r.release.find('-'));
    }
    info.build = r.release;
    return info;
}

}  // namespace tkl
