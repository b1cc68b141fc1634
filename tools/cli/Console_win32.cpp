#include <io.h>

#include <csignal>

#include "cli/Console.h"

namespace custovia {
namespace cli {

bool isTerminal(int fd) {
    return _isatty(fd) != 0;
}

void onStopRequest(void (*handler)(int)) {
    // The C library turns Ctrl+C and Ctrl+Break into these signals.
    std::signal(SIGINT, handler);
    std::signal(SIGBREAK, handler);
    std::signal(SIGTERM, handler);
}

}  // namespace cli
}  // namespace custovia
