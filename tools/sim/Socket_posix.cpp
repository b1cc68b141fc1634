// The simulator's socket calls on POSIX systems.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/Socket.h"

namespace custovia {
namespace sim {
namespace net {

int waitReadable(socket_t fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    int rc = ::poll(&p, 1, ms);
    if (rc < 0 && errno == EINTR) {
        return 0;
    }
    return rc > 0 ? 1 : rc;
}

ssize_t receive(socket_t fd, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(fd, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t send(socket_t fd, const char* data, std::size_t size) {
    ssize_t n;
    do {
        // A peer that went away must not raise SIGPIPE.
        n = ::send(fd, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

void shutdown(socket_t fd) {
    ::shutdown(fd, SHUT_RDWR);
}

void close(socket_t fd) {
    ::close(fd);
}

void setListenOptions(socket_t fd) {
    // SO_REUSEADDR only: httplib's default adds SO_REUSEPORT.
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

void setNoDelay(socket_t fd) {
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
}

void clearLastError() {
    errno = 0;
}

std::string lastErrorText() {
    return errno ? std::strerror(errno) : "address not available";
}

}  // namespace net
}  // namespace sim
}  // namespace custovia
