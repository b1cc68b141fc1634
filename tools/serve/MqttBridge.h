// The gateway's MQTT publishing: a publisher fed by the gateway's handle
// (its units, its hosts' health, its change events) whose Home Assistant
// buttons run the same command path as the HTTP API.
#pragma once

#include <memory>
#include <string>

#include "mqtt/MqttOptions.h"
#include "mqtt/Publisher.h"
#include "serve/Gateway.h"

namespace custovia {
namespace serve {

class MqttBridge {
public:
    // Nothing is started; `gateway` must stay connected until stop().
    MqttBridge(Gateway& gateway, const mqtt::Options& options, bool commands);
    ~MqttBridge();  // stop()
    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Starts publishing; an empty text, or why it cannot start.
    std::string start();
    // Stops the events first, then the publisher (which says "offline").
    void stop();

private:
    Gateway& gateway_;
    std::unique_ptr<mqtt::Publisher> publisher_;
    int32_t callbackId_ = 0;
};

}  // namespace serve
}  // namespace custovia
