#include "serve/MqttBridge.h"

#include <iostream>

#include "common/Status.h"
#include "mqtt/SnapshotSource.h"

namespace custovia {
namespace serve {

MqttBridge::MqttBridge(Gateway& gateway, const mqtt::Options& options, bool commands)
    : gateway_(gateway) {
    CustoviaHandle handle = gateway.handle();
    mqtt::Source source =
        mqtt::snapshotSource(handle, gateway.hosts(), [handle](const std::string& host) {
            CustoviaHostHealth health;
            return getHostHealth(handle, host.c_str(), &health) != 1 || health.reachable;
        });
    mqtt::CommandHandler handler;
    if (commands) {
        handler = [&gateway](const std::string& host, const std::string& device,
                             const std::string& name) {
            mqtt::CommandResult result;
            DeviceCommand command;
            if (!commandFromName(name, &command)) {
                result.status = -202;
                result.text = "unknown command " + name;
                return result;
            }
            result.status = gateway.command(command, host, std::string(), device);
            result.text = result.status == 1 ? "ok" : tools::statusWords(result.status);
            return result;
        };
    }
    publisher_ = std::make_unique<mqtt::Publisher>(options, std::move(source), std::move(handler));
    publisher_->setLog([](const std::string& line) {
        std::cerr << "custovia-serve: mqtt: " << line << std::endl;
    });
}

MqttBridge::~MqttBridge() {
    stop();
}

std::string MqttBridge::start() {
    std::string error = publisher_->start();
    if (!error.empty()) {
        return error;
    }
    callbackId_ =
        addEventCallback(gateway_.handle(), &mqtt::Publisher::eventCallback, publisher_.get());
    if (callbackId_ < 1) {
        publisher_->stop();
        return "the library refused the event callback (status " + std::to_string(callbackId_) +
               ")";
    }
    return std::string();
}

void MqttBridge::stop() {
    if (callbackId_ > 0) {
        removeEventCallback(gateway_.handle(), callbackId_);
        callbackId_ = 0;
    }
    if (publisher_) {
        publisher_->stop();
    }
}

}  // namespace serve
}  // namespace custovia
