#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tkl/OsDescription.h"
#include "tkl/System.h"

using tkl::OsInfo;
using tkl::System;

TEST(SystemOsInfo, ConcurrentCallersGetTheSameDescription) {
    const std::string expected = System::getOsInfo().toString();
    std::vector<std::thread> threads;
    std::vector<std::string> seen(8);
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] {
            for (int round = 0; round < 50; ++round) {
                seen[i] = System::getOsInfo().toString();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& text : seen) {
        EXPECT_EQ(text, expected);
    }
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
    EXPECT_EQ(info.toString(), "Debian GNU/Linux 12 (bookworm), 64 bits");

    struct Case {
        const char* osRelease;
        uint32_t platform;
    } cases[] = {
        {"ID=ubuntu\nID_LIKE=debian\n", OsInfo::DebianLinux},
        {"ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n", OsInfo::DebianLinux},
        {"ID=\"rocky\"\nID_LIKE=\"rhel centos fedora\"\n", OsInfo::RedHatLinux},
        {"ID=fedora\n", OsInfo::RedHatLinux},
        {"ID=slackware\n", OsInfo::SlackwareLinux},
        {"ID=gentoo\n", OsInfo::GentooLinux},
        {"ID=\"opensuse-leap\"\nID_LIKE=\"suse opensuse\"\n", OsInfo::OtherLinux},
        {"", OsInfo::OtherLinux},
    };
    for (const Case& c : cases) {
        r.osRelease = c.osRelease;
        EXPECT_EQ(tkl::describeUnix(r).platform, c.platform) << c.osRelease;
    }

    // Without PRETTY_NAME the name and version make the full name; without
    // os-release the kernel's names do.
    r.osRelease = "NAME='Example OS'\nVERSION=\"3.1 \\\"Quiet\\\"\"\n";
    EXPECT_EQ(tkl::describeUnix(r).fullName, "Example OS 3.1 \"Quiet\"");
    r = {"FreeBSD", "14.0-RELEASE", "amd64", ""};
    info = tkl::describeUnix(r);
    EXPECT_EQ(info.platform, OsInfo::FreeBsd);
    EXPECT_TRUE(info.isBsd());
    EXPECT_EQ(info.fullName, "FreeBSD 14.0-RELEASE");
    EXPECT_EQ(info.version, "14.0");
    EXPECT_EQ(tkl::describeUnix({"Darwin", "23.1.0", "arm64", ""}).platform, OsInfo::MacOs);
}

TEST(OsInfoUnix, ArchitectureFromMachineName) {
    const struct {
        const char* machine;
        uint32_t architecture;
        bool is64Bit;
    } cases[] = {{"i686", OsInfo::X86, false},   {"aarch64", OsInfo::Arm64, true},
                 {"armv7l", OsInfo::Arm, false}, {"ppc64le", OsInfo::Ppc, true},
                 {"mips64", OsInfo::Mips, true}, {"riscv64", OsInfo::UnknownArchitecture, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(tkl::architectureOfMachine(c.machine), c.architecture) << c.machine;
        EXPECT_EQ(tkl::describeUnix({"Linux", "6.1", c.machine, ""}).is64Bit(), c.is64Bit)
            << c.machine;
    }
}

TEST(OsInfoCodes, NamesAndFamilies) {
    EXPECT_EQ(OsInfo::architectureName(0), "unknown");
    EXPECT_EQ(OsInfo::architectureName(10), "arm64");
    EXPECT_EQ(OsInfo::architectureName(11), "unknown");
    EXPECT_EQ(OsInfo::platformName(2), "Microsoft Windows NT Platform");
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
    info.fullName = "Microsoft Windows XP Professional";
    info.servicePack = "Service Pack 3";
    EXPECT_EQ(info.toString(), "Microsoft Windows XP Professional, Service Pack 3");
}

namespace {

tkl::WindowsVersion nt(uint32_t major, uint32_t minor, uint32_t productType = 1) {
    tkl::WindowsVersion v;
    v.platformId = 2;
    v.major = major;
    v.minor = minor;
    v.productType = productType;
    return v;
}

}  // namespace

TEST(OsInfoWindows, BaseNamesByVersionAndProductType) {
    struct Case {
        uint32_t major, minor, productType;
        const char* name;
    } cases[] = {
        {3, 51, 1, "Microsoft Windows NT"},
        {5, 2, 3, "Microsoft Windows Server 2003"},
        {6, 0, 1, "Microsoft Windows Vista"},
        {6, 0, 2, "Microsoft Windows Server 2008"},  // a domain controller is a server
        {6, 3, 3, "Microsoft Windows Server 2012 R2"},
        {10, 0, 1, "Microsoft Windows 10"},
        {10, 0, 3, "Microsoft Windows Server 2016"},
        {10, 1, 1, "Microsoft Windows 10.1"},
        {11, 0, 3, "Microsoft Windows Server 2020"},
        {11, 2, 3, "Microsoft Windows Server 2020 R2"},
        {6, 4, 1, ""},
        {8, 0, 1, ""},
    };
    for (const Case& c : cases) {
        const OsInfo info = tkl::describeWindows(nt(c.major, c.minor, c.productType));
        EXPECT_EQ(info.name, c.name) << c.major << "." << c.minor;
        if (c.major >= 6) {
            EXPECT_EQ(info.fullName, c.name) << "no product information, no edition";
        }
        EXPECT_EQ(info.server, c.productType != 1);
        EXPECT_EQ(info.platform, OsInfo::WindowsNt);
    }

    tkl::WindowsVersion v = nt(5, 2, 1);
    v.processorArchitecture = 9;
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows XP Professional x64 Edition");
    v = nt(5, 2, 3);
    v.suiteMask = 0x2000;
    EXPECT_EQ(tkl::describeWindows(v).name, "Microsoft Windows Storage Server 2003");
    v.suiteMask = 0x8000;
    EXPECT_EQ(tkl::describeWindows(v).name, "Microsoft Windows Home Server 2003");
    v.serverR2 = true;
    EXPECT_EQ(tkl::describeWindows(v).name, "Microsoft Windows Server 2003 R2");
}

TEST(OsInfoWindows, EditionsFromProductInformation) {
    tkl::WindowsVersion v = nt(6, 1, 1);
    v.productInfo = 48;
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows 7 Professional");
    v = nt(6, 3, 3);
    v.productInfo = 40;
    EXPECT_EQ(tkl::describeWindows(v).fullName,
              "Microsoft Windows Server 2012 R2, Standard Edition (core installation)");
    v.productInfo = 84;
    EXPECT_EQ(tkl::describeWindows(v).fullName,
              "Microsoft Windows Server 2012 R2, Enterprise Edition");
    // Codes without a name add no dangling separator.
    for (uint32_t code : {0u, 19u, 104u, 0xABCDABCDu}) {
        v.productInfo = code;
        EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows Server 2012 R2") << code;
    }
}

TEST(OsInfoWindows, EditionsOfOlderSystems) {
    struct Case {
        tkl::WindowsVersion v;
        const char* fullName;
    };
    auto with = [](tkl::WindowsVersion v, uint32_t suite, uint32_t cpu) {
        v.suiteMask = suite;
        v.processorArchitecture = cpu;
        return v;
    };
    tkl::WindowsVersion mediaCenter = nt(5, 1, 1), starter = nt(5, 1, 1), tablet = nt(5, 1, 1);
    mediaCenter.mediaCenter = starter.starter = tablet.tabletPc = true;
    mediaCenter.starter = true;  // the first metric that is set decides
    const Case cases[] = {
        {with(nt(5, 2, 3), 0x80, 6),
         "Microsoft Windows Server 2003, Datacenter Edition for Itanium-based Systems"},
        {with(nt(5, 2, 3), 0, 6), "Microsoft Windows Server 2003"},
        {with(nt(5, 2, 3), 0x82, 9), "Microsoft Windows Server 2003 Datacenter x64 Edition"},
        {with(nt(5, 2, 3), 0, 9), "Microsoft Windows Server 2003 Standard x64 Edition"},
        {with(nt(5, 2, 3), 0x4082, 0), "Microsoft Windows Server 2003, Compute Cluster Edition"},
        {with(nt(5, 2, 3), 0x400, 0), "Microsoft Windows Server 2003, Web Edition"},
        {with(nt(5, 2, 3), 0, 0), "Microsoft Windows Server 2003, Standard Edition"},
        {mediaCenter, "Microsoft Windows XP Media Center Edition"},
        {starter, "Microsoft Windows XP Starter Edition"},
        {tablet, "Microsoft Windows XP Tablet PC Edition"},
        {with(nt(5, 1, 1), 0x200, 0), "Microsoft Windows XP Home Edition"},
        {nt(5, 1, 1), "Microsoft Windows XP Professional"},
        {nt(5, 0, 1), "Microsoft Windows 2000 Professional"},
        {with(nt(5, 0, 3), 0x82, 0), "Microsoft Windows 2000 Datacenter Server"},
        {nt(5, 0, 3), "Microsoft Windows 2000 Server"},
        {nt(4, 0, 1), "Microsoft Windows NT Workstation 4.0"},
        {with(nt(4, 0, 3), 0x2, 0), "Microsoft Windows NT Server 4.0 Enterprise Edition"},
        {nt(4, 0, 3), "Microsoft Windows NT Server 4.0"},
        {nt(4, 1, 3), "Microsoft Windows NT"},
        {nt(3, 51, 1), "Microsoft Windows NT Workstation 3.51"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tkl::describeWindows(c.v).fullName, c.fullName);
    }
}

TEST(OsInfoWindows, Nt4WithBasicRecordAsksTheRegistry) {
    tkl::WindowsVersion v = nt(4, 0, 0);
    v.extended = false;
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows NT 4.0");
    EXPECT_FALSE(tkl::describeWindows(v).server);
    v.productOptionsRead = true;
    const struct {
        const char* options;
        const char* fullName;
        bool server;
    } cases[] = {
        {"winnt", "Microsoft Windows NT Workstation 4.0", false},
        {"LanmanNT", "Microsoft Windows NT Server 4.0", true},
        {"SERVERNT", "Microsoft Windows NT Advanced Server 4.0", true},
    };
    for (const auto& c : cases) {
        v.productOptions = c.options;
        EXPECT_EQ(tkl::describeWindows(v).fullName, c.fullName);
        EXPECT_EQ(tkl::describeWindows(v).server, c.server);
    }
}

TEST(OsInfoWindows, LegacyFamily) {
    tkl::WindowsVersion v;
    v.platformId = 1;
    v.major = 4;
    v.minor = 10;
    v.build = 2222;
    v.csdVersion = " A ";
    OsInfo info = tkl::describeWindows(v);
    EXPECT_EQ(info.fullName, "Microsoft Windows 98 Second Edition");
    EXPECT_EQ(info.platform, OsInfo::Windows32);
    EXPECT_EQ(info.version, "4.10");
    EXPECT_EQ(info.build, "");
    EXPECT_EQ(info.servicePack, "");
    EXPECT_FALSE(info.server);
    EXPECT_EQ(info.architecture, OsInfo::X86);
    v.minor = 0;
    v.csdVersion = " C";
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows 95 OSR2");
    v.csdVersion = "";
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows 95");
    v.minor = 90;
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows Millennium Edition");
    v.minor = 3;
    EXPECT_EQ(tkl::describeWindows(v).fullName, "Microsoft Windows 4.3");
}

TEST(OsInfoWindows, ServicePackArchitectureAndTextForm) {
    tkl::WindowsVersion v = nt(6, 1, 1);
    v.build = 7601;
    v.productInfo = 48;
    v.processorArchitecture = 9;
    v.servicePackMajor = 1;
    OsInfo info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePack, "Service Pack 1");
    EXPECT_EQ(info.servicePackVersion, "1");
    EXPECT_EQ(info.version, "6.1");
    EXPECT_EQ(info.build, "7601");
    EXPECT_EQ(info.getArchitectureName(), "amd64");
    EXPECT_EQ(info.toString(), "Microsoft Windows 7 Professional, Service Pack 1, 64 bits");

    v.csdVersion = "Service Pack 2 RC";
    v.servicePackMajor = 2;
    v.servicePackMinor = 1;
    info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePack, "Service Pack 2 RC");
    EXPECT_EQ(info.servicePackVersion, "2.1");
    v.csdVersion.clear();
    EXPECT_EQ(tkl::describeWindows(v).servicePack, "Service Pack 2.1");

    v = nt(4, 0, 1);
    v.extended = false;
    v.csdVersion = "Service Pack 6a";
    info = tkl::describeWindows(v);
    EXPECT_EQ(info.servicePackVersion, " 6a");
    EXPECT_EQ(info.architecture, OsInfo::X86);  // not reported before 5.2
    EXPECT_TRUE(info.is32Bit());

    // Processor architectures of the system information from 5.2 on.
    const uint32_t expected[] = {1, 6, 7, 8, 0, 9, 3, 7, 0, 2, 0, 0, 0};
    for (uint32_t cpu = 0; cpu < 13; ++cpu) {
        v = nt(10, 0, 1);
        v.processorArchitecture = cpu;
        info = tkl::describeWindows(v);
        EXPECT_EQ(info.architecture, expected[cpu]) << cpu;
        EXPECT_EQ(info.is64Bit(), cpu == 6 || cpu == 7 || cpu == 9) << cpu;
    }
}
