// custovia-sim: serves simulated UPS units the way the monitoring service
// does, until SIGINT or SIGTERM.
#include "sim/Simulator.h"
#include "sim/TlsCertificates.h"

#include <CLI/CLI.hpp>

#include <pthread.h>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace {

const char kFooter[] = R"(
The first line printed is the service URL (one line per address with --hosts).

Faults (--fault, repeatable): KIND[=VALUE][*COUNT][@PREFIX|~REGEX]
  KIND    delay=MS | hang | status=CODE | malformed | truncated | drop
  COUNT   affect only the next COUNT matching requests
  PREFIX  start of the path; without a leading / it is taken below the
          interface root, so @device/ matches /api/device/...
  REGEX   searched in the path
  Examples: --fault delay=300   --fault status=503*3@notifycfg
            --fault hang~/shutdown$   --fault drop*1@/mon

Control interface (same port), JSON in and out:
  GET    /_sim                  list of control requests
  GET    /_sim/state            the simulated world
  GET    /_sim/journal?since=N  received requests (method, path, body, headers)
  DELETE /_sim/journal          forget them
  GET    /_sim/faults           fault rules
  POST   /_sim/faults           {"kind":"status","status":503,"prefix":"device","count":2}
  DELETE /_sim/faults[/ID]      remove all rules (releases hangs) or one
  POST   /_sim/release          answer the hanging requests
  POST   /_sim/outage           {"on":1} or {"on":0,"device":"SIM1234567"}
  POST   /_sim/advance          {"seconds":60}
  POST   /_sim/devices          {"count":2,"computer":"localhost"}
  POST   /_sim/device/ID        {"load":0.95,"charge":15,"failures":{"fan":1}}
                                (load -1: drifting again; also temperature,
                                connected, outage, family, model)
)";

}  // namespace

int main(int argc, char** argv) {
    custovia::sim::Options o;
    o.port = 4470;
    std::vector<std::string> faults;
    bool frozen = false;
    bool log = false;
    bool selfSigned = false;

    CLI::App app{
        "custovia-sim: a stand-in for the Custovia monitoring service with simulated "
        "UPS units"};
    app.footer(kFooter);
    app.add_option("--port", o.port, "TCP port, 0 for any free port")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    app.add_option("--bind", o.address, "address to listen on")->capture_default_str();
    app.add_option("--devices", o.devices, "devices of the service's own computer")
        ->capture_default_str()
        ->check(CLI::Range(0, 10000));
    app.add_option("--computers", o.computers, "remote computers the service knows")
        ->capture_default_str()
        ->check(CLI::Range(0, 1000));
    app.add_option("--remote-devices", o.remoteDevices, "devices of each remote computer")
        ->capture_default_str()
        ->check(CLI::Range(0, 1000));
    app.add_option("--hosts", o.hosts,
                   "serve K independent services on 127.0.0.1, 127.0.0.2, ... (past .254 "
                   "on 127.0.1.1 ...), same port")
        ->capture_default_str()
        ->check(CLI::Range(1, custovia::sim::kMaxHosts));
    app.add_option("--seed", o.seed, "same seed, same world")->capture_default_str();
    app.add_option("--speed", o.speed, "simulated seconds per real second")
        ->capture_default_str()
        ->check(CLI::Range(0.01, 3600.0));
    app.add_flag("--frozen", frozen, "simulated time stands still (see POST /_sim/advance)");
    app.add_option("--api-root", o.apiRoot, "interface root announced by /mon")
        ->capture_default_str();
    app.add_flag("--outage", o.outage, "start with the mains lost on every device");
    app.add_option("--outage-every", o.outageEverySec,
                   "scheduled outage every N simulated seconds (0: none)")
        ->capture_default_str()
        ->check(CLI::Range(0, 86400 * 365));
    app.add_option("--outage-length", o.outageLengthSec, "length of a scheduled outage, seconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400 * 365));
    app.add_flag("--log", log, "print one line per request on standard error");
    app.add_option("--fault", faults, "inject a fault (syntax below); repeatable");
    auto* cert = app.add_option("--tls-cert", o.tlsCert, "serve HTTPS with this certificate (PEM)")
                     ->check(CLI::ExistingFile);
    auto* key = app.add_option("--tls-key", o.tlsKey, "and this private key (PEM)")
                    ->check(CLI::ExistingFile);
    cert->needs(key);
    key->needs(cert);
    app.add_flag("--tls", selfSigned,
                 "serve HTTPS with a new self-signed certificate for 127.0.0.1 and localhost")
        ->excludes(cert)
        ->excludes(key);

    try {
        app.parse(argc, argv);
        for (const auto& text : faults) {
            custovia::sim::FaultRule rule;
            std::string error;
            if (!custovia::sim::FaultRule::parse(text, &rule, &error)) {
                throw CLI::ValidationError("--fault", error);
            }
            o.faults.push_back(rule);
        }
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    o.realTime = !frozen;
    if (log) {
        auto mutex = std::make_shared<std::mutex>();
        o.onAnswered = [mutex](const custovia::sim::JournalEntry& e) {
            std::lock_guard<std::mutex> lock(*mutex);
            std::cerr << e.method << " " << e.path << (e.query.empty() ? "" : "?") << e.query << " "
                      << (e.status ? std::to_string(e.status) : std::string("(no answer)"))
                      << (e.body.empty() ? "" : " " + e.body.substr(0, 200)) << std::endl;
        };
    }

    // Signals are taken by sigwait below; every thread started later inherits the mask..
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (selfSigned) {
        try {
            custovia::sim::CertificateFiles files = custovia::sim::writeSelfSigned();
            o.tlsCert = files.cert;
            o.tlsKey = files.key;
        } catch (const std::exception& e) {
            std::cerr << "custovia-sim: " << e.what() << std::endl;
            return 1;
        }
    }

    std::unique_ptr<custovia::sim::Simulator> simulator;
    try {
        simulator = std::make_unique<custovia::sim::Simulator>(o);
    } catch (const std::invalid_argument& e) {
        std::cerr << "custovia-sim: " << e.what() << "\nRun with --help for more information."
                  << std::endl;
        return 2;
    }
    try {
        custovia::sim::Simulator& sim = *simulator;
        sim.start();
        for (int i = 0; i < sim.hostCount(); ++i) {
            std::cout << sim.url(i) << "\n";
        }
        std::cout << "custovia-sim: " << o.devices << " local device(s) and " << o.computers
                  << " remote computer(s) per address; control interface at " << sim.url(0)
                  << "/_sim; stop with Ctrl-C" << std::endl;
        if (selfSigned) {
            std::cout << "custovia-sim: self-signed certificate written to " << o.tlsCert
                      << " (its key: " << o.tlsKey << ")" << std::endl;
        }
        int sig = 0;
        sigwait(&stopSignals, &sig);
        sim.stop();
    } catch (const std::exception& e) {
        std::cerr << "custovia-sim: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
