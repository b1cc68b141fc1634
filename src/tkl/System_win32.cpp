// System services on Windows: the system's error texts, the tick and
// performance counters, waitable-timer sleeps, the Administrators check, the
// executable's path and the facts the OS description is built from.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tkl/Blanks.h"
#include "tkl/Exception.h"
#include "tkl/OsDescription.h"
#include "tkl/System.h"

namespace tkl {

namespace {

// An entry point of a system library that may be missing on older systems.
template <typename Function>
Function entryPoint(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The extended version record, or the basic one when the system knows only
// that. False when neither can be read.
bool readVersion(OSVERSIONINFOEXA& info, bool& extended) {
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    extended = true;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        return true;
    }
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    extended = false;
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != 0;
}

// The file version of kernel32.dll: what the system really is when its
// version record is capped at 6.2 for programs without a manifest.
bool kernelFileVersion(uint32_t& major, uint32_t& minor, uint32_t& build) {
    HMODULE library = GetModuleHandleA("version.dll");
    const bool loadedHere = library == nullptr;
    if (loadedHere) {
        library = LoadLibraryA("version.dll");
    }
    if (library == nullptr) {
        return false;
    }
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    auto sizeOf = reinterpret_cast<SizeFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoSizeA")));
    auto infoOf = reinterpret_cast<InfoFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoA")));
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "VerQueryValueA")));
    bool found = false;
    if (sizeOf && infoOf && query) {
        DWORD ignored = 0;
        const DWORD size = sizeOf("kernel32.dll", &ignored);
        std::vector<char> data(size);
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (size > 0 && infoOf("kernel32.dll", 0, size, data.data()) &&
            query(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
            fixed != nullptr && length >= sizeof(VS_FIXEDFILEINFO)) {
            major = HIWORD(fixed->dwFileVersionMS);
            minor = LOWORD(fixed->dwFileVersionMS);
            build = HIWORD(fixed->dwFileVersionLS);
            found = true;
        }
    }
    if (loadedHere) {
        FreeLibrary(library);
    }
    return found;
}

// NT 4 keeps its product kind in the registry: "WINNT", "LANMANNT" or "SERVERNT".
bool readProductOptions(std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[80] = {};
    DWORD size = sizeof buffer - 1;
    const bool read = RegQueryValueExA(key, "ProductType", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (read) {
        value.assign(buffer, strnlen(buffer, size));
    }
    return read;
}

}  // namespace

uint32_t System::getLastError() {
    return GetLastError();
}

std::string System::getErrorText(uint32_t code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer),
        0, nullptr);
    std::string text = length > 0 ? trimBlanks(buffer) : std::string();
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return text;
}

uint32_t System::getTicks() {
    return GetTickCount();
}

uint64_t System::getMicroseconds() {
    // The frequency is fixed at boot; every thread writes the same value.
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f{};
        if (!QueryPerformanceFrequency(&f)) {
            f.QuadPart = 0;
        }
        return f;
    }();
    LARGE_INTEGER counter{};
    if (frequency.QuadPart == 0 || !QueryPerformanceCounter(&counter)) {
        return static_cast<uint64_t>(GetTickCount()) * 1000u;
    }
    return static_cast<uint64_t>(static_cast<double>(counter.QuadPart) * 1000000.0 /
                                 static_cast<double>(frequency.QuadPart));
}

void System::sleep(uint32_t milliseconds) {
    // INFINITE is 0xFFFFFFFF: one millisecond less keeps the longest sleep finite.
    Sleep(milliseconds == INFINITE ? INFINITE - 1 : milliseconds);
}

void System::usleep(uint64_t microseconds) {
    // The due time counts 100 ns steps in a signed 64-bit value.
    const uint64_t limit = static_cast<uint64_t>(INT64_MAX) / 10u;
    const uint64_t wait = microseconds < limit ? microseconds : limit;
    HANDLE timer = CreateWaitableTimerA(nullptr, TRUE, nullptr);
    if (timer == nullptr) {
        // No timer to be had: sleep whole milliseconds, rounded up.
        const uint64_t milliseconds = (wait + 999u) / 1000u;
        Sleep(static_cast<DWORD>(milliseconds < INFINITE ? milliseconds : INFINITE - 1));
        return;
    }
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(wait * 10u);
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(timer, INFINITE);
    }
    CloseHandle(timer);
}

bool System::isAdmin() {
    OSVERSIONINFOEXA version;
    bool extended = false;
    if (readVersion(version, extended) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        return true;  // 95/98/ME know no users
    }
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    using CheckFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
    auto check = entryPoint<CheckFn>("advapi32.dll", "CheckTokenMembership");
    BOOL member = FALSE;
    if (check == nullptr || !check(nullptr, administrators, &member)) {
        member = FALSE;
    }
    FreeSid(administrators);
    return member != FALSE;
}

bool System::isNt5OrLater() {
    OSVERSIONINFOEXA version;
    bool extended = false;
    return readVersion(version, extended) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion >= 5;
}

int32_t System::getPlatformId() {
    OSVERSIONINFOEXA version;
    bool extended = false;
    return readVersion(version, extended) ? static_cast<int32_t>(version.dwPlatformId) : 2;
}

std::string System::getExecutableFileName() {
    // A path longer than the classic 260 bytes is read whole, not cut.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw PathNotFoundException("Error getting executable filename: " + getLastErrorText(),
                                        PathNotFoundException::defaultCode);
        }
        if (length < buffer.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::string(buffer.data(), length);
        }
        if (buffer.size() >= 32768) {
            throw PathNotFoundException(
                "Error getting executable filename: " + getErrorText(ERROR_INSUFFICIENT_BUFFER),
                PathNotFoundException::defaultCode);
        }
        buffer.resize(buffer.size() * 2);
    }
}

OsInfo System::getOsInfo() {
    // Built afresh from local data on every call, so concurrent callers share
    // nothing.
    OSVERSIONINFOEXA record;
    bool extended = false;
    if (!readVersion(record, extended)) {
        throw SystemException("Error in GetVersionEx(): " + getLastErrorText(),
                              SystemException::defaultCode);
    }

    SYSTEM_INFO system{};
    using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    if (auto native = entryPoint<NativeInfoFn>("kernel32.dll", "GetNativeSystemInfo")) {
        native(&system);
    } else {
        GetSystemInfo(&system);
    }

    WindowsVersion v;
    v.platformId = record.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 2;
    v.major = record.dwMajorVersion;
    v.minor = record.dwMinorVersion;
    // 95/98/ME keep their version in the high word of the build number.
    v.build = v.platformId == 1 ? LOWORD(record.dwBuildNumber) : record.dwBuildNumber;
    v.csdVersion.assign(record.szCSDVersion,
                        strnlen(record.szCSDVersion, sizeof record.szCSDVersion));
    v.extended = extended;
    if (extended) {
        v.servicePackMajor = record.wServicePackMajor;
        v.servicePackMinor = record.wServicePackMinor;
        v.suiteMask = record.wSuiteMask;
        v.productType = record.wProductType;
    }
    v.processorArchitecture = system.wProcessorArchitecture;

    if (v.major >= 6) {
        using ProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
        if (auto productInfo = entryPoint<ProductInfoFn>("kernel32.dll", "GetProductInfo")) {
            DWORD type = 0;
            if (productInfo(v.major, v.minor, v.servicePackMajor, v.servicePackMinor, &type)) {
                v.productInfo = type;
            }
        }
    }
    if (v.platformId == 2 && v.major == 6 && v.minor == 2) {
        // Windows 8.1 and later report 6.2 to programs without a manifest.
        uint32_t major = 0, minor = 0, build = 0;
        if (kernelFileVersion(major, minor, build)) {
            v.major = major;
            v.minor = minor;
            v.build = build;
        }
        // The version record's product type already tells a server apart;
        // the kernel's own answer, where it has one, is preferred.
        using IsServerFn = BOOL(WINAPI*)();
        if (auto isServer = entryPoint<IsServerFn>("kernel32.dll", "IsWindowsServer")) {
            v.productType = isServer() ? VER_NT_SERVER : VER_NT_WORKSTATION;
        }
    }
    v.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    v.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
    v.starter = GetSystemMetrics(SM_STARTER) != 0;
    v.tabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
    if (v.platformId == 2 && v.major == 4 && !extended) {
        v.productOptionsRead = readProductOptions(v.productOptions);
    }
    return describeWindows(v);
}

}  // namespace tkl
