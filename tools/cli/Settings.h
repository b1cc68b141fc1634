// Reading and changing a device's shutdown, dialer and mail settings and a
// computer's notification settings as key=value pairs.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "cli/Session.h"

namespace custovia {
namespace cli {

enum class SettingsKind { Shutdown, Dialer, Mail, Notify };

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Splits "key=value" words and checks every key and value against the
// settings kind, before anything is sent. A password given as "-" is read
// from standard input. Failure with kExitUsage on a bad pair.
Pairs parsePairs(SettingsKind kind, const std::vector<std::string>& words);

// The keys of a kind with a short description each, for --help.
std::string settingsKeysHelp(SettingsKind kind);

// Shows the settings of `device` (ignored for Notify), or changes the given
// pairs and shows the result. Returns the exit code.
int runSettings(Session& session, SettingsKind kind, const std::string& device, const Pairs& pairs,
                std::ostream& out);

}  // namespace cli
}  // namespace custovia
