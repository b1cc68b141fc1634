// Naming a Windows system from its version record: base name, edition,
// service pack, architecture and server flag.
#include <cctype>
#include <string>

#include "tkl/OsDescription.h"

namespace tkl {

namespace {

constexpr uint32_t kWorkstation = 1;
constexpr uint32_t kNoProductInfo = 0xABCDABCD;

// Processor architectures of the system information.
constexpr uint32_t kCpuItanium = 6;
constexpr uint32_t kCpuAlpha64 = 7;
constexpr uint32_t kCpuAmd64 = 9;

// Suite bits of the version record.
constexpr uint32_t kSuiteEnterprise = 0x2;
constexpr uint32_t kSuiteDatacenter = 0x80;
constexpr uint32_t kSuitePersonal = 0x200;
constexpr uint32_t kSuiteBlade = 0x400;
constexpr uint32_t kSuiteStorageServer = 0x2000;
constexpr uint32_t kSuiteComputeServer = 0x4000;
constexpr uint32_t kSuiteHomeServer = 0x8000;

std::string number(uint32_t value) {
    return std::to_string(value);
}

// "M" or "M.m" when the minor number is not 0.
std::string majorMinor(uint32_t major, uint32_t minor) {
    return minor != 0 ? number(major) + "." + number(minor) : number(major);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// Editions named by the product information codes.
struct ProductEdition {
    uint32_t codes[8];  // zero-padded
    const char* text;
};

const ProductEdition kProductEditions[] = {
    {{1, 28, 71}, "Ultimate Edition"},
    {{2, 5, 67}, "Home Basic Edition"},
    {{3, 26, 34, 68}, "Home Premium Edition"},
    {{4, 10, 23, 27, 38, 70, 72, 84}, "Enterprise Edition"},
    {{6, 16}, "Business Edition"},
    {{7, 21, 36, 52, 76, 96}, "Standard Edition"},
    {{8, 37, 80}, "Datacenter Edition"},
    {{9}, "Small Business Server"},
    {{11, 47, 66}, "Starter Edition"},
    {{12, 39}, "Datacenter Edition (core installation)"},
    {{13, 40, 44, 53}, "Standard Edition (core installation)"},
    {{14, 41, 46}, "Enterprise Edition (core installation)"},
    {{15}, "Enterprise Edition for Itanium-based Systems"},
    {{17}, "Web Server Edition"},
    {{18}, "Cluster Server Edition"},
    {{24, 35}, "Windows Essential Server Solutions"},
    {{25}, "Small Business Server Premium Edition"},
    {{29}, "Web Server Edition (core installation)"},
    {{30}, "Essential Business Server Management Server"},
    {{31}, "Essential Business Server Security Server"},
    {{32}, "Essential Business Server Messaging Server"},
    {{33}, "Server Foundation"},
    {{42}, "Microsoft Hyper-V Server"},
    {{48, 49, 69}, "Professional"},
    {{63}, "Small Business Server Premium Edition (core installation)"},
    {{103}, "Professional (Windows Media Center Edition)"},
};

// The edition of a product information code; "" for codes we do not know.
std::string productText(uint32_t type) {
    for (const ProductEdition& edition : kProductEditions) {
        for (uint32_t code : edition.codes) {
            if (code != 0 && code == type) {
                return edition.text;
            }
        }
    }
    return "";
}

std::string server2003Name(const WindowsVersion& v) {
    if (v.serverR2) {
        return "Microsoft Windows Server 2003 R2";
    }
    if (v.suiteMask == kSuiteStorageServer) {
        return "Microsoft Windows Storage Server 2003";
    }
    if (v.suiteMask == kSuiteHomeServer) {
        return "Microsoft Windows Home Server 2003";
    }
    return "Microsoft Windows Server 2003";
}

std::string ntBaseName(const WindowsVersion& v) {
    const bool workstation = v.productType == kWorkstation;
    const uint32_t M = v.major, m = v.minor;
    if (M <= 4) {
        return "Microsoft Windows NT";
    }
    if (M == 5) {
        switch (m) {
            case 0:
                return "Microsoft Windows 2000";
            case 1:
                return "Microsoft Windows XP";
            case 2:
                if (workstation && v.processorArchitecture == kCpuAmd64) {
                    return "Microsoft Windows XP Professional x64 Edition";
                }
                return server2003Name(v);
            default:
                return "";
        }
    }
    if (M == 6) {
        static const char* const names[4][2] = {
            {"Microsoft Windows Vista", "Microsoft Windows Server 2008"},
            {"Microsoft Windows 7", "Microsoft Windows Server 2008 R2"},
            {"Microsoft Windows 8", "Microsoft Windows Server 2012"},
            {"Microsoft Windows 8.1", "Microsoft Windows Server 2012 R2"},
        };
        return m < 4 ? names[m][workstation ? 0 : 1] : "";
    }
    if (M == 10 && m == 0) {
        return workstation ? "Microsoft Windows 10" : "Microsoft Windows Server 2016";
    }
    if (M >= 10) {
        if (workstation) {
            return "Microsoft Windows " + majorMinor(M, m);
        }
        return "Microsoft Windows Server " + number(4 * M + 1976) + (m != 0 ? " R2" : "");
    }
    return "";  // 7 to 9 never existed
}

std::string server2003Edition(const WindowsVersion& v) {
    const uint32_t suite = v.suiteMask;
    if (v.processorArchitecture == kCpuItanium) {
        if (suite & kSuiteDatacenter) {
            return ", Datacenter Edition for Itanium-based Systems";
        }
        if (suite & kSuiteEnterprise) {
            return ", Enterprise Edition for Itanium-based Systems";
        }
        return "";
    }
    if (v.processorArchitecture == kCpuAmd64) {
        if (suite & kSuiteDatacenter) {
            return " Datacenter x64 Edition";
        }
        if (suite & kSuiteEnterprise) {
            return " Enterprise x64 Edition";
        }
        return " Standard x64 Edition";
    }
    if (suite & kSuiteComputeServer) {
        return ", Compute Cluster Edition";
    }
    if (suite & kSuiteDatacenter) {
        return ", Datacenter Edition";
    }
    if (suite & kSuiteEnterprise) {
        return ", Enterprise Edition";
    }
    if (suite & kSuiteBlade) {
        return ", Web Edition";
    }
    return ", Standard Edition";
}

std::string nt4Edition(const WindowsVersion& v) {
    if (v.minor != 0) {
        return "";
    }
    if (!v.extended) {
        // Only the registry's product options tell the product apart.
        if (v.productOptionsRead) {
            if (equalsIgnoringCase(v.productOptions, "WINNT")) {
                return " Workstation 4.0";
            }
            if (equalsIgnoringCase(v.productOptions, "LANMANNT")) {
                return " Server 4.0";
            }
            if (equalsIgnoringCase(v.productOptions, "SERVERNT")) {
                return " Advanced Server 4.0";
            }
        }
        return " 4.0";
    }
    if (v.productType == kWorkstation) {
        return " Workstation 4.0";
    }
    return (v.suiteMask & kSuiteEnterprise) ? " Server 4.0 Enterprise Edition" : " Server 4.0";
}

std::string ntEdition(const WindowsVersion& v) {
    const bool workstation = v.productType == kWorkstation;
    const uint32_t M = v.major, m = v.minor;
    if (M > 5) {
        const std::string text =
            v.productInfo != 0 && v.productInfo != kNoProductInfo ? productText(v.productInfo) : "";
        // No separator without an edition to follow it.
        return text.empty() ? text : (workstation ? " " : ", ") + text;
    }
    if (M == 5 && m == 2) {
        return workstation ? "" : server2003Edition(v);
    }
    if (M == 5 && m == 1) {
        if (v.mediaCenter) {
            return " Media Center Edition";
        }
        if (v.starter) {
            return " Starter Edition";
        }
        if (v.tabletPc) {
            return " Tablet PC Edition";
        }
        return (v.suiteMask & kSuitePersonal) ? " Home Edition" : " Professional";
    }
    if (M == 5 && m == 0) {
        if (workstation) {
            return " Professional";
        }
        if (v.suiteMask & kSuiteDatacenter) {
            return " Datacenter Server";
        }
        return (v.suiteMask & kSuiteEnterprise) ? " Advanced Server" : " Server";
    }
    if (M == 4) {
        return nt4Edition(v);
    }
    if (M <= 3) {
        return (workstation ? " Workstation " : " Server ") + number(M) + "." + number(m);
    }
    return "";
}

std::string legacyBaseName(const WindowsVersion& v) {
    if (v.major == 4 && v.minor == 0) {
        return "Microsoft Windows 95";
    }
    if (v.major == 4 && v.minor == 10) {
        return "Microsoft Windows 98";
    }
    if (v.major == 4 && v.minor == 90) {
        return "Microsoft Windows Millennium Edition";
    }
    return "Microsoft Windows " + majorMinor(v.major, v.minor);
}

std::string legacyEdition(const WindowsVersion& v) {
    const char mark = v.csdVersion.size() >= 2 ? v.csdVersion[1] : '\0';
    if (v.major == 4 && v.minor == 10 && (mark == 'A' || mark == 'B')) {
        return " Second Edition";
    }
    if (v.major == 4 && v.minor == 0 && (mark == 'B' || mark == 'C')) {
        return " OSR2";
    }
    return "";
}

// Architecture code of a system-information processor architecture.
uint32_t architectureCode(uint32_t cpu) {
    static const uint32_t codes[] = {OsInfo::X86,
                                     OsInfo::Mips,
                                     OsInfo::Alpha,
                                     OsInfo::Ppc,
                                     OsInfo::UnknownArchitecture,
                                     OsInfo::Arm,
                                     OsInfo::Ia64,
                                     OsInfo::Alpha,
                                     OsInfo::UnknownArchitecture,
                                     OsInfo::Amd64};
    return cpu < sizeof(codes) / sizeof(codes[0]) ? codes[cpu] : OsInfo::UnknownArchitecture;
}

}  // namespace

OsInfo describeWindows(const WindowsVersion& v) {
    OsInfo info;
    const bool nt = v.platformId == 2;
    info.platform = v.platformId == 1 ? OsInfo::Windows32 : OsInfo::WindowsNt;
    info.name = nt ? ntBaseName(v) : legacyBaseName(v);
    info.fullName = info.name + (nt ? ntEdition(v) : legacyEdition(v));
    info.version = majorMinor(v.major, v.minor);
    info.build = nt ? number(v.build) : "";

    // The system information reports the architecture reliably from 5.2 on.
    const bool recent = nt && (v.major > 5 || (v.major == 5 && v.minor >= 2));
    info.architecture = recent ? architectureCode(v.processorArchitecture) : OsInfo::X86;
    info.is64BitArch =
        recent && (v.processorArchitecture == kCpuItanium ||
                   v.processorArchitecture == kCpuAlpha64 || v.processorArchitecture == kCpuAmd64);

    if (!nt) {
        info.server = false;
    } else if (v.major == 4 && v.minor == 0 && !v.extended) {
        info.server = v.productOptionsRead && !equalsIgnoringCase(v.productOptions, "WINNT");
    } else {
        info.server = v.productType != kWorkstation;
    }

    if (nt) {
        if (!v.csdVersion.empty()) {
            info.servicePack = v.csdVersion;
        } else if (v.extended && v.servicePackMajor != 0) {
            info.servicePack = "Service Pack " + majorMinor(v.servicePackMajor, v.servicePackMinor);
        }
        if (v.extended) {
            info.servicePackVersion = v.servicePackMajor != 0 ? number(v.servicePackMajor) : "";
            if (v.servicePackMinor != 0) {
                info.servicePackVersion += "." + number(v.servicePackMinor);
            }
        } else {
            const std::string label = "Service Pack";
            const size_t at = v.csdVersion.find(label);
            info.servicePackVersion =
                at != std::string::npos ? v.csdVersion.substr(at + label.size()) : "";
        }
    }
    return info;
}

}  // namespace tkl
