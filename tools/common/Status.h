// Words for the library's status codes, the host key of a service address
// and the names of the log levels: what every program under tools/ tells its
// user the same way.
#pragma once

#include <cstdint>
#include <string>

namespace custovia {
namespace tools {

// Words for a status code of the library: "not found", "invalid argument",
// "service error", ...
std::string statusWords(int32_t status);
// "<words>: <what> (status <code>)".
std::string statusMessage(int32_t status, const std::string& what);

// The library's host key for a service address (its host name, lower case).
// An address that names no host, or one of another scheme than http:// and
// https://, raises std::invalid_argument with the sentence for the user.
std::string hostKey(const std::string& url);

// `text` with its ASCII letters in lower case: the names a user types are
// compared in any case.
std::string lowerAscii(std::string text);

// The level of a log level name ("trace" 0 ... "fatal" 5, any case); -1 for
// another text.
int logLevel(const std::string& name);

}  // namespace tools
}  // namespace custovia
