// Process launch with harmless commands. No test calls a power action.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

using tkl::System;
using tkltest::expectThrow;

namespace {

// A fresh folder, removed with its contents afterwards.
struct TempFolder {
    std::string file(const char* name) const { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
};

std::string contents(const std::string& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SystemProcess, ExitCodes) {
    EXPECT_EQ(System::executeAndWait("/bin/true", System::ShowDefault, 5000), 0);
    EXPECT_EQ(System::executeAndWait(std::string("true"), 0, -1), 0);  // found in PATH
    EXPECT_EQ(System::executeAndWait("/bin/sh -c \"exit 3\"", 0, -1), 3);
}

TEST(SystemProcess, RunningProcessReportsMinusOneUntilItEnds) {
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
}

TEST(SystemProcess, InteractiveUserVariantRunsTheTextWithoutQuotes) {
    TempFolder folder;
    std::string out = folder.file("out");
    // With its quotes the shell would print a'b'c; without them it prints abc.
    EXPECT_EQ(System::executeAsUserAndWait("echo \"a'b'c\" > " + out, 0, -1), 0);
    EXPECT_EQ(contents(out), "abc\n");
    EXPECT_EQ(System::executeAsUserAndWait("exit 5", System::ShowDefault, -1), 5);
}

TEST(SystemProcess, BadCommandLinesAreRefused) {
    const std::string empty = "Empty \"cmdline\" argument.";
    expectThrow<tkl::InvalidArgumentException>([] { System::execute(""); }, empty, -202);
    expectThrow<tkl::InvalidArgumentException>(
        [] { System::executeAsUser(static_cast<const char*>(nullptr)); }, empty, -202);
    expectThrow<tkl::InvalidArgumentException>([] { System::executeAsUser("\"\""); }, empty, -202);

    // Too long is refused whole: a cut command could run something else.
    TempFolder folder;
    std::string touch = "touch " + folder.file("made");
    std::string longLine = touch + std::string(System::MaxCommandLine + 1 - touch.size(), ' ');
    const std::string tooLong = "Command line longer than 259 characters.";
    expectThrow<tkl::InvalidArgumentException>([&] { System::execute(longLine); }, tooLong, -202);
    expectThrow<tkl::InvalidArgumentException>([&] { System::executeAsUser(longLine); }, tooLong,
                                               -202);
    EXPECT_FALSE(std::filesystem::exists(folder.file("made")));
    longLine.pop_back();
    EXPECT_EQ(System::executeAndWait(longLine, 0, -1), 0);
    EXPECT_TRUE(std::filesystem::exists(folder.file("made")));

    expectThrow<tkl::SystemException>([] { System::execute("no-such-program-here x"); },
                                      "Error in CreateProcess(): No such file or directory", -305);
    // Exec itself fails (not executable): the child's error reaches the caller.
    std::string script = folder.file("script");
    std::ofstream(script) << "#!/bin/sh\nexit 0\n";
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
