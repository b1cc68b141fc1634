#include <unistd.h>

#include <csignal>

#include "cli/Console.h"

namespace custovia {
namespace cli {

bool isTerminal(int fd) {
    return isatty(fd) == 1;
}

void onStopRequest(void (*handler)(int)) {
    // No SA_RESTART: the signal cuts a wait short.
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace cli
}  // namespace custovia
