// Internal helpers of the process launchers: command-line checks and
// splitting (portable) and starting a program (platform part).
#pragma once

#include <string>
#include <vector>

#include "tkl/System.h"

namespace tkl {
namespace process {

// The command line as text. Throws InvalidArgumentException for a null or
// empty one and for one longer than System::MaxCommandLine.
std::string checkedCommandLine(const char* cmdline);

// The text with every double quote character removed.
std::string withoutQuotes(const std::string& text);

// Splits a command line into program and arguments: blanks (spaces and tabs)
// separate, double quotes group and are removed. Backslashes are literal
// except before a double quote: 2n backslashes and a quote give n backslashes
// and a grouping quote, 2n+1 backslashes and a quote give n backslashes and
// a literal quote.
std::vector<std::string> splitCommandLine(const std::string& cmdline);

#ifndef _WIN32
// Starts args[0] (searched in PATH) with `args` in a session of its own, as
// the user `asUser` when it is not null. Throws SystemException with
// `failure` followed by the system's error text when it cannot be started.
struct Identity;
System::ProcessHandle spawn(const std::vector<std::string>& args, const Identity* asUser,
                            const char* failure);
#endif

}  // namespace process
}  // namespace tkl
