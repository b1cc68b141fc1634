// A built program run as a child process (QProcess) by the tests that run the
// real programs: its input given at the start, its output collected while the
// test waits. Killed when destroyed while it runs.
#pragma once

#include <signal.h>

#include <QDeadlineTimer>
#include <QProcess>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    using Limit = std::chrono::milliseconds;

    ChildProcess(const std::string& path, const std::vector<std::string>& args,
                 const std::string& input = "") {
        QStringList list;
        for (const auto& a : args) {
            list << QString::fromStdString(a);
        }
        process_.start(QString::fromStdString(path), list);
        if (process_.waitForStarted()) {
            process_.write(input.data(), static_cast<qint64>(input.size()));
        }
        process_.closeWriteChannel();
    }
    ~ChildProcess() {
        process_.kill();
        process_.waitForFinished();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return static_cast<pid_t>(process_.processId()); }
    void signal(int sig) { ::kill(pid(), sig); }

    // The next line of standard output; empty when none came within `limit`.
    std::string line(Limit limit = std::chrono::seconds(20)) {
        std::size_t nl = std::string::npos;
        pumpUntil([&] { return (nl = out_.find('\n', taken_)) != std::string::npos; }, limit);
        std::string l = nl == std::string::npos ? "" : out_.substr(taken_, nl - taken_);
        taken_ = nl == std::string::npos ? taken_ : nl + 1;
        return l;
    }

    // Whether `text` is in standard output within `limit`.
    bool waitFor(const std::string& text, Limit limit = std::chrono::seconds(30)) {
        return pumpUntil([&] { return out_.find(text) != std::string::npos; }, limit);
    }

    // The exit status (128 when a signal ended it) once it ended within
    // `limit`, else -1.
    int wait(Limit limit = std::chrono::seconds(60)) {
        if (process_.state() != QProcess::NotRunning &&
            !process_.waitForFinished(static_cast<int>(limit.count()))) {
            return -1;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : 128;
    }

    // Everything written so far.
    const std::string& out() { return collect(), out_; }
    const std::string& err() { return collect(), err_; }

private:
    void collect() {
        out_ += process_.readAllStandardOutput().toStdString();
        err_ += process_.readAllStandardError().toStdString();
    }
    template <class Done>
    bool pumpUntil(Done done, Limit limit) {
        QDeadlineTimer deadline(limit.count());
        for (collect(); !done(); collect()) {
            if (deadline.hasExpired() ||
                !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                return collect(), done();
            }
        }
        return true;
    }

    QProcess process_;
    std::string out_, err_;
    std::size_t taken_ = 0;
};

}  // namespace testsupport
