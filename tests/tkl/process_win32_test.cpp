// Process launch on Windows. The child process is this test program itself,
// running its disabled helper test, which does what TKL_CHILD asks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/File.h"
#include "tkl/System.h"

using tkl::System;

namespace {

// The command line that runs this program as a child doing `what`:
// "exit:<code>" or "sleep:<milliseconds>".
std::string childCommand() {
    return "\"" + System::getExecutableFileName() +
           "\" --gtest_filter=ProcessChild.* --gtest_also_run_disabled_tests";
}

class ChildTask {
public:
    explicit ChildTask(const std::string& what) {
        SetEnvironmentVariableA("TKL_CHILD", what.c_str());
    }
    ~ChildTask() { SetEnvironmentVariableA("TKL_CHILD", nullptr); }
};

std::string tempFolder() {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Runs only as a child of the tests below.
TEST(ProcessChild, DISABLED_DoAsAsked) {
    const char* what = std::getenv("TKL_CHILD");
    ASSERT_NE(what, nullptr);
    const std::string task = what;
    if (task.rfind("exit:", 0) == 0) {
        ExitProcess(static_cast<UINT>(std::stoul(task.substr(5))));
    }
    if (task.rfind("sleep:", 0) == 0) {
        Sleep(static_cast<DWORD>(std::stoul(task.substr(6))));
        ExitProcess(0);
    }
}

TEST(ProcessWin32, ExitCodesComeBack) {
    {
        ChildTask task("exit:42");
        EXPECT_EQ(System::executeAndWait(childCommand(), System::ShowDefault, 60000), 42);
    }
    {
        // 259 is also the code of a running process: an ended process that
        // returns it is still told apart from one that runs.
        ChildTask task("exit:259");
        EXPECT_EQ(System::executeAndWait(childCommand(), System::ShowDefault, 60000), 259);
    }
    // A show mode other than the default passes through to the new window.
    ChildTask task("exit:0");
    EXPECT_EQ(System::executeAndWait(childCommand(), SW_HIDE, 60000), 0);
}

TEST(ProcessWin32, WaitingWithATimeoutLeavesARunningProcessAlone) {
    System::ProcessHandle child;
    {
        ChildTask task("sleep:60000");
        child = System::execute(childCommand());
    }
    const uint32_t start = System::getTicks();
    EXPECT_EQ(System::waitProcess(child, 0), -1);
    EXPECT_EQ(System::waitProcess(child, 200), -1);
    // Returns after about the time-out, not after the child's minute.
    EXPECT_LT(System::getTicks() - start, 20000u);

    ASSERT_TRUE(TerminateProcess(reinterpret_cast<HANDLE>(child), 7));
    EXPECT_EQ(System::waitProcess(child, -1), 7);
    // The handle stays the caller's: an ended process answers every wait
    // with its exit code until the handle is closed.
    EXPECT_EQ(System::waitProcess(child, 0), 7);
    EXPECT_EQ(System::waitProcess(child, -1), 7);
    System::closeProcess(child);
}

namespace {

DWORD handleCount() {
    DWORD count = 0;
    EXPECT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &count));
    return count;
}

}  // namespace

TEST(ProcessWin32, ExecuteAndWaitClosesTheHandlesItOpened) {
    // Wine answers 0 whatever the process holds.
    const HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DWORD withProbe = handleCount();
    CloseHandle(probe);
    if (withProbe == 0) {
        GTEST_SKIP() << "the system does not count a process's handles";
    }
    ChildTask task("exit:3");
    const DWORD before = handleCount();
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(System::executeAndWait(childCommand(), System::ShowDefault, 60000), 3);
    }
    // A handle left open per run would add eight.
    EXPECT_LT(handleCount(), before + 8);
}

TEST(ProcessWin32, BadCommandLinesAreRefused) {
    tkltest::expectThrow<tkl::InvalidArgumentException>([] { System::execute(""); },
                                                        "Empty \"cmdline\" argument.", -202);
    EXPECT_THROW(System::executeAsUser(static_cast<const char*>(nullptr)),
                 tkl::InvalidArgumentException);
    // A command line is never cut short.
    EXPECT_THROW(System::execute(std::string(300, 'x')), tkl::InvalidArgumentException);

    tkltest::expectThrow<tkl::SystemException>(
        [] { System::execute("tkl-no-such-program-here.exe"); },
        "Error in CreateProcess(): " + System::getErrorText(ERROR_FILE_NOT_FOUND), -305);
    EXPECT_THROW(System::waitProcess(0, 0), tkl::SystemException);
}

TEST(ProcessWin32, AsUserRunsTheCommandThroughTheShellWithoutQuotes) {
    const std::string base = tempFolder() + "tkl-as-user-" + std::to_string(GetCurrentProcessId());
    const std::string one = base + "-one";
    const std::string two = base + "-two";
    // Quoted, the two names would be one argument; without the quotes mkdir
    // makes two folders.
    System::ProcessHandle shell =
        System::executeAsUser("cmd /c mkdir \"" + one + " " + two + "\"", System::ShowDefault);
    EXPECT_EQ(System::waitProcess(shell, 60000), 0);
    System::closeProcess(shell);
    // "start" returns at once; the folders appear when its child has run.
    const uint32_t start = System::getTicks();
    while (!(folderExists(one) && folderExists(two)) && System::getTicks() - start < 60000) {
        Sleep(20);
    }
    EXPECT_TRUE(folderExists(one));
    EXPECT_TRUE(folderExists(two));
    RemoveDirectoryA(one.c_str());
    RemoveDirectoryA(two.c_str());
}
