// Folder lookups on Windows: the registry for the product folder, the user
// profile (userenv.dll) for the per-user folder.
#include <windows.h>

#include <cstring>
#include <string>

#include "config/FolderSteps.h"
#include "tkl/Settings.h"

namespace custovia {
namespace detail {

void openProductSettings(tkl::Settings& settings) {
    settings.open("HKEY_LOCAL_MACHINE\\Software\\Moxtera");
}

std::string userProfileFolder() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), STANDARD_RIGHTS_READ | TOKEN_QUERY, &token)) {
        return std::string();
    }
    std::string folder;
    if (HMODULE userenv = LoadLibraryA("userenv.dll")) {
        using ProfileFn = BOOL(WINAPI*)(HANDLE, LPSTR, LPDWORD);
        auto profileOf = reinterpret_cast<ProfileFn>(
            reinterpret_cast<void*>(GetProcAddress(userenv, "GetUserProfileDirectoryA")));
        char buffer[4096] = {};
        DWORD size = sizeof buffer;
        if (profileOf != nullptr && profileOf(token, buffer, &size)) {
            folder.assign(buffer, strnlen(buffer, sizeof buffer));
        }
        FreeLibrary(userenv);
    }
    CloseHandle(token);
    return folder;
}

}  // namespace detail
}  // namespace custovia
