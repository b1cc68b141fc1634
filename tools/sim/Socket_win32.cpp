// The simulator's socket calls on Windows (Winsock).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#include "sim/Socket.h"

namespace custovia {
namespace sim {
namespace net {
namespace {

int chunk(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

}  // namespace

int waitReadable(socket_t fd, int ms) {
    WSAPOLLFD p{fd, POLLRDNORM, 0};
    int rc = ::WSAPoll(&p, 1, ms);
    return rc > 0 ? 1 : rc;
}

ssize_t receive(socket_t fd, char* buffer, std::size_t size) {
    return ::recv(fd, buffer, chunk(size), 0);
}

ssize_t send(socket_t fd, const char* data, std::size_t size) {
    return ::send(fd, data, chunk(size), 0);
}

void shutdown(socket_t fd) {
    ::shutdown(fd, SD_BOTH);
}

void close(socket_t fd) {
    ::closesocket(fd);
}

void setListenOptions(socket_t fd) {
    // On Windows SO_REUSEADDR would let another socket take over a busy
    // port; exclusive use makes a second bind fail instead.
    BOOL yes = TRUE;
    setsockopt(fd, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof(yes));
}

void setNoDelay(socket_t fd) {
    BOOL yes = TRUE;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof(yes));
}

void clearLastError() {
    WSASetLastError(0);
}

std::string lastErrorText() {
    const int error = WSAGetLastError();
    if (error == 0) {
        return "address not available";
    }
    char* buffer = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text = buffer != nullptr ? buffer : "socket error " + std::to_string(error);
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace net
}  // namespace sim
}  // namespace custovia
