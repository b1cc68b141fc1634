// tkl::File: path texts and a few questions about the file system.
//
// Paths are byte strings (UTF-8). The name operations accept both slash and
// backslash as separators, whatever the platform, so paths written on another
// system split the same way. A null `const char*` reads as the empty path, and
// every `const char*` operation has a std::string twin.
#pragma once

#include <string>

#include "tkl/Object.h"

namespace tkl {

class TKL_API File : public Object {
public:
    File();
    ~File() override;

    // The platform's directory separator ('/' here, '\\' on Windows).
    static char separator();

    // `path` ending in `separatorChar` (added unless already there); the empty
    // path gives the separator alone.
    static std::string withSeparator(const char* path, char separatorChar);
    static std::string withSeparator(const std::string& path, char separatorChar);
    static std::string withSeparator(const char* path);
    static std::string withSeparator(const std::string& path);

    // `path` without one trailing slash or backslash.
    static std::string withoutSeparator(const char* path);
    static std::string withoutSeparator(const std::string& path);

    // The folder part including its final separator: "C:\\dir\\file.txt" gives
    // "C:\\dir\\", "/usr/lib/x.so" gives "/usr/lib/". A bare file name gives
    // the platform separator alone. Separators are slash, backslash, and the
    // colon and semicolon of drive and list notations.
    static std::string directoryOf(const char* path);
    static std::string directoryOf(const std::string& path);

    // The part after the last separator (slash, backslash, colon, semicolon);
    // the whole path when there is none.
    static std::string fileNameOf(const char* path);
    static std::string fileNameOf(const std::string& path);

    // The text after the last "." of the file name; "" when it has none.
    static std::string extensionOf(const char* path);
    static std::string extensionOf(const std::string& path);

    // Makes `path` the process's current directory. Throws FileException
    // (-3201) when it cannot.
    static void setCurrentPath(const char* path);
    static void setCurrentPath(const std::string& path);

    // The current directory with a trailing separator. Throws SystemException
    // (-305) when the system cannot tell.
    static std::string currentPath();

    // Whether `path` names an existing entry that is not a directory. A missing
    // entry, a missing folder on the way and an invalid name give false; other
    // failures (no permission to look) throw SystemException (-305).
    static bool exists(const char* path);
    static bool exists(const std::string& path);
};

}  // namespace tkl
