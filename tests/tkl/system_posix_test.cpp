#include <gtest/gtest.h>

#include <sys/time.h>
#include <unistd.h>

#include <csignal>

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

namespace {
volatile sig_atomic_t alarms = 0;
void countAlarm(int) {
    alarms = alarms + 1;
}
}  // namespace

TEST(SystemClocks, SleepsLastTheirTimeDespiteSignals) {
    struct sigaction action {};
    action.sa_handler = countAlarm;  // no SA_RESTART: the signal interrupts the sleep
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    // An alarm 10 ms into each sleep of 100 ms.
    for (auto sleep : {+[] { System::sleep(100); }, +[] { System::usleep(100000); }}) {
        itimerval timer{};
        timer.it_value.tv_usec = 10000;
        ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
        const int before = alarms;
        const uint64_t start = System::getMicroseconds();
        sleep();
        EXPECT_GE(System::getMicroseconds() - start, 100000u);
        EXPECT_EQ(alarms, before + 1);
    }
    sigaction(SIGALRM, &previous, nullptr);
}

TEST(SystemIdentity, AdminExecutableAndPlatform) {
    EXPECT_EQ(System::isAdmin(), geteuid() == 0);
    EXPECT_FALSE(System::isNt5OrLater());
    const std::string exe = System::getExecutableFileName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_NE(exe.find("system_posix_test"), std::string::npos) << exe;
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
