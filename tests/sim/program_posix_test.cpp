// The custovia-sim program: command line, first line, signals, busy port.
#include "sim/CurlHelper.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <QJsonArray>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>

#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string programPath() {
    char self[4096] = {0};
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    return path.substr(0, path.rfind('/')) + "/../custovia-sim";
}

// A running custovia-sim with its output pipes.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        std::string path = programPath();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }

    // Next line of standard output, waiting at most `limit`.
    std::string line(std::chrono::milliseconds limit = 10s) {
        auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            std::size_t nl = stdout_.find('\n');
            if (nl != std::string::npos) {
                std::string l = stdout_.substr(0, nl);
                stdout_.erase(0, nl + 1);
                return l;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readInto(out_, stdout_, static_cast<int>(left.count()))) {
                return std::string();
            }
        }
    }

    // Exit status once the program ended within `limit`, else -1.
    int wait(std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (status_ < 0) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (std::chrono::steady_clock::now() > end) {
                return -1;
            }
            usleep(5000);
        }
        return status_;
    }

    std::string allStderr() {
        while (readInto(err_, stderr_, 1000)) {
        }
        return stderr_;
    }
    std::string allStdout() {
        while (readInto(out_, stdout_, 1000)) {
        }
        return stdout_;
    }
    void signal(int sig) { kill(pid_, sig); }

private:
    static bool readInto(int fd, std::string& to, int ms) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) {
            return false;
        }
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0) {
            return false;
        }
        to.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = -1;
    std::string stdout_, stderr_;
};

}  // namespace

TEST(Program, PrintsItsUrlFirstServesAndEndsCleanlyOnSigtermAndSigint) {
    for (int sig : {SIGTERM, SIGINT}) {
        Program p({"--port", "0", "--devices", "4", "--seed", "3"});
        std::string url = p.line();
        ASSERT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url << p.allStderr();
        simtest::Client http(url);
        EXPECT_EQ(http.get("/api/device").json()["devices"].toArray().size(), 4);
        // The client's connection stays open: stopping must not wait for it.
        p.signal(sig);
        EXPECT_EQ(p.wait(1000ms), 0) << "signal " << sig;
    }
}

TEST(Program, ServesSeveralAddressesOnOnePort) {
    Program p({"--port", "0", "--hosts", "2", "--devices", "1"});
    std::string first = p.line(), second = p.line();
    ASSERT_EQ(first.rfind("http://127.0.0.1:", 0), 0u) << first << p.allStderr();
    std::string port = first.substr(first.rfind(':'));
    EXPECT_EQ(second, "http://127.0.0.2" + port);
    simtest::Client a(first), b(second);
    EXPECT_EQ(a.get("/api").json()["ip"].toString(), "127.0.0.1");
    EXPECT_EQ(b.get("/api").json()["ip"].toString(), "127.0.0.2");
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(5s), 0);
}

TEST(Program, TlsServesHttpsWithASelfSignedCertificateItNames) {
    Program p({"--port", "0", "--tls", "--devices", "1"});
    std::string url = p.line();
    ASSERT_EQ(url.rfind("https://127.0.0.1:", 0), 0u) << url << p.allStderr();
    p.line();  // the summary
    std::string written = p.line();
    const std::string prefix = "custovia-sim: self-signed certificate written to ";
    ASSERT_EQ(written.rfind(prefix, 0), 0u) << written;
    const std::string cert =
        written.substr(prefix.size(), written.find(' ', prefix.size()) - prefix.size());
    simtest::Client https(url);
    https.setCaFile(cert);
    simtest::Reply reply = https.get("/api/device");
    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.json()["devices"].toArray().size(), 1);
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(5s), 0);

    // A certificate without its key, or beside --tls, is a usage error.
    Program alone({"--tls-cert", cert});
    EXPECT_EQ(alone.wait(10s), 2);
    Program both({"--tls", "--tls-cert", cert, "--tls-key", cert});
    EXPECT_EQ(both.wait(10s), 2);
    Program notAKey({"--port", "0", "--tls-cert", cert, "--tls-key", cert});
    EXPECT_EQ(notAKey.wait(10s), 1);
    EXPECT_NE(notAKey.allStderr().find("cannot use the key"), std::string::npos);
    QFileInfo(QString::fromStdString(cert)).dir().removeRecursively();
}

TEST(Program, BusyPortFailsWithAClearMessage) {
    custovia::sim::Simulator busy;
    busy.start();
    std::string port = std::to_string(busy.port());
    Program p({"--port", port});
    EXPECT_EQ(p.wait(10s), 1);
    std::string err = p.allStderr();
    EXPECT_NE(err.find("cannot listen on 127.0.0.1:" + port), std::string::npos) << err;
    EXPECT_NE(err.find("in use"), std::string::npos) << err;
    EXPECT_EQ(p.allStdout(), "");  // no URL for a service that is not there
}

TEST(Program, UsageErrorsExitWithTwoAndHelpDescribesTheControlInterface) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--bogus"},
                                          {"--devices", "many"},
                                          {"--hosts", "0"},
                                          {"--fault", "explode"}}) {
        Program p(args);
        EXPECT_EQ(p.wait(10s), 2) << args[0];
        EXPECT_FALSE(p.allStderr().empty()) << args[0];
    }
    Program help({"--help"});
    EXPECT_EQ(help.wait(10s), 0);
    std::string text = help.allStdout();
    for (const char* word : {"--port", "--hosts", "--seed", "--fault", "/_sim/faults",
                             "/_sim/journal", "/_sim/outage"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}
