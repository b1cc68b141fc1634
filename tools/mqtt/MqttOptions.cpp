#include "mqtt/MqttOptions.h"

#include <CLI/CLI.hpp>

#include <fstream>

namespace custovia {
namespace mqtt {

namespace {

// A prefix is one or more topic levels: no wildcards, no empty level.
bool validPrefix(const std::string& prefix) {
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' ||
        prefix.find("//") != std::string::npos) {
        return false;
    }
    return prefix.find_first_of("+#") == std::string::npos &&
           prefix.find('\0') == std::string::npos;
}

std::string parseUrl(Options& o) {
    const std::string& url = o.url;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        o.tls = false;
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        o.tls = true;
        rest = url.substr(8);
    } else {
        return "--mqtt: \"" + url + "\" is not an mqtt:// or mqtts:// address";
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    if (rest.find_first_of("/?#@") != std::string::npos) {
        return "--mqtt: \"" + url + "\" has more than a host and a port";
    }
    o.port = o.tls ? 8883 : 1883;
    std::size_t colon = rest.rfind(':');
    if (!rest.empty() && rest.front() == '[') {  // [v6 address]:port
        std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return "--mqtt: \"" + url + "\" has an unclosed [";
        }
        o.host = rest.substr(1, close - 1);
        colon = rest.size() > close + 1 && rest[close + 1] == ':' ? close + 1 : std::string::npos;
        if (colon == std::string::npos && rest.size() > close + 1) {
            return "--mqtt: \"" + url + "\" has text after the address";
        }
    } else {
        o.host = rest.substr(0, colon);
    }
    if (colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) < 1 ||
            std::stoi(port) > 65535) {
            return "--mqtt: \"" + url + "\" has no valid port";
        }
        o.port = std::stoi(port);
    }
    if (o.host.empty()) {
        return "--mqtt: \"" + url + "\" names no host";
    }
    return std::string();
}

}  // namespace

void addOptions(CLI::App& app, Options& o) {
    app.add_option("--mqtt", o.url,
                   "publish to this MQTT broker: mqtt://host[:port] (1883) or "
                   "mqtts://host[:port] (8883)");
    app.add_option("--mqtt-user", o.user, "user name at the broker");
    app.add_option("--mqtt-password-file", o.passwordFile,
                   "file whose first line is the broker password");
    app.add_option("--mqtt-prefix", o.prefix, "first topic level(s) of the state topics")
        ->capture_default_str();
    app.add_option("--discovery-prefix", o.discoveryPrefix, "Home Assistant's discovery prefix")
        ->capture_default_str();
}

std::string load(Options& o) {
    if (!o.enabled()) {
        return std::string();
    }
    std::string error = parseUrl(o);
    if (!error.empty()) {
        return error;
    }
    if (!validPrefix(o.prefix)) {
        return "--mqtt-prefix: \"" + o.prefix + "\" is not a topic prefix";
    }
    if (!validPrefix(o.discoveryPrefix)) {
        return "--discovery-prefix: \"" + o.discoveryPrefix + "\" is not a topic prefix";
    }
    // The gateway's --ca-file also checks its HTTPS services: with a plain
    // mqtt:// broker it is simply not used here.
    if (o.tls && !o.caFile.empty() && !std::ifstream(o.caFile)) {
        return "--ca-file: cannot read " + o.caFile;
    }
    if (!o.passwordFile.empty()) {
        std::ifstream in(o.passwordFile);
        if (!in) {
            return "--mqtt-password-file: cannot read " + o.passwordFile;
        }
        std::getline(in, o.password);
        if (!o.password.empty() && o.password.back() == '\r') {
            o.password.pop_back();
        }
        if (o.user.empty()) {
            return "--mqtt-password-file needs --mqtt-user";
        }
    }
    return std::string();
}

}  // namespace mqtt
}  // namespace custovia
