// Real parts for the MQTT tests: a mosquitto broker run as a child process
// on 127.0.0.1 and a port of its own, a subscriber that keeps the last
// message of every topic, and a relay that breaks connections on demand.
#pragma once

#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../LoopbackTestSupport.h"

namespace mqtt_test {

using loopback_test::Clock;
using loopback_test::freePort;
using loopback_test::waitUntil;

inline sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

inline bool canConnect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

using TempDir = loopback_test::TempDir;

// mosquitto with a configuration file of the test's own: one listener on
// 127.0.0.1, no persistence (a restart loses every retained message).
class Broker {
public:
    // `extra`: more configuration lines for the listener (TLS, passwords).
    explicit Broker(std::string extra = "allow_anonymous true\n")
        : extra_(std::move(extra)), port_(freePort()) {
        start();
    }
    ~Broker() { stop(); }

    void start() {
        const std::string config = dir_.file(
            "mosquitto.conf", "listener " + std::to_string(port_) + " 127.0.0.1\n" + extra_ +
                                  "persistence false\nuser " + user() + "\nlog_dest none\n");
        pid_ = fork();
        if (pid_ == 0) {
            // Its own warnings (running as root) go to a file beside the configuration.
            freopen((dir_.path() + "/mosquitto.log").c_str(), "a", stderr);
            execlp("mosquitto", "mosquitto", "-c", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (!waitUntil([&] { return canConnect(port_); }, 10)) {
            throw std::runtime_error("mosquitto did not start on port " + std::to_string(port_));
        }
    }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
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
    pid_t pid_ = -1;
};

// Subscribes to everything and keeps, per topic, the last payload and the
// QoS it came with.
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
                std::string payload(static_cast<const char*>(m->payload), m->payloadlen);
                s->last_[m->topic] = payload;
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
    // Runs on the network thread for every message, under the lock.
    void onMessage(std::function<void(const std::string&, const std::string&)> f) {
        std::lock_guard<std::mutex> lock(mutex_);
        onMessage_ = std::move(f);
    }
    // The last payload of a topic; "" when none came or it was cleared.
    std::string last(const std::string& topic) const { return find(last_, topic, std::string()); }
    bool has(const std::string& topic) const { return find(qos_, topic, -1) >= 0; }
    int qos(const std::string& topic) const { return find(qos_, topic, -1); }
    std::map<std::string, std::string> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }
    QJsonObject json(const std::string& topic) const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(last(topic))).object();
    }
    // Publishes from this client.
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

// A TCP relay on 127.0.0.1 in front of another local port, to break
// connections the way a network does: hold() stops passing on what clients
// send (it stays unread in the relay's sockets), cut() resets every
// connection, so whatever was held is lost. New connections are passed on
// again after a cut.
class Relay {
public:
    explicit Relay(int target) : target_(target) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(0);
        socklen_t size = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), size) != 0 || listen(listen_, 8) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
            throw std::runtime_error("the relay cannot listen");
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~Relay() {
        stop_ = true;
        thread_.join();
        reset();
        close(listen_);
    }

    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_; }
    void hold() { held_ = true; }
    // Resets every connection and waits until it is done.
    void cut() {
        cut_ = true;
        waitUntil([&] { return !cut_; }, 10);
    }

private:
    void run() {
        while (!stop_) {
            if (cut_) {
                reset();
                held_ = false;
                cut_ = false;
            }
            std::vector<pollfd> fds{{listen_, POLLIN, 0}};
            for (const auto& p : pairs_) {
                fds.push_back({p.first, static_cast<short>(held_ ? 0 : POLLIN), 0});
                fds.push_back({p.second, POLLIN, 0});
            }
            // A short timeout: hold, cut and stop are noticed promptly.
            if (poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            if (fds[0].revents & POLLIN) {
                accept();
            }
            for (std::size_t i = 1; i < fds.size(); i += 2) {
                auto& p = pairs_[(i - 1) / 2];
                if (!pass(fds[i], p.second) || !pass(fds[i + 1], p.first)) {
                    close(p.first);
                    close(p.second);
                    p = {-1, -1};
                }
            }
            pairs_.erase(std::remove(pairs_.begin(), pairs_.end(), std::make_pair(-1, -1)),
                         pairs_.end());
        }
    }
    void accept() {
        int client = ::accept(listen_, nullptr, nullptr);
        int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(target_);
        if (client < 0 || connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(client);
            close(server);
            return;
        }
        pairs_.emplace_back(client, server);
        ++connections_;
    }
    // Passes what `from` has to `to`; false once the connection is over.
    static bool pass(const pollfd& from, int to) {
        if (!(from.revents & (POLLIN | POLLHUP | POLLERR))) {
            return true;
        }
        char buffer[65536];
        ssize_t n = read(from.fd, buffer, sizeof buffer);
        // A blocking socket takes it all; a reset peer fails it without SIGPIPE.
        return n > 0 && send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
    }
    // Closes every connection with a reset: unread data is dropped.
    void reset() {
        for (const auto& p : pairs_) {
            for (int fd : {p.first, p.second}) {
                linger abort{1, 0};
                setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                close(fd);
            }
        }
        pairs_.clear();
    }

    int target_;
    int listen_ = -1;
    int port_ = 0;
    std::vector<std::pair<int, int>> pairs_;  // client, server; the relay thread's own
    std::atomic<bool> stop_{false}, held_{false}, cut_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace mqtt_test
