// Real parts for the gateway's tests: the gateway run as a child process,
// simulated services, the event stream, and reading the answers.
#pragma once

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../ChildProcess.h"
#include "../LoopbackTestSupport.h"
#include "sim/Simulator.h"

namespace serve_test {

using loopback_test::freePort;
using loopback_test::TempDir;
using loopback_test::waitUntil;
using testsupport::ChildProcess;
using Seconds = std::chrono::seconds;

inline QJsonObject jsonOf(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The samples of one metric family in an exposition text: labels -> value as
// written.
inline std::map<std::string, std::string> samples(const std::string& text,
                                                  const std::string& name) {
    std::map<std::string, std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + "{", 0) == 0) {
            std::size_t space = line.rfind(' ');
            out[line.substr(name.size(), space - name.size())] = line.substr(space + 1);
        }
    }
    return out;
}

// Reads an event stream on a thread of its own, from `lastId` when given.
class StreamReader {
public:
    explicit StreamReader(const std::string& url, const std::string& lastId = "") : client_(url) {
        client_.set_read_timeout(30, 0);
        thread_ = std::thread([this, lastId] {
            httplib::Headers h;
            if (!lastId.empty()) {
                h.emplace("Last-Event-ID", lastId);
            }
            client_.Get("/api/v1/events", h, [this](const char* data, std::size_t n) {
                std::lock_guard<std::mutex> lock(mutex_);
                text_.append(data, n);
                return true;
            });
        });
    }
    ~StreamReader() {
        client_.stop();
        thread_.join();
    }
    bool has(const std::string& part, double seconds = 20) {
        return waitUntil([&] { return text().find(part) != std::string::npos; }, seconds);
    }
    // Whether an event of `kind` about `device` and `name` came.
    bool hasEvent(const std::string& kind, const std::string& device, const std::string& name) {
        return waitUntil([&] {
            std::istringstream lines(text());
            for (std::string line; std::getline(lines, line);) {
                QJsonObject e = jsonOf(line.rfind("data: ", 0) == 0 ? line.substr(6) : "");
                if (e["kind"] == QString::fromStdString(kind) &&
                    e["device"] == QString::fromStdString(device) &&
                    e["name"] == QString::fromStdString(name)) {
                    return true;
                }
            }
            return false;
        });
    }
    std::string text() {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    httplib::Client client_;
    std::thread thread_;
    std::mutex mutex_;
    std::string text_;
};

// A simulator started with `o`, serving `hosts` services of `devices` units
// each and no remote computers, on a port the system chooses.
inline std::unique_ptr<custovia::sim::Simulator> startSimulator(int hosts, int devices,
                                                                custovia::sim::Options o = {}) {
    o.hosts = hosts;
    o.devices = devices;
    o.computers = 0;
    auto sim = std::make_unique<custovia::sim::Simulator>(o);
    sim->start();
    return sim;
}

// Whether `sim` received `method` on a path ending in `pathEnd`.
inline bool received(const custovia::sim::Simulator& sim, const std::string& method,
                     const std::string& pathEnd) {
    const auto journal = sim.journal();
    return std::any_of(journal.begin(), journal.end(), [&](const auto& e) {
        return e.method == method && e.path.size() >= pathEnd.size() &&
               e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0;
    });
}

// custovia-serve on port 0 with `args`; `url` is its first line.
struct Gateway {
    explicit Gateway(std::vector<std::string> args) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
        process = std::make_unique<ChildProcess>(CUSTOVIA_SERVE_PATH, args);
        url = process->line();
        url.erase(url.find_last_not_of('/') + 1);
    }
    // With a time-out that bounds every test.
    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>(url);
        c->set_connection_timeout(5, 0);
        c->set_read_timeout(10, 0);
        return c;
    }
    std::string body(const std::string& path) const {
        auto r = client()->Get(path);
        return r ? r->body : std::string();
    }
    std::unique_ptr<ChildProcess> process;
    std::string url;  // "http://127.0.0.1:PORT" without a final slash
};

}  // namespace serve_test
