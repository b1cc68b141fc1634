// The subcommands of the custovia tool. Each opens the session it needs,
// writes its result to `out` (text or, with --json, JSON) and returns the
// exit code; failures are thrown as cli::Failure.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli/Events.h"
#include "cli/Session.h"

namespace custovia {
namespace cli {

int runStatus(Session& session, std::ostream& out);
// Redraws the status every `interval` seconds until SIGINT or SIGTERM, or
// `count` times when count > 0.
int runWatch(Session& session, std::ostream& out, double interval, int count);
int runDevice(Session& session, const std::string& id, std::ostream& out);
int runHosts(Session& session, std::ostream& out);
int runModel(Session& session, int32_t family, int32_t model, std::ostream& out);
// Prints the hosts' change events as they come until SIGINT or SIGTERM, or
// until options.count have been reported.
int runEvents(Session& session, const EventOptions& options, std::ostream& out);

// Device commands that take no value.
enum class Command {
    ShutdownStart,
    ShutdownCancel,
    Discharge,
    MailTestStart,
    MailTestCancel,
    Delete
};
int runCommand(Session& session, Command command, const std::string& id, std::ostream& out);

// User texts: an empty optional keeps the device's current text.
int runUser(Session& session, const std::string& id, const std::string* userName,
            const std::string* userProd, std::ostream& out);
// Colour: "#rrggbb", "r,g,b" or "random".
int runColor(Session& session, const std::string& id, const std::string& color, std::ostream& out);
// Line sensitivity: 0 to 4 or a level word ("very-low" ... "very-high").
int runLineSense(Session& session, const std::string& id, const std::string& value,
                 std::ostream& out);
int runChargerCurrent(Session& session, const std::string& id, int32_t value, std::ostream& out);

}  // namespace cli
}  // namespace custovia
