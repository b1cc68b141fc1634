// The system functions on POSIX systems, with harmless commands; no power actions.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/time.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "LoopbackTestSupport.h"
#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/OsDescription.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

using tkl::OsInfo;
using tkl::System;
using tkltest::expectThrow;

TEST(SystemErrors, TextsComeFromTheSystemAndUnknownCodesAreEmpty) {
    EXPECT_EQ(System::getErrorText(0xFFFFFFFFu), "");
    errno = EACCES;
    EXPECT_EQ(System::getLastErrorText(), "Permission denied");
}

namespace {
volatile sig_atomic_t alarms = 0;
void countAlarm(int) {
    alarms = alarms + 1;
}
}  // namespace

TEST(SystemClocks, SleepsLastTheirTimeDespiteSignalsAndTicksFollowTheClock) {
    struct sigaction action {};
    action.sa_handler = countAlarm;  // no SA_RESTART: the signal interrupts the sleep
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    const uint32_t ticks = System::getTicks();
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
    // Unsigned differences stay right across the 32-bit wrap.
    EXPECT_GE(static_cast<uint32_t>(System::getTicks() - ticks), 200u);
    // Ticks and microseconds read the same clock.
    const uint64_t fromMicros = System::getMicroseconds() / 1000;
    EXPECT_LE(static_cast<uint32_t>(System::getTicks() - static_cast<uint32_t>(fromMicros)), 1000u);
}

// The executable's path is pinned by the product folder lookup's tests.
TEST(SystemIdentity, ThisLinuxSystem) {
    const OsInfo info = System::getOsInfo();
    EXPECT_TRUE(info.isLinux());
    EXPECT_FALSE(info.fullName.empty());
    EXPECT_FALSE(info.build.empty());
#if defined(__x86_64__)
    EXPECT_EQ(info.getArchitectureName(), "amd64");
    EXPECT_TRUE(info.is64Bit());
#endif
}

TEST(SystemProcess, ExitCodesAndRunningProcesses) {
    EXPECT_EQ(System::executeAndWait("/bin/true", System::ShowDefault, 5000), 0);
    EXPECT_EQ(System::executeAndWait(std::string("true"), 0, -1), 0);  // found in PATH
    EXPECT_EQ(System::executeAndWait("/bin/sh -c \"exit 3\"", 0, -1), 3);

    // A running process reports -1 until it ends.
    System::ProcessHandle process = System::execute("sleep 30");
    EXPECT_EQ(System::waitProcess(process, 0), -1);
    EXPECT_EQ(System::waitProcess(process, 20), -1);
    ASSERT_EQ(::kill(static_cast<pid_t>(process), SIGTERM), 0);
    EXPECT_EQ(System::waitProcess(process, -1), 128 + SIGTERM);
    // Reaped: the id is no longer a process of ours.
    expectThrow<tkl::SystemException>([&] { System::waitProcess(process, 0); },
                                      "Error in GetExitCodeProcess(): No child processes", -305);
    expectThrow<tkl::SystemException>([&] { System::waitProcess(0, 0); },
                                      "Error in GetExitCodeProcess(): No child processes", -305);

    // The interactive user's variant drops the outer quotes (a'b'c if kept).
    loopback_test::TempDir dir;
    EXPECT_EQ(System::executeAsUserAndWait("echo \"a'b'c\" > " + dir.path() + "/out", 0, -1), 0);
    EXPECT_EQ(dir.read("out"), "abc\n");
    EXPECT_EQ(System::executeAsUserAndWait("exit 5", System::ShowDefault, -1), 5);
}

TEST(SystemProcess, BadCommandLinesAreRefused) {
    const std::string empty = "Empty \"cmdline\" argument.";
    expectThrow<tkl::InvalidArgumentException>([] { System::execute(""); }, empty, -202);
    expectThrow<tkl::InvalidArgumentException>(
        [] { System::executeAsUser(static_cast<const char*>(nullptr)); }, empty, -202);
    expectThrow<tkl::InvalidArgumentException>([] { System::executeAsUser("\"\""); }, empty, -202);

    // Too long is refused whole: a cut command could run something else.
    loopback_test::TempDir dir;
    const std::string made = dir.path() + "/made";
    std::string touch = "touch " + made;
    std::string longLine = touch + std::string(System::MaxCommandLine + 1 - touch.size(), ' ');
    const std::string tooLong = "Command line longer than 259 characters.";
    expectThrow<tkl::InvalidArgumentException>([&] { System::execute(longLine); }, tooLong, -202);
    expectThrow<tkl::InvalidArgumentException>([&] { System::executeAsUser(longLine); }, tooLong,
                                               -202);
    EXPECT_FALSE(std::filesystem::exists(made));
    longLine.pop_back();
    EXPECT_EQ(System::executeAndWait(longLine, 0, -1), 0);
    EXPECT_TRUE(std::filesystem::exists(made));

    expectThrow<tkl::SystemException>([] { System::execute("no-such-program-here x"); },
                                      "Error in CreateProcess(): No such file or directory", -305);
    // Exec itself fails (not executable): the child's error reaches the caller.
    const std::string script = dir.file("script", "#!/bin/sh\nexit 0\n");
    expectThrow<tkl::SystemException>([&] { System::execute(script); },
                                      "Error in CreateProcess(): Permission denied", -305);
}

TEST(SystemProcess, CommandLineSplitting) {
    using Args = std::vector<std::string>;
    using tkl::process::splitCommandLine;
    EXPECT_EQ(splitCommandLine("  prog  a\t\"b c\"  d "), (Args{"prog", "a", "b c", "d"}));
    EXPECT_EQ(splitCommandLine("prog \"\" x\"y z\"w"), (Args{"prog", "", "xy zw"}));
    // Backslashes count only before a quote.
    EXPECT_EQ(splitCommandLine(R"(prog a\"b c\\d "e\\" f\\\"g)"),
              (Args{"prog", "a\"b", "c\\\\d", "e\\", "f\\\"g"}));
}
