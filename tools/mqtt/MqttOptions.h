// What the gateway's MQTT publishing is told on the command line: the broker
// address, the credentials, the topic prefixes and the TLS trust anchor.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace custovia {
namespace mqtt {

struct Options {
    std::string url;     // mqtt://host[:port] or mqtts://host[:port]; empty: no MQTT
    std::string caFile;  // the gateway's --ca-file; used for mqtts:// only
    std::string user;
    std::string passwordFile;
    std::string prefix = "custovia";
    std::string discoveryPrefix = "homeassistant";

    // Filled in by load() from the fields above.
    std::string host;
    int port = 0;
    bool tls = false;
    std::string password;

    // How often the full state is compared with what was published, in
    // milliseconds (the library's refresh period).
    int intervalMs = 3000;
    // Reconnection back-off: first delay and upper bound, in seconds.
    int reconnectMinSec = 1;
    int reconnectMaxSec = 30;
    int keepaliveSec = 30;
    // Messages handed to the connection and not yet acknowledged by the
    // broker; beyond it publishing waits (its thread only) and changes are
    // coalesced per topic.
    int maxOutstanding = 2000;

    bool enabled() const { return !url.empty(); }
};

// Adds --mqtt, --mqtt-user, --mqtt-password-file, --mqtt-prefix
// and --discovery-prefix to the gateway's command line. The broker's CA file
// is the gateway's --ca-file (caFile, set by the caller).
void addOptions(CLI::App& app, Options& options);

// Checks the options and completes them: parses the URL, reads the password
// file (its first line) and checks the prefixes and the CA file. Returns an
// empty text when they are usable, otherwise what is wrong, for people.
std::string load(Options& options);

}  // namespace mqtt
}  // namespace custovia
