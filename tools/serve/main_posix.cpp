// custovia-serve: keeps one library handle connected to the monitoring
// services and serves what it sees over HTTP until SIGINT or SIGTERM.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <memory>

#include "serve/Gateway.h"
#include "serve/MqttBridge.h"
#include "serve/Options.h"
#include "serve/Server.h"

using namespace custovia::serve;

int main(int argc, char** argv) {
    // Signals are taken by sigwait below; every thread started later
    // inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Options options;
    std::unique_ptr<Gateway> gateway;
    std::unique_ptr<Server> server;
    std::unique_ptr<MqttBridge> mqtt;
    try {
        int code = 0;
        if (!parseOptions(argc, argv, &options, &code)) {
            return code;
        }
        gateway = std::make_unique<Gateway>(options);
        server = std::make_unique<Server>(*gateway, options);
        // The port is taken before any host is connected, so a busy port
        // ends the program at once.
        server->bind();
        gateway->connect();
        if (options.mqtt.enabled()) {
            // A broker that is down is retried in the background; only a
            // publisher that cannot start at all ends the program.
            mqtt = std::make_unique<MqttBridge>(*gateway, options.mqtt, options.hasTokenFile);
            std::string error = mqtt->start();
            if (!error.empty()) {
                throw StartError("MQTT: " + error, kExitFailed);
            }
        }
    } catch (const StartError& e) {
        std::cerr << "custovia-serve: " << e.what() << std::endl;
        if (e.exitCode() == kExitUsage) {
            std::cerr << "Run with --help for more information." << std::endl;
        }
        return e.exitCode();
    }
    std::cout << server->url() << std::endl;
    std::cerr << "custovia-serve: " << options.hosts.size() << " host(s); metrics at "
              << server->url() << "metrics; stop with Ctrl-C" << std::endl;
    server->start();

    int sig = 0;
    sigwait(&stopSignals, &sig);
    bool ended = server->stop(500);
    if (mqtt) {
        mqtt->stop();
    }
    gateway->stop();
    if (!ended) {
        // A client stuck in a write keeps its server thread; the program
        // does not wait for it.
        std::cout.flush();
        _exit(kExitOk);
    }
    return kExitOk;
}
