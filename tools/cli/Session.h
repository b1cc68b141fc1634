// The tool's connection to the monitoring services: one library handle, one
// host per --host address, the wait for the first data, and the translation of
// status codes into words and exit codes.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Terminal.h"
#include "client/custovia.h"
#include "common/Status.h"

namespace custovia {
namespace cli {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A failure the tool reports in words and ends with: `exitCode` is kExitFailed
// for a failed operation, kExitUsage for a request the tool cannot make sense of.
class Failure : public std::runtime_error {
public:
    Failure(const std::string& message, int exitCode = kExitFailed)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

using tools::statusMessage;
using tools::statusWords;

// What the user chose on the command line for every subcommand.
struct GlobalOptions {
    std::vector<std::string> hosts;  // service addresses
    std::string computer;            // empty: every computer (status) or the local one
    bool json = false;
    double timeout = 10;  // seconds to wait for the first data
    std::string logLevel;
    std::string logFile;
    std::string caFile;  // HTTPS services must present a certificate of this authority
    ColorMode color = ColorMode::Auto;
};

// One connected service.
struct Host {
    std::string url;  // as given
    std::string key;  // host name the library files it under
    bool ready = false;
    int32_t status = 0;  // status of the failed first refresh, 0 after a good one
};

// What Session::open() waits for and what it takes as a failure.
struct OpenOptions {
    // A host without data is a Failure; otherwise it stays listed as not ready.
    bool everyHost = false;
    // No data at all is no Failure (the live view waits for services
    // that come up later).
    bool noData = false;
    OpenOptions& requireEveryHost() {
        everyHost = true;
        return *this;
    }
    OpenOptions& allowNoData() {
        noData = true;
        return *this;
    }
};

class Session {
public:
    explicit Session(const GlobalOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Sets up logging, connects every host and refreshes each at once, each
    // bounded by the time-out. Opening an open session
    // does nothing.
    void open(const OpenOptions& wait = OpenOptions());

    CustoviaHandle handle() const { return handle_; }
    std::vector<Host>& hosts() { return hosts_; }
    const GlobalOptions& options() const { return options_; }
    // The computer selected with --computer, or nullptr for the local one.
    const char* computer() const;
    bool localComputer() const;

    // The ready host that knows device `id` on the selected computer. For the
    // local computer the device must be in a host's data (Failure "not
    // found" otherwise, or when several hosts have it); for a remote computer
    // the host that lists the computer.
    Host& hostForDevice(const std::string& id);
    // The one ready host a command without device goes to: the only --host, or
    // the one that lists the selected computer.
    Host& singleHost();

    // Failure for a negative status; `what` names the object.
    void check(int32_t status, const std::string& what) const;

private:
    void setupLogging();
    bool opened_ = false;
    // Runs one refresh cycle of every host at once and waits for them all.
    void refreshAll();

    GlobalOptions options_;
    CustoviaHandle handle_;
    std::vector<Host> hosts_;
};

// tools::hostKey with its error as a Failure of the usage (exit code 2).
std::string hostKey(const std::string& url);

}  // namespace cli
}  // namespace custovia
