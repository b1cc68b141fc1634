#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "tkl/OsDescription.h"
#include "tkl/System.h"

using tkl::OsInfo;
using tkl::System;

TEST(SystemOsInfo, ConcurrentCallersGetTheSameDescription) {
    const std::string expected = System::getOsInfo().toString();
    std::vector<std::string> seen(8);
    std::vector<std::thread> threads;
    for (std::string& text : seen) {
        threads.emplace_back([&text] {
            for (int round = 0; round < 50; ++round)
                text = System::getOsInfo().toString();
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(seen, std::vector<std::string>(seen.size(), expected));
}

TEST(OsInfoUnix, DistributionFamiliesAndNames) {
    tkl::UnixRelease r{"Linux", "6.1.0-18-amd64", "x86_64",
                       "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                       "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\nID=debian\n"};
    OsInfo info = tkl::describeUnix(r);
    EXPECT_EQ(info.platform, OsInfo::DebianLinux);
    EXPECT_EQ(info.fullName, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(info.name, "Debian GNU/Linux");
    EXPECT_EQ(info.version, "12");
    EXPECT_EQ(info.build, "6.1.0-18-amd64");

    const std::pair<const char*, uint32_t> cases[] = {
        {"ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n", OsInfo::DebianLinux},
        {"ID=\"rocky\"\r\nID_LIKE=\"rhel centos fedora\"\n", OsInfo::RedHatLinux},
        {"ID=gentoo\n", OsInfo::GentooLinux},
        {"ID=\"opensuse-leap\"\nID_LIKE=\"suse opensuse\"\n", OsInfo::OtherLinux},
    };
    for (const auto& [osRelease, platform] : cases) {
        r.osRelease = osRelease;
        EXPECT_EQ(tkl::describeUnix(r).platform, platform) << osRelease;
    }

    // Without PRETTY_NAME, name and version make the full name; without os-release, uname.
    r.osRelease = "NAME='Example OS'\nVERSION=\"3.1 \\\"Quiet\\\"\"\n";
    EXPECT_EQ(tkl::describeUnix(r).fullName, "Example OS 3.1 \"Quiet\"");
    r = {"FreeBSD", "14.0-RELEASE", "amd64", ""};
    info = tkl::describeUnix(r);
    EXPECT_EQ(info.platform, OsInfo::FreeBsd);
    EXPECT_EQ(info.fullName, "FreeBSD 14.0-RELEASE");
    EXPECT_EQ(info.version, "14.0");
    EXPECT_EQ(tkl::describeUnix({"Darwin", "23.1.0", "arm64", ""}).platform, OsInfo::MacOs);
}

TEST(OsInfoUnix, ArchitectureFromMachineName) {
    const std::tuple<const char*, uint32_t, bool> cases[] = {
        {"i686", OsInfo::X86, false},   {"aarch64", OsInfo::Arm64, true},
        {"armv7l", OsInfo::Arm, false}, {"ppc64le", OsInfo::Ppc, true},
        {"mips64", OsInfo::Mips, true}, {"riscv64", OsInfo::UnknownArchitecture, true}};
    for (const auto& [machine, architecture, is64Bit] : cases) {
        EXPECT_EQ(tkl::architectureOfMachine(machine), architecture) << machine;
        EXPECT_EQ(tkl::describeUnix({"Linux", "6.1", machine, ""}).is64Bit(), is64Bit) << machine;
    }
}

TEST(OsInfoCodes, NamesAndFamilies) {
    // Codes past the end of the name tables are unknown.
    EXPECT_EQ(OsInfo::architectureName(10), "arm64");
    EXPECT_EQ(OsInfo::architectureName(11), "unknown");
    EXPECT_EQ(OsInfo::platformName(13), "Unix/POSIX OS Platform");
    EXPECT_EQ(OsInfo::platformName(14), "Unknown OS Platform");

    OsInfo info;
    EXPECT_FALSE(info.isUnix());
    EXPECT_FALSE(info.isWindows());
    for (uint32_t code = 1; code <= 13; ++code) {
        info.platform = code;
        const int families = info.isWindows() + info.isLinux() + info.isBsd() + info.isSolaris() +
                             info.isMac() + (code == OsInfo::OtherUnix);
        EXPECT_EQ(families, 1) << code;
        EXPECT_EQ(info.isUnix(), code >= 3) << code;
    }
}

namespace {

tkl::WindowsVersion nt(uint32_t major, uint32_t minor, uint32_t productType, uint32_t suite = 0,
                       uint32_t cpu = 0, uint32_t productInfo = 0) {
    tkl::WindowsVersion v;
    std::tie(v.major, v.minor, v.productType, v.suiteMask, v.processorArchitecture, v.productInfo) =
        std::tie(major, minor, productType, suite, cpu, productInfo);
    return v;
}

tkl::WindowsVersion with(tkl::WindowsVersion v, bool tkl::WindowsVersion::*flag) {
    v.*flag = true;
    return v;
}

// NT 4.0 with only the basic version record: the registry's product options tell.
tkl::WindowsVersion nt4(const char* productOptions) {
    tkl::WindowsVersion v = nt(4, 0, 0);
    v.extended = false;
    v.productOptionsRead = productOptions != nullptr;
    v.productOptions = productOptions ? productOptions : "";
    return v;
}

}  // namespace

TEST(OsInfoWindows, FullNamesByVersionProductTypeAndEdition) {
    using V = tkl::WindowsVersion;
    const std::pair<tkl::WindowsVersion, const char*> cases[] = {
        {nt(6, 0, 2), "Microsoft Windows Server 2008"},  // a domain controller is a server
        {nt(10, 0, 3), "Microsoft Windows Server 2016"},
        {nt(10, 1, 1), "Microsoft Windows 10.1"},
        {nt(11, 2, 3), "Microsoft Windows Server 2020 R2"},
        {nt(6, 4, 1), ""},
        {nt(8, 0, 1), ""},
        // Editions from the product information; unnamed codes add no separator.
        {nt(6, 1, 1, 0, 0, 48), "Microsoft Windows 7 Professional"},
        {nt(6, 3, 3, 0, 0, 40),
         "Microsoft Windows Server 2012 R2, Standard Edition (core installation)"},
        {nt(6, 3, 3, 0, 0, 19), "Microsoft Windows Server 2012 R2"},
        // Editions of older systems from suite, processor and system metrics.
        {nt(5, 2, 1, 0, 9), "Microsoft Windows XP Professional x64 Edition"},
        {nt(5, 2, 3, 0x80, 6),
         "Microsoft Windows Server 2003, Datacenter Edition for Itanium-based Systems"},
        {nt(5, 2, 3, 0, 6), "Microsoft Windows Server 2003"},
        {nt(5, 2, 3, 0x82, 9), "Microsoft Windows Server 2003 Datacenter x64 Edition"},
        {nt(5, 2, 3, 0x4082), "Microsoft Windows Server 2003, Compute Cluster Edition"},
        {nt(5, 2, 3), "Microsoft Windows Server 2003, Standard Edition"},
        {nt(5, 2, 3, 0x2000), "Microsoft Windows Storage Server 2003, Standard Edition"},
        {with(nt(5, 2, 3, 0x8000), &V::serverR2),
         "Microsoft Windows Server 2003 R2, Standard Edition"},
        // The first metric that is set decides.
        {with(with(nt(5, 1, 1), &V::mediaCenter), &V::starter),
         "Microsoft Windows XP Media Center Edition"},
        {nt(5, 1, 1, 0x200), "Microsoft Windows XP Home Edition"},
        {nt(5, 1, 1), "Microsoft Windows XP Professional"},
        {nt(5, 0, 3, 0x82), "Microsoft Windows 2000 Datacenter Server"},
        {nt(4, 0, 1), "Microsoft Windows NT Workstation 4.0"},
        {nt(4, 0, 3, 0x2), "Microsoft Windows NT Server 4.0 Enterprise Edition"},
        {nt(4, 1, 3), "Microsoft Windows NT"},
        {nt(3, 51, 1), "Microsoft Windows NT Workstation 3.51"},
        {nt4(nullptr), "Microsoft Windows NT 4.0"},
        {nt4("winnt"), "Microsoft Windows NT Workstation 4.0"},
        {nt4("SERVERNT"), "Microsoft Windows NT Advanced Server 4.0"},
    };
    for (const auto& [v, fullName] : cases) {
        const OsInfo info = tkl::describeWindows(v);
        EXPECT_EQ(info.fullName, fullName);
        EXPECT_EQ(info.platform, OsInfo::WindowsNt);
        const bool named = std::string(fullName).find("Server") != std::string::npos;
        EXPECT_EQ(info.server, v.productType > 1 || named) << fullName;
    }

    // Before 6.0 the name is the base name without the edition.
    EXPECT_EQ(tkl::describeWindows(nt(5, 2, 3)).name, "Microsoft Windows Server 2003");
}

TEST(OsInfoWindows, LegacyFamily) {
    const std::tuple<uint32_t, const char*, const char*> cases[] = {
        {10, " A ", "Microsoft Windows 98 Second Edition"},
        {0, " C", "Microsoft Windows 95 OSR2"},
        {0, "", "Microsoft Windows 95"},
        {90, "", "Microsoft Windows Millennium Edition"},
        {3, "", "Microsoft Windows 4.3"}};
    for (const auto& [minor, csdVersion, fullName] : cases) {
        tkl::WindowsVersion v = nt(4, minor, 0);
        v.platformId = 1;
        v.build = 2222;
        v.csdVersion = csdVersion;
        const OsInfo info = tkl::describeWindows(v);
        EXPECT_EQ(info.fullName, fullName);
        EXPECT_EQ(info.platform, OsInfo::Windows32);
        // This family reports no build, service pack or server, and runs on x86.
        EXPECT_EQ(info.build + info.servicePack, "");
        EXPECT_FALSE(info.server);
        EXPECT_EQ(info.architecture, OsInfo::X86);
    }
}

TEST(OsInfoWindows, ServicePackArchitectureAndTextForm) {
    tkl::WindowsVersion v = nt(6, 1, 1, 0, 9, 48);
    v.build = 7601;
    v.servicePackMajor = 1;
    OsInfo info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePackVersion, "1");
    EXPECT_EQ(info.version, "6.1");
    EXPECT_EQ(info.build, "7601");
    EXPECT_EQ(info.toString(), "Microsoft Windows 7 Professional, Service Pack 1, 64 bits");
    // The service-pack text wins over the numbers, which fill in without it.
    v.csdVersion = "Service Pack 2 RC";
    v.servicePackMajor = 2;
    v.servicePackMinor = 1;
    info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePack, "Service Pack 2 RC");
    EXPECT_EQ(info.servicePackVersion, "2.1");
    v.csdVersion.clear();
    EXPECT_EQ(tkl::describeWindows(v).servicePack, "Service Pack 2.1");

    v = nt4(nullptr);
    v.csdVersion = "Service Pack 6a";
    v.processorArchitecture = 9;  // not reported before 5.2
    info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePackVersion, " 6a");
    EXPECT_TRUE(info.is32Bit());

    // Processor architectures of the system information from 5.2 on.
    const uint32_t expected[] = {1, 6, 7, 8, 0, 9, 3, 7, 0, 2, 0, 0, 0};
    for (uint32_t cpu = 0; cpu < 13; ++cpu) {
        info = tkl::describeWindows(nt(10, 0, 1, 0, cpu));
        EXPECT_EQ(info.architecture, expected[cpu]) << cpu;
        EXPECT_EQ(info.is64Bit(), cpu == 6 || cpu == 7 || cpu == 9) << cpu;
    }
}
