// Process launch on Windows: CreateProcess for the caller, and
// CreateProcessAsUser with the token of the interactive user's shell.
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <vector>

#include "tkl/Exception.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

namespace tkl {
namespace {

[[noreturn]] void fail(const char* failure) {
    throw SystemException(failure + System::getLastErrorText(), SystemException::defaultCode);
}

// CreateProcess may write into the command line, so it gets its own copy.
std::vector<char> writableCopy(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

STARTUPINFOA startupFor(int32_t showMode) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (showMode != System::ShowDefault) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showMode);
    }
    return startup;
}

// The running shell of the interactive user (explorer.exe), opened with the
// widest access the caller may have; null when there is none.
HANDLE findShellProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    HANDLE shell = nullptr;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && shell == nullptr;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != 0 && lstrcmpiA(entry.szExeFile, "explorer.exe") == 0) {
            shell = OpenProcess(MAXIMUM_ALLOWED, FALSE, entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return shell;
}

}  // namespace

System::ProcessHandle System::execute(const char* cmdline, int32_t showMode) {
    std::vector<char> command = writableCopy(process::checkedCommandLine(cmdline));
    STARTUPINFOA startup = startupFor(showMode);
    DWORD flags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;
    if (showMode == ShowDefault) {
        flags |= CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, &started)) {
        fail("Error in CreateProcess(): ");
    }
    CloseHandle(started.hThread);
    return reinterpret_cast<ProcessHandle>(started.hProcess);
}

System::ProcessHandle System::executeAsUser(const char* cmdline, int32_t showMode) {
    // The shell's start command runs the program in the user's session.
    std::vector<char> command = writableCopy(
        process::withoutQuotes("cmd /c start " + process::checkedCommandLine(cmdline)));

    HANDLE token = nullptr;
    if (HANDLE shell = findShellProcess()) {
        if (!OpenProcessToken(shell,
                              TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | READ_CONTROL,
                              &token)) {
            token = nullptr;
        }
        CloseHandle(shell);
    }

    STARTUPINFOA startup = startupFor(showMode);
    char desktop[] = "winsta0\\default";
    startup.lpDesktop = desktop;
    DWORD flags = NORMAL_PRIORITY_CLASS;
    if (showMode == ShowDefault) {
        flags |= CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION started{};
    BOOL ok = FALSE;
    if (token != nullptr) {
        ok = CreateProcessAsUserA(token, nullptr, command.data(), nullptr, nullptr, FALSE, flags,
                                  nullptr, nullptr, &startup, &started);
        // A caller without the right to start processes for another user
        // runs the command itself.
        if (!ok && GetLastError() == ERROR_PRIVILEGE_NOT_HELD) {
            ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                nullptr, &startup, &started);
        }
        DWORD error = GetLastError();
        CloseHandle(token);
        SetLastError(error);
    } else {
        ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                            nullptr, &startup, &started);
    }
    if (!ok) {
        fail("Error in CreateProcessAsUser(): ");
    }
    CloseHandle(started.hThread);
    return reinterpret_cast<ProcessHandle>(started.hProcess);
}

int32_t System::waitProcess(ProcessHandle process, int32_t timeout) {
    HANDLE handle = reinterpret_cast<HANDLE>(process);
    const DWORD limit = timeout < 0 ? INFINITE : static_cast<DWORD>(timeout);
    // A program with windows gets a moment to start taking input.
    WaitForInputIdle(handle, limit < 1000 ? limit : 1000);
    // Waiting on the handle rather than polling the exit code tells an ended
    // process from a running one even when its exit code is STILL_ACTIVE.
    const DWORD waited = WaitForSingleObject(handle, limit);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(handle, &exitCode)) {
        fail("Error in GetExitCodeProcess(): ");
    }
    if (waited == WAIT_TIMEOUT) {
        return -1;
    }
    if (waited != WAIT_OBJECT_0) {
        fail("Error in GetExitCodeProcess(): ");
    }
    // The handle stays the caller's: an ended process keeps its exit code
    // for every later wait until closeProcess.
    return static_cast<int32_t>(exitCode);
}

void System::closeProcess(ProcessHandle process) {
    if (process != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(process));
    }
}

}  // namespace tkl
