// File system questions on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "tkl/Exception.h"
#include "tkl/File.h"
#include "tkl/System.h"

namespace tkl {

std::string File::currentPath() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            throw SystemException("Error getting current directory: " + System::getLastErrorText(),
                                  SystemException::defaultCode);
        }
        buffer.resize(buffer.size() * 2);
    }
    return withSeparator(std::string(buffer.data()));
}

bool File::exists(const std::string& path) {
    // A name with an embedded NUL would silently ask about a shorter path.
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        return !S_ISDIR(info.st_mode);
    }
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG) {
        return false;
    }
    throw SystemException("Error checking if file \"" + path +
                              "\" exists: " + System::getErrorText(static_cast<uint32_t>(error)),
                          SystemException::defaultCode);
}

}  // namespace tkl
