// Power actions on Windows: the shutdown privilege, ExitWindowsEx, and
// hibernation through the power manager (powrprof.dll, loaded when needed).
#include <windows.h>

#include "tkl/Exception.h"
#include "tkl/System.h"

namespace tkl {
namespace {

[[noreturn]] void fail(const char* failure) {
    throw SystemException(failure + System::getLastErrorText(), SystemException::defaultCode);
}

void exitWindows(UINT flags) {
    System::enableShutdownPrivilege();
    if (!ExitWindowsEx(flags, 0)) {
        fail("Error in ExitWindowsEx(): ");
    }
}

// An entry point of powrprof.dll; the library stays loaded for the process.
template <typename Function>
Function powerEntry(const char* name) {
    static HMODULE library = LoadLibraryA("powrprof.dll");
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

void System::enableShutdownPrivilege() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return;  // 95/98/ME have no privileges
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        fail("Error in OpenProcessToken() : ");
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        DWORD error = GetLastError();
        CloseHandle(token);
        SetLastError(error);
        fail("Error in LookupPrivilegeValue() : ");
    }
    // Success here does not mean the privilege was granted; the power action
    // itself then fails with its own message.
    BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseHandle(token);
    if (!adjusted) {
        SetLastError(error);
        fail("Error in AdjustTokenPrivileges() : ");
    }
}

void System::hibernate() {
    if (!isNt5OrLater()) {
        throw SystemException("Error: Suspend to Disk not supported.",
                              SystemException::defaultCode);
    }
    enableShutdownPrivilege();
    // Make sure the hibernation file exists; powercfg switches it on otherwise.
    using PowerInformationFn = LONG(WINAPI*)(int, PVOID, ULONG, PVOID, ULONG);
    auto powerInformation = powerEntry<PowerInformationFn>("CallNtPowerInformation");
    BOOLEAN reserve = TRUE;
    const int systemReserveHiberFile = 10;
    if (powerInformation == nullptr ||
        powerInformation(systemReserveHiberFile, &reserve, sizeof reserve, nullptr, 0) != 0) {
        executeAndWait("powercfg /hibernate on", 0, 0);
    }
    using SuspendFn = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);
    auto suspend = powerEntry<SuspendFn>("SetSuspendState");
    if (suspend == nullptr) {
        fail("Error in SetSuspendState() ");
    }
    if (!suspend(TRUE, TRUE, FALSE)) {
        fail("Error in SetSuspendState() ");
    }
}

void System::shutdown() {
    exitWindows(EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE);
}

void System::reboot() {
    exitWindows(EWX_REBOOT | EWX_FORCE);
}

}  // namespace tkl
