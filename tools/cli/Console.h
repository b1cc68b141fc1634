// What the custovia tool asks of the console, one source file per platform
// (Console_posix.cpp, Console_win32.cpp).
#pragma once

namespace custovia {
namespace cli {

// File descriptors of the standard streams.
constexpr int kStdout = 1;
constexpr int kStderr = 2;

// Whether the file descriptor is a terminal (a console window on Windows).
bool isTerminal(int fd);

// Calls `handler` when the user asks the program to stop (interrupt or
// terminate signal; Ctrl+C or Ctrl+Break on Windows). The handler may only
// set a flag.
void onStopRequest(void (*handler)(int));

}  // namespace cli
}  // namespace custovia
