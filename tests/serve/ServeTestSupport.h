// Real parts for the gateway's tests: programs run as child processes (the
// gateway, custovia-sim, promtool, prometheus) with their output read through
// pipes, simulated services, the event stream, and reading the answers.
#pragma once

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../LoopbackTestSupport.h"
#include "sim/Simulator.h"

namespace serve_test {

using loopback_test::Clock;
using loopback_test::freePort;
using loopback_test::waitUntil;

class TempDir : public loopback_test::TempDir {
public:
    TempDir() : loopback_test::TempDir("custovia-serve") {}
};

// A running program, its standard output read through a pipe, its standard
// error kept in a file; `inChild` runs in it before the program starts.
// Killed when destroyed while it runs.
class Child {
public:
    Child(const std::string& path, const std::vector<std::string>& args,
          const std::function<void()>& inChild = nullptr) {
        int out[2];
        int err = ::open(errFile().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (err < 0 || pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err, 2);
            if (inChild) {
                inChild();
            }
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execvp(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err);
        out_ = out[0];
    }
    ~Child() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            close(out_);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running() const { return pid_ > 0 && exit_ < 0; }
    void signal(int sig) { kill(pid_, sig); }

    // The next line of standard output; empty when none came within `seconds`.
    std::string line(double seconds = 20) {
        auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        std::size_t nl;
        while ((nl = out_text_.find('\n', taken_)) == std::string::npos) {
            if (Clock::now() >= end || !pump(50)) {
                return std::string();
            }
        }
        std::string l = out_text_.substr(taken_, nl - taken_);
        taken_ = nl + 1;
        return l;
    }
    // Waits up to `seconds` for the end; its exit status (128 + signal), -1
    // when it still runs.
    int wait(double seconds = 30) {
        auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        for (int status = 0; exit_ < 0 && Clock::now() < end; pump(20)) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        while (pump(0)) {
        }
        return exit_;
    }
    // Everything written so far.
    const std::string& out() {
        pump(0);
        return out_text_;
    }
    std::string err() const {
        std::ifstream in(errFile());
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string errFile() const { return dir_.path() + "/stderr"; }
    // Reads what is there; false once the pipe is closed or nothing came.
    bool pump(int timeoutMs) {
        pollfd p{out_, POLLIN, 0};
        if (out_ < 0 || poll(&p, 1, timeoutMs) <= 0) {
            return out_ >= 0 && timeoutMs > 0;
        }
        char buf[8192];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n > 0) {
            out_text_.append(buf, static_cast<std::size_t>(n));
        } else {
            close(out_);
            out_ = -1;
        }
        return true;
    }

    TempDir dir_;
    pid_t pid_ = -1;
    int out_ = -1;
    int exit_ = -1;
    std::string out_text_;
    std::size_t taken_ = 0;
};

inline QJsonObject jsonOf(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The samples of one metric family in an exposition text: labels -> value.
inline std::map<std::string, double> samples(const std::string& text, const std::string& name) {
    std::map<std::string, double> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, name.size() + 1, name + "{") == 0) {
            std::size_t space = line.rfind(' ');
            out[line.substr(name.size(), space - name.size())] = std::stod(line.substr(space + 1));
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
    // Whether an event of `kind` about `device` and `name` came within 20 s.
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

// A simulator serving `hosts` services of `devices` units each (and no
// remote computers, and what `more` changes) on a port the system chooses;
// started.
inline std::unique_ptr<custovia::sim::Simulator> startSimulator(
    int hosts, int devices, const std::function<void(custovia::sim::Options&)>& more = nullptr) {
    custovia::sim::Options o;
    o.hosts = hosts;
    o.devices = devices;
    o.computers = 0;
    if (more) {
        more(o);
    }
    auto sim = std::make_unique<custovia::sim::Simulator>(o);
    sim->start();
    return sim;
}

// The units of every host of `sim`.
inline std::set<std::string> unitIds(const custovia::sim::Simulator& sim) {
    std::set<std::string> ids;
    for (int h = 0; h < sim.hostCount(); ++h) {
        for (const auto& id : sim.deviceIds("localhost", h)) {
            ids.insert(id);
        }
    }
    return ids;
}

// Whether `sim` received `method` on a path ending in `pathEnd`.
inline bool received(const custovia::sim::Simulator& sim, const std::string& method,
                     const std::string& pathEnd) {
    for (const auto& e : sim.journal()) {
        if (e.method == method && e.path.size() >= pathEnd.size() &&
            e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0) {
            return true;
        }
    }
    return false;
}

// custovia-serve on port 0 with `args`; `url` is its first line.
struct Gateway {
    explicit Gateway(std::vector<std::string> args) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
        process = std::make_unique<Child>(CUSTOVIA_SERVE_PATH, args);
        url = process->line();
        if (url.size() > 1 && url.back() == '/') {
            url.pop_back();
        }
    }
    // A client of the gateway, with a time-out that bounds every test.
    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>(url);
        c->set_connection_timeout(5, 0);
        c->set_read_timeout(10, 0);
        return c;
    }
    // The body of a GET; empty without an answer.
    std::string body(const std::string& path) const {
        auto r = client()->Get(path);
        return r ? r->body : std::string();
    }
    std::unique_ptr<Child> process;
    std::string url;  // "http://127.0.0.1:PORT" without a final slash
};

// A program's whole standard output, run to its end (at most `seconds`).
inline std::string runProgram(const std::string& path, const std::vector<std::string>& args,
                              int* exitCode = nullptr, double seconds = 60) {
    Child c(path, args);
    int code = c.wait(seconds);
    if (exitCode) {
        *exitCode = code;
    }
    return c.out() + c.err();
}

}  // namespace serve_test
