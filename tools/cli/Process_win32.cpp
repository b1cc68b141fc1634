#include "cli/Process.h"

namespace custovia {
namespace cli {

ProgramResult runProgram(const std::string&,
                         const std::vector<std::pair<std::string, std::string>>&, int64_t) {
    // Running a program per event is not supported on Windows yet: the
    // stream itself works, each --exec is reported as not started.
    ProgramResult r;
    r.error = "running programs is not supported on Windows";
    return r;
}

}  // namespace cli
}  // namespace custovia
