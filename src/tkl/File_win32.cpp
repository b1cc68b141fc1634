// File system questions on Windows.
#include <windows.h>

#include <vector>

#include "tkl/Exception.h"
#include "tkl/File.h"
#include "tkl/System.h"

namespace tkl {

std::string File::currentPath() {
    // The answer tells the size needed when the folder does not fit, so a
    // deep folder is read whole rather than cut at 260 bytes.
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            throw SystemException("Error getting current directory: " + System::getLastErrorText(),
                                  SystemException::defaultCode);
        }
        if (length < buffer.size()) {
            return withSeparator(std::string(buffer.data(), length));
        }
        buffer.resize(length + 1);
    }
}

bool File::exists(const std::string& path) {
    // A name with an embedded NUL would silently ask about a shorter path.
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME || error == ERROR_FILENAME_EXCED_RANGE) {
        return false;
    }
    throw SystemException(
        "Error checking if file \"" + path + "\" exists: " + System::getErrorText(error),
        SystemException::defaultCode);
}

}  // namespace tkl
