#include <sstream>

#include "cli/Process.h"

namespace custovia {
namespace cli {

std::string programFailure(const ProgramResult& r, int64_t timeoutMs) {
    std::ostringstream text;
    if (!r.started) {
        text << "could not start: " << r.error;
    } else if (r.timedOut) {
        text << "timed out after " << static_cast<double>(timeoutMs) / 1000 << " s and was killed";
    } else if (r.signal != 0) {
        text << "ended by signal " << r.signal;
    } else if (r.exitCode != 0) {
        text << "exited with status " << r.exitCode;
    }
    return text.str();
}

}  // namespace cli
}  // namespace custovia
