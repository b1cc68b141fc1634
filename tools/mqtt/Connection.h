// One connection to an MQTT broker through libmosquitto, run by the
// library's own network thread: connecting in the background, reconnecting
// with exponential back-off, a last will, TLS, and callbacks for the
// connection's state, acknowledged messages and received messages.
//
// Thread safety: publish() and subscribe() may be called from any thread.
// The callbacks run on the network thread and must not block.
#pragma once

#include <functional>
#include <string>

#include "mqtt/MqttOptions.h"

struct mosquitto;
struct mosquitto_message;

namespace custovia {
namespace mqtt {

struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
};

struct ConnectionCallbacks {
    std::function<void()> connected;               // the broker accepted the session
    std::function<void(const std::string&)> lost;  // a connection ended or was refused (why)
    std::function<void(int mid)> acknowledged;     // a published message is done
    std::function<void(const Message&)> message;
};

class Connection {
public:
    // `willTopic` gets "offline" (retained) when the connection breaks
    // without a clean disconnect.
    Connection(const Options& options, const std::string& clientId, const std::string& willTopic,
               ConnectionCallbacks callbacks);
    ~Connection();  // stop()
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Starts the network thread and the first connection attempt; never waits
    // for the broker. Returns an empty text, or why it cannot start (a TLS
    // file libmosquitto refuses, an address it cannot resolve).
    std::string start();
    // Disconnects cleanly when connected and ends the network thread.
    void stop();

    // Queues one message: 1 when queued, 0 when there is no connection, -1
    // when libmosquitto refuses this message (a topic that is not UTF-8, a
    // payload too large), which no retry would change.
    int publish(const std::string& topic, const std::string& payload, int qos, bool retain);
    bool subscribe(const std::string& pattern, int qos);

private:
    static void onConnect(struct mosquitto*, void* self, int rc);
    static void onDisconnect(struct mosquitto*, void* self, int rc);
    static void onPublish(struct mosquitto*, void* self, int mid);
    static void onMessage(struct mosquitto*, void* self, const struct mosquitto_message* m);

    Options options_;
    ConnectionCallbacks callbacks_;
    struct mosquitto* mosq_ = nullptr;
    bool running_ = false;
};

}  // namespace mqtt
}  // namespace custovia
