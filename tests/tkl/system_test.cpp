#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tkl/OsDescription.h"
#include "tkl/System.h"

using tkl::OsInfo;
using tkl::System;

TEST(SystemErrors, TextsComeFromTheSystemAndUnknownCodesAreEmpty) {
    EXPECT_EQ(System::getErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(System::getErrorText(999999), "");
    EXPECT_EQ(System::getErrorText(0xFFFFFFFFu), "");
    errno = EACCES;
    EXPECT_EQ(System::getLastError(), static_cast<uint32_t>(EACCES));
    errno = EACCES;
    EXPECT_EQ(System::getLastErrorText(), "Permission denied");
}

TEST(SystemClocks, TicksAndMicrosecondsAdvanceWithSleeps) {
    const uint32_t ticks = System::getTicks();
    const uint64_t micros = System::getMicroseconds();
    System::sleep(20);
    // Unsigned differences stay right across the 32-bit wrap.
    EXPECT_GE(static_cast<uint32_t>(System::getTicks() - ticks), 20u);
    EXPECT_GE(System::getMicroseconds() - micros, 20000u);

    const uint64_t before = System::getMicroseconds();
    System::usleep(5000);
    EXPECT_GE(System::getMicroseconds() - before, 5000u);
    // Ticks and microseconds read the same clock.
    const uint64_t fromMicros = System::getMicroseconds() / 1000;
    EXPECT_LE(static_cast<uint32_t>(System::getTicks() - static_cast<uint32_t>(fromMicros)), 1000u);
}

TEST(SystemIdentity, AdminExecutableAndPlatform) {
    EXPECT_EQ(System::isAdmin(), geteuid() == 0);
    EXPECT_FALSE(System::isNt5OrLater());
    const std::string exe = System::getExecutableFileName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_NE(exe.find("system_test"), std::string::npos) << exe;
    EXPECT_EQ(System::getPlatformId(), static_cast<int32_t>(System::getOsInfo().platform));
}

TEST(SystemOsInfo, DescribesThisLinuxSystem) {
    const OsInfo info = System::getOsInfo();
    EXPECT_TRUE(info.isLinux());
    EXPECT_TRUE(info.isUnix());
    EXPECT_FALSE(info.isWindows());
    EXPECT_FALSE(info.fullName.empty());
    EXPECT_FALSE(info.build.empty());
    std::ifstream release("/etc/os-release");
    std::string text((std::istreambuf_iterator<char>(release)), std::istreambuf_iterator<char>());
    if (text.find("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"") != std::string::npos) {
        EXPECT_EQ(info.fullName, "Debian GNU/Linux 12 (bookworm)");
        EXPECT_EQ(info.name, "Debian GNU/Linux");
        EXPECT_EQ(info.version, "12");
        EXPECT_EQ(info.getPlatformName(), "Debian GNU/Linux Based Distro");
    }
#if defined(__x86_64__)
    EXPECT_EQ(info.getArchitectureName(), "amd64");
    EXPECT_TRUE(info.is64Bit());
#endif
}

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
        {"ID=arch\n", OsInfo::OtherLinux},
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
    EXPECT_EQ(tkl::architectureOfMachine("i686"), OsInfo::X86);
    EXPECT_EQ(tkl::architectureOfMachine("aarch64"), OsInfo::Arm64);
    EXPECT_EQ(tkl::architectureOfMachine("armv7l"), OsInfo::Arm);
    EXPECT_EQ(tkl::architectureOfMachine("ppc64le"), OsInfo::Ppc);
    EXPECT_EQ(tkl::architectureOfMachine("mips64"), OsInfo::Mips);
    EXPECT_EQ(tkl::architectureOfMachine("riscv64"), OsInfo::UnknownArchitecture);
    tkl::UnixRelease r{"Linux", "6.1", "armv7l", ""};
    EXPECT_FALSE(tkl::describeUnix(r).is64Bit());
    r.machine = "aarch64";
    EXPECT_TRUE(tkl::describeUnix(r).is64Bit());
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
    OsInfo copy;
    copy.assign(info);
    copy.reset();
    EXPECT_EQ(copy.toString(), "");
    EXPECT_EQ(info.toString(), "Microsoft Windows XP Professional, Service Pack 3");
}
