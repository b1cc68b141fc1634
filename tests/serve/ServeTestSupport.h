// Real parts for the gateway's tests: programs run as child processes (the
// gateway, custovia-sim, promtool, prometheus, chromium) with their output
// read through pipes, a temporary folder, a free port, and HTTP requests.
#pragma once

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
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

// A running program with its standard output and error read through pipes.
// Killed when destroyed while it runs.
class Child {
public:
    Child(const std::string& path, const std::vector<std::string>& args) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execvp(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Child() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        closeFd(out_);
        closeFd(err_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && exit_ < 0; }

    // The next line of standard output; empty when none came within `seconds`.
    std::string line(double seconds = 20) {
        auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        for (;;) {
            std::size_t nl = out_text_.find('\n', taken_);
            if (nl != std::string::npos) {
                std::string l = out_text_.substr(taken_, nl - taken_);
                taken_ = nl + 1;
                return l;
            }
            if (Clock::now() >= end || !pump(50)) {
                return std::string();
            }
        }
    }
    void signal(int sig) { kill(pid_, sig); }
    // Waits up to `seconds` for the end; its exit status (128 + signal), -1
    // when it still runs.
    int wait(double seconds = 30) {
        auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (exit_ < 0 && Clock::now() < end) {
            pump(20);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        while (pump(0)) {
        }
        return exit_;
    }
    // Everything read so far.
    const std::string& out() {
        pump(0);
        return out_text_;
    }
    const std::string& err() {
        pump(0);
        return err_text_;
    }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    // Reads what is there; false once both pipes are closed or nothing came.
    bool pump(int timeoutMs) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (out_ < 0 && err_ < 0) {
            return false;
        }
        if (poll(fds, 2, timeoutMs) <= 0) {
            return timeoutMs > 0;
        }
        std::string* sinks[2] = {&out_text_, &err_text_};
        int* fdRef[2] = {&out_, &err_};
        for (int i = 0; i < 2; ++i) {
            if (*fdRef[i] >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buf[8192];
                ssize_t n = read(*fdRef[i], buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, static_cast<std::size_t>(n));
                } else {
                    closeFd(*fdRef[i]);
                }
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int exit_ = -1;
    std::string out_text_;
    std::string err_text_;
    std::size_t taken_ = 0;
};

inline QJsonObject jsonOf(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
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
    // Whether an event of `kind` about `device` and `name` came within `seconds`.
    bool hasEvent(const std::string& kind, const std::string& device, const std::string& name,
                  double seconds = 20) {
        return waitUntil(
            [&] {
                std::istringstream lines(text());
                std::string line;
                while (std::getline(lines, line)) {
                    if (line.rfind("data: ", 0) == 0) {
                        QJsonObject e = jsonOf(line.substr(6));
                        if (e["kind"].toString().toStdString() == kind &&
                            e["device"].toString().toStdString() == device &&
                            e["name"].toString().toStdString() == name) {
                            return true;
                        }
                    }
                }
                return false;
            },
            seconds);
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

// A simulator serving `hosts` services of `devices` units each on a port
// the system chooses; started.
inline std::unique_ptr<custovia::sim::Simulator> startSimulator(int hosts, int devices) {
    custovia::sim::Options o;
    o.port = 0;
    o.hosts = hosts;
    o.devices = devices;
    auto sim = std::make_unique<custovia::sim::Simulator>(o);
    sim->start();
    return sim;
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
