// The few socket calls of the simulator's HTTP server, one source file per
// platform (Socket_posix.cpp, Socket_win32.cpp). Internal to the simulator.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <string>

namespace custovia {
namespace sim {
namespace net {

// Waits up to `ms` for data or a closed peer: 1 ready, 0 time-out (or an
// interrupted wait), -1 error.
int waitReadable(socket_t fd, int ms);
// One receive or send of at most `size` bytes: the count, 0 when the peer
// closed (receive), -1 on error.
ssize_t receive(socket_t fd, char* buffer, std::size_t size);
ssize_t send(socket_t fd, const char* data, std::size_t size);
// Ends both directions, waking a thread that waits on the socket.
void shutdown(socket_t fd);
void close(socket_t fd);
// Options of the listening socket: a busy port makes the bind fail.
void setListenOptions(socket_t fd);
void setNoDelay(socket_t fd);
// The reason of a failed bind.
void clearLastError();
std::string lastErrorText();

}  // namespace net
}  // namespace sim
}  // namespace custovia
