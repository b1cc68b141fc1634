// The gateway's command line and the files it names: where to listen, which
// hosts to connect, the token that enables commands, logging. Everything is
// checked before anything is served.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "mqtt/MqttOptions.h"

namespace custovia {
namespace serve {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // could not start: busy port, failed connection
constexpr int kExitUsage = 2;   // bad option, bad URL, unreadable file

// A reason not to start, with the exit code it ends the program with.
class StartError : public std::runtime_error {
public:
    StartError(const std::string& message, int exitCode)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 9470;
};

struct Options {
    ListenAddress listen;
    std::vector<std::string> hosts;  // service URLs, --host first, then the hosts file
    std::string token;               // empty: commands are refused
    bool hasTokenFile = false;
    std::string caFile;
    std::string logLevel;  // trace ... fatal, empty: no library log
    std::string logFile;
    int unreachableAfter = 2;   // failed cycles in a row that make a host unreachable
    double refreshSeconds = 0;  // from the end of one refresh cycle of a host to its next;
                                // 0 until parsed: defaultRefreshSeconds() of the hosts
    mqtt::Options mqtt;         // the broker to publish to; no URL: none
};

// Parses the command line. Returns false when the program is to exit at once
// with `exitCode` (after --help: 0); throws StartError for bad files and URLs.
bool parseOptions(int argc, char** argv, Options* out, int* exitCode);

// The refresh period when none is given: the library's 3 s, lengthened
// beyond 150 hosts so that the gateway starts at most 50 host cycles a second
// (20 s for 1,000 hosts). Each cycle costs the same, so this bounds the load
// a large installation puts on the gateway and on the network.
double defaultRefreshSeconds(std::size_t hosts);

// "ADDR:PORT", "[v6]:PORT" or ":PORT"; StartError (usage) when malformed.
ListenAddress parseListen(const std::string& text);
// One URL a line; blank lines and text after '#' are ignored.
std::vector<std::string> parseHostsText(const std::string& text);
// The first line of a token file without surrounding blanks; StartError when
// the file cannot be read or holds no token.
std::string readTokenFile(const std::string& path);

}  // namespace serve
}  // namespace custovia
