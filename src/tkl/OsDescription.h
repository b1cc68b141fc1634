// Building a tkl::OsInfo from the facts a platform reports about itself.
//
// The naming rules are pure data, kept apart from the calls that gather the
// facts so that they build and are tested on every platform: System_win32.cpp
// fills a WindowsVersion, System_posix.cpp a UnixRelease. Internal to the
// library.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/System.h"

namespace tkl {

// What Windows reports about its version, product and hardware.
struct WindowsVersion {
    // The version record.
    uint32_t platformId = 2;  // 1: 95/98/ME, 2: NT family
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string csdVersion;  // service-pack text, e.g. "Service Pack 1"
    // Only the basic record could be read: the fields below up to productType
    // stay 0.
    bool extended = true;
    uint32_t servicePackMajor = 0;
    uint32_t servicePackMinor = 0;
    uint32_t suiteMask = 0;
    uint32_t productType = 0;  // 1 workstation, 2 domain controller, 3 server

    // The processor architecture of the system information (0 Intel, 6 Itanium,
    // 9 AMD64, ...).
    uint32_t processorArchitecture = 0;
    // The product information code for version 6 and later (0: none).
    uint32_t productInfo = 0;
    // System metrics: server R2, media center, starter, tablet PC.
    bool serverR2 = false;
    bool mediaCenter = false;
    bool starter = false;
    bool tabletPc = false;
    // NT 4 with only the basic record: the registry's product options
    // ("WINNT", "LANMANNT", "SERVERNT"), when it could be read.
    bool productOptionsRead = false;
    std::string productOptions;
};

// What a Unix system reports: uname fields and the os-release text.
struct UnixRelease {
    std::string sysname;    // "Linux", "FreeBSD", "Darwin", ...
    std::string release;    // kernel release, e.g. "6.1.0-18-amd64"
    std::string machine;    // "x86_64", "aarch64", ...
    std::string osRelease;  // contents of os-release, may be empty
};

// The description of a Windows system with its base name, edition, version,
// service pack, architecture and server flag.
OsInfo describeWindows(const WindowsVersion& v);

// The description of a Unix system: the distribution family and names from
// os-release, the architecture from the machine name.
OsInfo describeUnix(const UnixRelease& r);

// Architecture code of a uname machine name ("x86_64" gives OsInfo::Amd64).
uint32_t architectureOfMachine(const std::string& machine);

}  // namespace tkl
