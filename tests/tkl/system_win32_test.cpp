// System services against the running Windows: error texts, clocks, the
// executable's path and the description of the system.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shlobj.h>

#include <string>

#include "tkl/File.h"
#include "tkl/String.h"
#include "tkl/System.h"

using tkl::OsInfo;
using tkl::System;

TEST(SystemWin32Errors, TextsComeFromTheSystemWithoutLineEnds) {
    const std::string notFound = System::getErrorText(ERROR_FILE_NOT_FOUND);
    const std::string denied = System::getErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(notFound.empty());
    ASSERT_FALSE(denied.empty());
    EXPECT_NE(notFound, denied);
    // The system's texts end with "\r\n"; the library's do not.
    for (const std::string& text : {notFound, denied}) {
        EXPECT_EQ(text, tkl::String::trim(text)) << text;
    }
    // No text for a code the system does not know.
    EXPECT_EQ(System::getErrorText(0x2FFFFFFFu), "");

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(System::getLastError(), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(System::getLastErrorText(), denied);
}

TEST(SystemWin32Clocks, TicksAreTheSystemTickCountAndSleepsLastLongEnough) {
    const uint32_t before = GetTickCount();
    const uint32_t ticks = System::getTicks();
    EXPECT_LE(static_cast<uint32_t>(ticks - before), 1000u);

    uint64_t micros = System::getMicroseconds();
    System::sleep(30);
    EXPECT_GE(System::getMicroseconds() - micros, 29000u);

    // The waitable timer counts in 100 ns steps.
    micros = System::getMicroseconds();
    System::usleep(20000);
    EXPECT_GE(System::getMicroseconds() - micros, 19000u);

    // The microsecond clock moves forward between two reads.
    const uint64_t first = System::getMicroseconds();
    while (System::getMicroseconds() == first) {
    }
}

TEST(SystemWin32Identity, ExecutablePathAndPlatform) {
    const std::string exe = System::getExecutableFileName();
    // "C:\...\system_win32_test.exe": a drive, backslashes, this program.
    ASSERT_GT(exe.size(), 3u);
    EXPECT_EQ(exe.substr(1, 2), ":\\") << exe;
    EXPECT_EQ(tkl::String::toLower(tkl::File::fileNameOf(exe)), "tkl_system_win32_test.exe");
    EXPECT_TRUE(tkl::File::exists(exe));

    // The Administrators membership agrees with the shell's own answer.
    EXPECT_EQ(System::isAdmin(), IsUserAnAdmin() != FALSE);
    EXPECT_TRUE(System::isNt5OrLater());
    EXPECT_EQ(System::getPlatformId(), VER_PLATFORM_WIN32_NT);
}

TEST(SystemWin32OsInfo, DescribesTheRunningWindows) {
    const OsInfo info = System::getOsInfo();
    EXPECT_TRUE(info.isWindows());
    EXPECT_FALSE(info.isUnix());
    EXPECT_EQ(info.platform, OsInfo::WindowsNt);
    EXPECT_EQ(info.getPlatformName(), "Microsoft Windows NT Platform");
    EXPECT_EQ(info.name.rfind("Microsoft Windows ", 0), 0u) << info.name;
    EXPECT_EQ(info.fullName.rfind(info.name, 0), 0u) << info.fullName;

    // The version and build are the ones the system reports.
    OSVERSIONINFOEXA record{};
    record.dwOSVersionInfoSize = sizeof record;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record)));
    if (!(record.dwMajorVersion == 6 && record.dwMinorVersion == 2)) {
        const std::string version = record.dwMinorVersion != 0
                                        ? std::to_string(record.dwMajorVersion) + "." +
                                              std::to_string(record.dwMinorVersion)
                                        : std::to_string(record.dwMajorVersion);
        EXPECT_EQ(info.version, version);
        EXPECT_EQ(info.build, std::to_string(record.dwBuildNumber));
    }
    EXPECT_EQ(info.isServer(), record.wProductType != VER_NT_WORKSTATION);

    // A 64-bit program runs on a 64-bit processor; a 32-bit one on either.
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) {
        EXPECT_EQ(info.architecture, OsInfo::Amd64);
        EXPECT_TRUE(info.is64Bit());
        EXPECT_EQ(info.toString().rfind(", 64 bits"), info.toString().size() - 9);
    } else if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL) {
        EXPECT_EQ(info.architecture, OsInfo::X86);
        EXPECT_TRUE(info.is32Bit());
    }
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(info.is64Bit());
    }
    EXPECT_EQ(info.toString().rfind(info.fullName, 0), 0u);
}
