// System services on POSIX systems: errno texts, CLOCK_MONOTONIC, root as
// administrator, /proc/self/exe, uname and os-release.
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tkl/Blanks.h"
#include "tkl/Exception.h"
#include "tkl/OsDescription.h"
#include "tkl/System.h"

namespace tkl {

namespace {

// strerror_r comes in a GNU flavour returning the text and an XSI flavour
// returning a status; these two overloads accept either.
[[maybe_unused]] const char* errorTextOf(int status, const char* buffer) {
    return status == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorTextOf(const char* text, const char*) {
    return text;
}

uint64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Sleeps for the given time on the monotonic clock; a signal does not cut the
// sleep short.
void sleepFor(uint64_t seconds, long nanoseconds) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(seconds);
    deadline.tv_nsec += nanoseconds;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

uint32_t System::getLastError() {
    return static_cast<uint32_t>(errno);
}

std::string System::getErrorText(uint32_t code) {
    if (code > static_cast<uint32_t>(INT_MAX)) {
        return {};
    }
    const int error = static_cast<int>(code);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    // Null for codes the C library has no text for.
    return trimBlanks(strerrordesc_np(error));
#else
    char buffer[256] = {};
    std::string text = trimBlanks(errorTextOf(strerror_r(error, buffer, sizeof buffer), buffer));
    return text.rfind("Unknown error", 0) == 0 ? std::string() : text;
#endif
}

uint32_t System::getTicks() {
    return static_cast<uint32_t>(monotonicNanoseconds() / 1000000u);
}

uint64_t System::getMicroseconds() {
    return monotonicNanoseconds() / 1000u;
}

void System::sleep(uint32_t milliseconds) {
    sleepFor(milliseconds / 1000u, static_cast<long>(milliseconds % 1000u) * 1000000L);
}

void System::usleep(uint64_t microseconds) {
    sleepFor(microseconds / 1000000u, static_cast<long>(microseconds % 1000000u) * 1000L);
}

bool System::isAdmin() {
    return geteuid() == 0;
}

bool System::isNt5OrLater() {
    return false;
}

int32_t System::getPlatformId() {
    return static_cast<int32_t>(getOsInfo().platform);
}

std::string System::getExecutableFileName() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            throw PathNotFoundException("Error getting executable filename: " + getLastErrorText(),
                                        PathNotFoundException::defaultCode);
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
        // The link may have been cut short: try again with more room.
        buffer.resize(buffer.size() * 2);
    }
}

OsInfo System::getOsInfo() {
    // Built afresh on every call from local data only, so concurrent callers
    // share nothing.
    utsname names{};
    if (uname(&names) != 0) {
        throw SystemException("Error in uname(): " + getLastErrorText(),
                              SystemException::defaultCode);
    }
    UnixRelease release;
    release.sysname = names.sysname;
    release.release = names.release;
    release.machine = names.machine;
    release.osRelease = readFile("/etc/os-release");
    if (release.osRelease.empty()) {
        release.osRelease = readFile("/usr/lib/os-release");
    }
    return describeUnix(release);
}

}  // namespace tkl
