#include "serve/Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

#include "common/Status.h"

namespace custovia {
namespace serve {

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string readFile(const std::string& path, const char* what) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    // A folder opens but does not read: the stream then fails or throws.
    bool ok = false;
    if (in) {
        try {
            text << in.rdbuf();
            ok = !in.bad() && !text.fail();
        } catch (const std::exception&) {
            ok = false;
        }
    }
    if (!ok) {
        throw StartError(std::string("cannot read ") + what + " \"" + path + "\"", kExitUsage);
    }
    return text.str();
}

}  // namespace

double defaultRefreshSeconds(std::size_t hosts) {
    constexpr double kCyclesPerSecond = 50;
    return std::max(3.0, static_cast<double>(hosts) / kCyclesPerSecond);
}

ListenAddress parseListen(const std::string& text) {
    ListenAddress a;
    std::size_t colon = text.rfind(':');
    std::string bad = "invalid --listen \"" + text + "\": expected ADDRESS:PORT";
    if (colon == std::string::npos) {
        throw StartError(bad, kExitUsage);
    }
    a.host = text.substr(0, colon);
    if (a.host.size() >= 2 && a.host.front() == '[' && a.host.back() == ']') {
        a.host = a.host.substr(1, a.host.size() - 2);
    }
    if (a.host.empty()) {
        a.host = "0.0.0.0";
    }
    std::string port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
        throw StartError(bad, kExitUsage);
    }
    a.port = std::stoi(port);
    return a;
}

std::vector<std::string> parseHostsText(const std::string& text) {
    std::vector<std::string> urls;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line.substr(0, line.find('#')));
        if (!line.empty()) {
            urls.push_back(line);
        }
    }
    return urls;
}

std::string readTokenFile(const std::string& path) {
    std::string text = readFile(path, "token file");
    std::string token = trim(text.substr(0, text.find('\n')));
    if (token.empty()) {
        throw StartError("the token file \"" + path + "\" holds no token", kExitUsage);
    }
    return token;
}

bool parseOptions(int argc, char** argv, Options* out, int* exitCode) {
    Options& o = *out;
    std::string listen = "127.0.0.1:9470";
    std::vector<std::string> hostsFiles;
    std::string tokenFile;

    CLI::App app{
        "custovia-serve: Prometheus metrics, a JSON API, an event stream and a web dashboard "
        "for the UPS units of Custovia monitoring services"};
    app.footer(
        "\nThe first line printed is the URL served (useful with port 0).\n"
        "Exit status: 0 after SIGINT or SIGTERM, 1 when serving could not start\n"
        "(busy port, failed connection), 2 for bad usage (options, URLs, files).");
    app.add_option("--listen", listen, "address and port to serve on; port 0 picks a free one")
        ->type_name("ADDR:PORT")
        ->capture_default_str();
    app.add_option("--host", o.hosts, "URL of a monitoring service, repeatable")->type_name("URL");
    app.add_option("--hosts-file", hostsFiles,
                   "file with one service URL a line, '#' starts a comment; repeatable")
        ->type_name("FILE");
    app.add_option("--token-file", tokenFile,
                   "file whose first line is the bearer token that enables device commands")
        ->type_name("FILE");
    app.add_option("--ca-file", o.caFile,
                   "PEM file of the authorities an https:// service's (and an mqtts:// "
                   "broker's) certificate must chain to")
        ->type_name("FILE");
    app.add_option("--unreachable-after", o.unreachableAfter,
                   "failed refresh cycles in a row after which a host counts as down")
        ->capture_default_str()
        ->check(CLI::Range(1, 1000));
    app.add_option("--refresh", o.refreshSeconds,
                   "seconds from the end of one refresh cycle of a host to the start of its "
                   "next; each cycle costs the same CPU time, so a longer period lowers the "
                   "gateway's load in proportion (default: 3, and beyond 150 hosts as many "
                   "seconds as hosts / 50, so 20 for 1,000 hosts)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.1, 86400.0));
    app.add_option("--log-level", o.logLevel, "library log level: trace ... fatal")
        ->type_name("LEVEL")
        ->transform(CLI::IsMember({"trace", "debug", "info", "warning", "error", "fatal"},
                                  CLI::ignore_case));
    app.add_option("--log-file", o.logFile,
                   "write the log to this file (default: standard error when a level is given)")
        ->type_name("FILE");

    mqtt::addOptions(app, o.mqtt);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        *exitCode = code == 0 ? kExitOk : kExitUsage;
        return false;
    }

    o.listen = parseListen(listen);
    for (const auto& file : hostsFiles) {
        for (auto& url : parseHostsText(readFile(file, "hosts file"))) {
            o.hosts.push_back(url);
        }
    }
    if (o.hosts.empty()) {
        throw StartError("no monitoring service given: use --host URL or --hosts-file FILE",
                         kExitUsage);
    }
    std::set<std::string> keys;
    for (const auto& url : o.hosts) {
        std::string key;
        try {
            key = tools::hostKey(url);
        } catch (const std::invalid_argument& e) {
            throw StartError(e.what(), kExitUsage);
        }
        // The library files a service under its host name: two URLs of one
        // host would be one connection.
        if (!keys.insert(key).second) {
            throw StartError("host \"" + key + "\" is given twice (" + url + ")", kExitUsage);
        }
    }
    if (o.refreshSeconds <= 0) {
        o.refreshSeconds = defaultRefreshSeconds(o.hosts.size());
    }
    o.mqtt.caFile = o.caFile;
    // The full state is compared once per refresh, when new data can be there.
    o.mqtt.intervalMs = static_cast<int>(std::lround(o.refreshSeconds * 1000));
    std::string mqttError = mqtt::load(o.mqtt);
    if (!mqttError.empty()) {
        throw StartError(mqttError, kExitUsage);
    }
    if (!tokenFile.empty()) {
        o.token = readTokenFile(tokenFile);
        o.hasTokenFile = true;
    }
    if (!o.caFile.empty()) {
        std::ifstream ca(o.caFile);
        if (!ca) {
            throw StartError("cannot read CA file \"" + o.caFile + "\"", kExitUsage);
        }
    }
    if (!o.logFile.empty()) {
        std::ofstream log(o.logFile, std::ios::app);
        if (!log) {
            throw StartError("cannot write log file \"" + o.logFile + "\"", kExitUsage);
        }
    }
    return true;
}

}  // namespace serve
}  // namespace custovia
