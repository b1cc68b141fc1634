// Real parts for the MQTT tests: a mosquitto broker run as a child process
// on 127.0.0.1 and a port of its own, and a subscriber that keeps the last
// message of every topic.
#pragma once

#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "../ChildProcess.h"
#include "../LoopbackTestSupport.h"

namespace mqtt_test {

using loopback_test::freePort;
using loopback_test::TempDir;
using loopback_test::waitUntil;

inline bool canConnect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// mosquitto with a configuration file of the test's own: one listener on
// 127.0.0.1, and no persistence (a restart loses every retained message)
// unless `extra` asks for it.
class Broker {
public:
    // `extra`: more configuration lines (TLS, passwords, persistence).
    explicit Broker(std::string extra = "allow_anonymous true\n")
        : extra_(std::move(extra)), port_(freePort()) {
        start();
    }
    ~Broker() { stop(); }

    void start() {
        const std::string config =
            dir_.file("mosquitto.conf", "listener " + std::to_string(port_) + " 127.0.0.1\n" +
                                            extra_ + "user " + user() + "\nlog_dest none\n");
        process_ = std::make_unique<testsupport::ChildProcess>(
            "mosquitto", std::vector<std::string>{"-c", config});
        if (!waitUntil([&] { return canConnect(port_); }, 10)) {
            throw std::runtime_error("mosquitto did not start: " + process_->err());
        }
    }
    void signal(int sig) { process_->signal(sig); }
    // SIGTERM lets mosquitto save what persistence asks for; SIGKILL does not.
    void stop(int sig = SIGTERM) {
        if (process_) {
            process_->signal(sig);
            process_->wait();
            process_.reset();
        }
    }
    int port() const { return port_; }
    pid_t pid() const { return process_->pid(); }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

private:
    // Started as root, mosquitto changes to its own user and could no longer
    // read the test's files: it stays the user that runs the test.
    static std::string user() {
        const char* name = std::getenv("USER");
        return geteuid() == 0 ? "root" : (name ? name : "nobody");
    }
    TempDir dir_;
    std::string extra_;
    int port_ = 0;
    std::unique_ptr<testsupport::ChildProcess> process_;
};

// Subscribes to `pattern` (everything by default) and keeps, per topic, the
// last payload and the QoS it came with; the benchmarks also watch each message.
class Subscriber {
public:
    explicit Subscriber(int port, std::string pattern = "#") : pattern_(std::move(pattern)) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(self)->pattern_.c_str(),
                                    1);
            }
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* s = static_cast<Subscriber*>(self);
                std::lock_guard<std::mutex> lock(s->mutex_);
                std::string& payload = s->last_[m->topic];
                payload.assign(static_cast<const char*>(m->payload), m->payloadlen);
                s->qos_[m->topic] = m->qos;
                if (s->onMessage_) {
                    s->onMessage_(m->topic, payload);
                }
            });
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    void onMessage(std::function<void(const std::string&, const std::string&)> f) {
        std::lock_guard<std::mutex> lock(mutex_);
        onMessage_ = std::move(f);
    }
    // The last payload of a topic; "" when none came or it was cleared.
    std::string last(const std::string& topic) const { return find(last_, topic, std::string()); }
    std::map<std::string, std::string> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }
    bool has(const std::string& topic) const { return find(qos_, topic, -1) >= 0; }
    int qos(const std::string& topic) const { return find(qos_, topic, -1); }
    QJsonObject json(const std::string& topic) const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(last(topic))).object();
    }
    void publish(const std::string& topic, const std::string& payload, bool retain = false) {
        mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain);
    }

private:
    template <class T>
    T find(const std::map<std::string, T>& map, const std::string& topic, T none) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = map.find(topic);
        return it == map.end() ? none : it->second;
    }
    mosquitto* mosq_ = nullptr;
    std::string pattern_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> last_;
    std::map<std::string, int> qos_;
    std::function<void(const std::string&, const std::string&)> onMessage_;
};

}  // namespace mqtt_test
