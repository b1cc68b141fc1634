// Running another program, one source file per platform (Process_posix.cpp,
// Process_win32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace custovia {
namespace cli {

struct ProgramResult {
    bool started = false;   // false: `error` says why it could not start
    bool timedOut = false;  // it ran past the time-out and was killed
    int exitCode = -1;      // its exit status when it ended by itself
    int signal = 0;         // the signal that ended it, 0 when none
    std::string error;
};

// Runs `program` (a path, or a name looked up in PATH) directly, without a
// shell, with the program's own name as its only argument and this process's
// environment plus `env` (which replaces variables of the same name). Standard
// input is empty; standard output and error are this process's. Waits at most
// `timeoutMs` for it to end; a program still running then is killed, with
// every process it started in its group.
ProgramResult runProgram(const std::string& program,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         int64_t timeoutMs);

// The result in words: "exited with status 3", "timed out after 2 s and was
// killed", "could not start: No such file or directory", ...; empty for
// success (exit status 0).
std::string programFailure(const ProgramResult& result, int64_t timeoutMs);

}  // namespace cli
}  // namespace custovia
