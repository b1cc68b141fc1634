// A program run as a child process by the tests that run the built programs:
// its input given at the start, its standard output and error read through
// pipes. Killed when destroyed while it runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    using Limit = std::chrono::milliseconds;

    ChildProcess(const std::string& path, const std::vector<std::string>& args,
                 const std::string& input = "") {
        int out[2], err[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        // A test's input fits in the pipe; closing it ends the input.
        ssize_t written = input.empty() ? 0 : write(in[1], input.data(), input.size());
        (void)written;
        close(in[1]);
        fds_[0] = out[0];
        fds_[1] = err[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && exit_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : fds_) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void signal(int sig) { kill(pid_, sig); }

    // The next line of standard output; empty when none came within `limit`.
    std::string line(Limit limit = std::chrono::seconds(20)) {
        const auto end = Clock::now() + limit;
        std::size_t nl;
        while ((nl = text_[0].find('\n', taken_)) == std::string::npos) {
            if (Clock::now() >= end || !pump(50)) {
                return std::string();
            }
        }
        std::string l = text_[0].substr(taken_, nl - taken_);
        taken_ = nl + 1;
        return l;
    }

    // Whether `text` is in standard output within `limit`.
    bool waitFor(const std::string& text, Limit limit = std::chrono::seconds(30)) {
        const auto end = Clock::now() + limit;
        while (text_[0].find(text) == std::string::npos) {
            if (Clock::now() >= end || !pump(50)) {
                return false;
            }
        }
        return true;
    }

    // The exit status (128 + signal) once it ended within `limit`, else -1.
    // Once it ended, its output is read to the end.
    int wait(Limit limit = std::chrono::seconds(60)) {
        const auto end = Clock::now() + limit;
        while (pid_ > 0 && exit_ < 0 && Clock::now() < end) {
            if (!pump(10)) {
                poll(nullptr, 0, 2);
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        while (exit_ >= 0 && Clock::now() < end && pump(100)) {
        }
        return exit_;
    }

    // Everything read so far.
    const std::string& out() {
        pump(0);
        return text_[0];
    }
    const std::string& err() {
        pump(0);
        return text_[1];
    }

private:
    using Clock = std::chrono::steady_clock;

    // Reads what is there; false once both pipes are closed.
    bool pump(int timeoutMs) {
        if (fds_[0] < 0 && fds_[1] < 0) {
            return false;
        }
        pollfd p[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        if (poll(p, 2, timeoutMs) <= 0) {
            return true;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds_[i] >= 0 && (p[i].revents & (POLLIN | POLLHUP))) {
                char buf[8192];
                ssize_t n = read(fds_[i], buf, sizeof buf);
                if (n > 0) {
                    text_[i].append(buf, static_cast<std::size_t>(n));
                } else {
                    close(fds_[i]);
                    fds_[i] = -1;
                }
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int exit_ = -1;
    int fds_[2] = {-1, -1};
    std::string text_[2];
    std::size_t taken_ = 0;
};

}  // namespace testsupport
