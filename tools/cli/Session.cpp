#include "cli/Session.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <sstream>
#include <thread>

#include "client/custovia_ext.h"
#include "tkl/Logger.h"

namespace custovia {
namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often the wait indicator turns while the hosts are refreshed.
constexpr auto kPoll = std::chrono::milliseconds(50);

std::string joinKeys(const std::vector<Host>& hosts) {
    std::string text;
    for (const auto& h : hosts) {
        text += (text.empty() ? "" : ", ") + h.key;
    }
    return text;
}

}  // namespace

std::string hostKey(const std::string& url) {
    try {
        return tools::hostKey(url);
    } catch (const std::invalid_argument& e) {
        throw Failure(e.what(), kExitUsage);
    }
}

Session::Session(const GlobalOptions& options) : options_(options), handle_(openCli()) {}

Session::~Session() {
    for (const auto& h : hosts_) {
        disconnectCli(handle_, h.key.c_str());
    }
    closeCli(handle_);
}

const char* Session::computer() const {
    return options_.computer.empty() ? nullptr : options_.computer.c_str();
}

bool Session::localComputer() const {
    return options_.computer.empty() || options_.computer == "localhost";
}

void Session::check(int32_t status, const std::string& what) const {
    if (status < 0) {
        throw Failure(statusMessage(status, what));
    }
}

void Session::setupLogging() {
    if (options_.logLevel.empty() && options_.logFile.empty()) {
        return;
    }
    // Without a level, a log file gets everything: requests and failures.
    int level = options_.logLevel.empty() ? 0 : tools::logLevel(options_.logLevel);
    if (level < 0) {
        throw Failure("invalid log level \"" + options_.logLevel + "\"", kExitUsage);
    }
    tkl::Logger* logger = nullptr;
    check(getLogger(handle_, "monitclient", &logger), "logger monitclient");
    tkl::LogOutput output =
        options_.logFile.empty() ? tkl::LogOutput::Console : tkl::LogOutput::File;
    tkl::LoggerOptions lo("monitclient", level, static_cast<int32_t>(output));
    lo.fileName = options_.logFile;
    logger->setOptions(lo);
}

void Session::refreshAll() {
    // Every host is refreshed at once, each on a thread of its own, so that
    // one slow service does not hold up the others; --timeout bounds each.
    int32_t timeoutMs = static_cast<int32_t>(std::max(1.0, options_.timeout * 1000));
    std::atomic<std::size_t> left{hosts_.size()};
    std::vector<std::thread> threads;
    for (auto& h : hosts_) {
        threads.emplace_back([this, &h, &left, timeoutMs] {
            int32_t status = refreshHost(handle_, h.key.c_str(), timeoutMs);
            h.ready = status == 1;
            h.status = h.ready ? 0 : status;
            --left;
        });
    }
    auto start = Clock::now();
    Spinner spinner(true);
    while (left > 0) {
        std::ostringstream msg;
        msg << "waiting for data from " << joinKeys(hosts_) << " ("
            << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()
            << " s)";
        spinner.tick(msg.str());
        std::this_thread::sleep_for(kPoll);
    }
    for (auto& t : threads) {
        t.join();
    }
    spinner.clear();
}

void Session::open(const OpenOptions& wait) {
    if (opened_) {
        return;
    }
    opened_ = true;
    // Every address is checked before the first connection.
    std::vector<Host> hosts;
    for (const auto& url : options_.hosts) {
        Host h;
        h.url = url;
        h.key = hostKey(url);
        for (const auto& other : hosts) {
            if (other.key == h.key) {
                throw Failure("--host " + other.url + " and --host " + url +
                                  " name the same host \"" + h.key +
                                  "\"; one service per host name can be connected",
                              kExitUsage);
            }
        }
        hosts.push_back(h);
    }
    setupLogging();
    if (!options_.caFile.empty()) {
        check(setTlsVerification(handle_, options_.caFile.c_str(), 1),
              "cannot read the certificate file " + options_.caFile);
    }
    for (const auto& h : hosts) {
        check(connectCli(handle_, h.url.c_str()), "cannot connect to " + h.url);
        hosts_.push_back(h);
    }

    refreshAll();

    bool any = false;
    for (const auto& h : hosts_) {
        any = any || h.ready;
    }
    for (const auto& h : hosts_) {
        if (!h.ready && (wait.everyHost || (!any && !wait.noData))) {
            std::ostringstream msg;
            msg << "no answer: no data from " << h.url << " within " << options_.timeout
                << " s; is the monitoring service running there? (status " << h.status << ")";
            throw Failure(msg.str());
        }
    }
}

Host& Session::hostForDevice(const std::string& id) {
    if (!localComputer()) {
        return singleHost();
    }
    std::vector<Host*> found;
    for (auto& h : hosts_) {
        custovia::Device device;
        if (h.ready && getDevice(handle_, h.key.c_str(), nullptr, id.c_str(), &device) == 1) {
            found.push_back(&h);
        }
    }
    if (found.empty()) {
        throw Failure(statusMessage(-302, "device \"" + id + "\" on " + joinKeys(hosts_)));
    }
    if (found.size() > 1) {
        throw Failure("device \"" + id + "\" is on several hosts (" + found[0]->key + ", " +
                          found[1]->key + "); choose one with --host",
                      kExitUsage);
    }
    return *found.front();
}

Host& Session::singleHost() {
    std::vector<Host*> found;
    for (auto& h : hosts_) {
        if (!h.ready) {
            continue;
        }
        if (localComputer()) {
            found.push_back(&h);
            continue;
        }
        CustoviaComputers computers;
        if (getComputerList(handle_, h.key.c_str(), &computers) == 1 &&
            computers.count(options_.computer) != 0) {
            found.push_back(&h);
        }
    }
    if (found.empty()) {
        if (localComputer()) {
            throw Failure("no answer from " + joinKeys(hosts_));
        }
        throw Failure(
            statusMessage(-302, "computer \"" + options_.computer + "\" on " + joinKeys(hosts_)));
    }
    if (found.size() > 1) {
        throw Failure("this command goes to one host; several answer (" + found[0]->key + ", " +
                          found[1]->key + "); choose one with --host",
                      kExitUsage);
    }
    return *found.front();
}

}  // namespace cli
}  // namespace custovia
