#include "serve/Gateway.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "common/Status.h"
#include "tkl/Logger.h"

namespace custovia {
namespace serve {

namespace {

struct CommandName {
    DeviceCommand command;
    const char* name;
};

const CommandName kCommands[] = {
    {DeviceCommand::Shutdown, "shutdown"},
    {DeviceCommand::CancelShutdown, "cancel-shutdown"},
    {DeviceCommand::Discharge, "discharge"},
    {DeviceCommand::MailTest, "mail-test"},
};

}  // namespace

bool commandFromName(const std::string& name, DeviceCommand* out) {
    for (const auto& c : kCommands) {
        if (name == c.name) {
            *out = c.command;
            return true;
        }
    }
    return false;
}

const char* commandName(DeviceCommand command) {
    for (const auto& c : kCommands) {
        if (c.command == command) {
            return c.name;
        }
    }
    return "";
}

Gateway::Gateway(const Options& options, std::size_t eventCapacity)
    : options_(options), handle_(openCli()), events_(eventCapacity) {
    if (!handle_) {
        throw StartError("cannot open a library handle", kExitFailed);
    }
    if (!options_.logLevel.empty() || !options_.logFile.empty()) {
        tkl::Logger* logger = nullptr;
        if (getLogger(handle_, "monitclient", &logger) == 1 && logger) {
            // Without a level, a log file gets everything.
            tkl::LogOutput output =
                options_.logFile.empty() ? tkl::LogOutput::Console : tkl::LogOutput::File;
            tkl::LoggerOptions lo("monitclient", std::max(0, tools::logLevel(options_.logLevel)),
                                  static_cast<int32_t>(output));
            lo.fileName = options_.logFile;
            logger->setOptions(lo);
        }
    }
    if (!options_.caFile.empty()) {
        int32_t status = setTlsVerification(handle_, options_.caFile.c_str(), 1);
        if (status != 1) {
            closeCli(handle_);
            handle_ = nullptr;
            throw StartError(tools::statusMessage(status, "CA file " + options_.caFile),
                             kExitUsage);
        }
    }
    setUnreachableAfter(handle_, options_.unreachableAfter);
    setRefreshPeriod(handle_, nullptr,
                     static_cast<int32_t>(std::llround(options_.refreshSeconds * 1000)));
    setEventQueueLimit(handle_, static_cast<int32_t>(eventCapacity));
    int32_t id = addEventCallback(handle_, &Gateway::onEvent, this);
    if (id < 1) {
        closeCli(handle_);
        handle_ = nullptr;
        throw StartError(tools::statusMessage(id, "event feed"), kExitFailed);
    }
    callbackId_ = id;
}

Gateway::~Gateway() {
    stop();
}

void Gateway::connect() {
    std::unique_lock<std::shared_mutex> lock(lock_);
    for (const auto& url : options_.hosts) {
        int32_t status = connectCli(handle_, url.c_str());
        if (status != 1) {
            throw StartError(tools::statusMessage(status, "connecting " + url), kExitFailed);
        }
        tools::HostRef ref;
        ref.url = url;
        ref.key = tools::hostKey(url);
        ref.refreshMs = std::llround(options_.refreshSeconds * 1000);
        hosts_.push_back(ref);
    }
    connected_ = true;
}

void Gateway::stop() {
    events_.stop();
    std::unique_lock<std::shared_mutex> lock(lock_);
    if (!handle_) {
        return;
    }
    if (callbackId_ > 0) {
        removeEventCallback(handle_, callbackId_);
        callbackId_ = 0;
    }
    for (const auto& h : hosts_) {
        disconnectCli(handle_, h.key.c_str());
    }
    connected_ = false;
    closeCli(handle_);
    handle_ = nullptr;
}

void CUSTOVIA_CALL Gateway::onEvent(const CustoviaEvent* event, void* context) {
    if (event && context) {
        static_cast<Gateway*>(context)->events_.push(*event);
    }
}

tools::Snapshot Gateway::snapshot() const {
    std::shared_lock<std::shared_mutex> lock(lock_);
    if (!connected_) {
        tools::Snapshot empty;
        empty.timeMs = tools::nowMs();
        return empty;
    }
    return tools::takeSnapshot(handle_, hosts_);
}

std::shared_ptr<const tools::Snapshot> Gateway::sharedSnapshot(int64_t maxAgeMs) const {
    std::lock_guard<std::mutex> lock(sharedLock_);
    std::shared_ptr<const tools::Snapshot> s = shared_.lock();
    if (!s || tools::nowMs() - s->timeMs > maxAgeMs) {
        s = worker_.take();
        shared_ = s;
    }
    return s;
}

int32_t Gateway::command(DeviceCommand command, const std::string& host,
                         const std::string& computer, const std::string& device) {
    std::shared_lock<std::shared_mutex> lock(lock_);
    if (!connected_) {
        return -302;
    }
    const char* h = host.c_str();
    const char* c = computer.empty() || computer == "localhost" ? nullptr : computer.c_str();
    const char* d = device.c_str();
    switch (command) {
        case DeviceCommand::Shutdown:
            return manualDevShutdown(handle_, h, c, d);
        case DeviceCommand::CancelShutdown:
            return cancelDevShutdown(handle_, h, c, d);
        case DeviceCommand::Discharge:
            return manualDevDischarge(handle_, h, c, d);
        case DeviceCommand::MailTest:
            return manualDevMailTest(handle_, h, c, d);
    }
    return -202;
}

}  // namespace serve
}  // namespace custovia
