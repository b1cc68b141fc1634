#include "tkl/File.h"

#include <QDir>
#include <QString>

#include "tkl/Exception.h"

namespace tkl {

namespace {

// Separators of the name operations: both slashes, and the colon and
// semicolon of drive letters and path lists.
constexpr const char* kNameSeparators = "\\:;/";

std::string text(const char* path) {
    return path ? path : "";
}

}  // namespace

File::File() = default;
File::~File() = default;

char File::separator() {
    const QChar c = QDir::separator();
    return c.unicode() < 0x100 ? static_cast<char>(c.unicode()) : '\0';
}

std::string File::withSeparator(const std::string& path, char separatorChar) {
    if (!path.empty() && path.back() == separatorChar) {
        return path;
    }
    return path + separatorChar;
}
std::string File::withSeparator(const char* path, char separatorChar) {
    return withSeparator(text(path), separatorChar);
}
std::string File::withSeparator(const std::string& path) {
    return withSeparator(path, separator());
}
std::string File::withSeparator(const char* path) {
    return withSeparator(text(path), separator());
}

std::string File::withoutSeparator(const std::string& path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) {
        return path.substr(0, path.size() - 1);
    }
    return path;
}
std::string File::withoutSeparator(const char* path) {
    return withoutSeparator(text(path));
}

std::string File::directoryOf(const std::string& path) {
    // The path's own separator is kept unless it stands first or is missing.
    const size_t slash = path.find_last_of("\\/");
    const char sep = slash != std::string::npos && slash >= 1 ? path[slash] : separator();
    const size_t last = path.find_last_of(kNameSeparators);
    return (last == std::string::npos ? std::string() : path.substr(0, last)) + sep;
}
std::string File::directoryOf(const char* path) {
    return path ? directoryOf(text(path)) : "";
}

std::string File::fileNameOf(const std::string& path) {
    const size_t last = path.find_last_of(kNameSeparators);
    return last == std::string::npos ? path : path.substr(last + 1);
}
std::string File::fileNameOf(const char* path) {
    return fileNameOf(text(path));
}

std::string File::extensionOf(const std::string& path) {
    const std::string name = fileNameOf(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}
std::string File::extensionOf(const char* path) {
    return extensionOf(text(path));
}

void File::setCurrentPath(const std::string& path) {
    if (path.find('\0') != std::string::npos ||
        !QDir::setCurrent(QString::fromUtf8(path.data(), static_cast<int>(path.size())))) {
        throw FileException("Error setting current application path", FileException::defaultCode);
    }
}
void File::setCurrentPath(const char* path) {
    setCurrentPath(text(path));
}

bool File::exists(const char* path) {
    return exists(text(path));
}

}  // namespace tkl
