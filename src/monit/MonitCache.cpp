// The refresh cycle that fills a client's cache, and the reads that answer
// from it.
#include <string>
#include <vector>

#include "monit/MonitChecks.h"
#include "monit/MonitClient.h"
#include "monit/MonitClientLock.h"
#include "tkl/Exception.h"

namespace custovia {

using detail::checkDevice;
using detail::deviceNotFound;
using detail::notFound;

namespace {

[[noreturn]] void devicesInfoNotFound(const char* computer) {
    notFound(std::string("Error: devices info for <") + (computer != nullptr ? computer : "empty") +
             "> not found.");
}

// Runs one step of the cycle. A failure is already in the error log of its
// request; the cache keeps what it had and the cycle goes on.
template <typename Step>
void guarded(Step step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

// --- Refresh cycle -----------------------------------------------------------------

bool MonitClient::runCycle(tkl::Timer* timer) {
    // Checked between requests: a stop aborts the transfer in flight, and the
    // cycle must not start the next one; nor when the caller's time is up.
    auto stopping = [this, timer] { return cycleCut(timer); };

    if (stopping()) {
        return false;
    }
    if (apiUri().empty()) {
        guarded([&] { getApiUri(); });
        if (apiUri().empty()) {
            return false;
        }
    }

    bool empty;
    {
        CacheLock lock(*this);
        empty = computers_.empty();
    }
    if (empty && !stopping()) {
        guarded([&] {
            Computer own = getVersion(kLocalhost);
            CacheLock lock(*this);
            computers_[kLocalhost].computer.assign(own);
        });
    }

    if (stopping()) {
        return false;
    }
    guarded([&] { getComputerList(); });
    std::vector<std::string> keys;
    {
        CacheLock lock(*this);
        for (const auto& entry : computers_) {
            keys.push_back(entry.first);
        }
    }
    for (const std::string& key : keys) {
        if (stopping()) {
            return false;
        }
        guarded([&] {
            Computer record = getVersion(key);
            CacheLock lock(*this);
            computers_[key].computer.assign(record);
        });
    }

    if (stopping()) {
        return false;
    }
    guarded([&] {
        DeviceMap devices = getDeviceList(kLocalhost);
        CacheLock lock(*this);
        computers_[kLocalhost].devices = std::move(devices);
    });

    std::vector<std::string> ids;
    {
        CacheLock lock(*this);
        auto local = computers_.find(kLocalhost);
        if (local != computers_.end()) {
            for (const auto& device : local->second.devices) {
                ids.push_back(device.first);
            }
        }
    }
    for (const std::string& id : ids) {
        if (stopping()) {
            return false;
        }
        guarded([&] { getDeviceDetail(kLocalhost, id); });

        // The model description changes only with the family and model
        // numbers; it is asked for again only then.
        bool current = false;
        {
            CacheLock lock(*this);
            MonitClientComputer& entry = computers_[kLocalhost];
            auto device = entry.devices.find(id);
            auto config = entry.deviceConfigs.find(id);
            current = device != entry.devices.end() && config != entry.deviceConfigs.end() &&
                      config->second.family == device->second.family &&
                      config->second.model == device->second.model;
        }
        if (!current && !stopping()) {
            guarded([&] { getDeviceConfig(kLocalhost, id); });
        }

        if (stopping()) {
            return false;
        }
        guarded([&] {
            DeviceMailCfg mail = getMailConfig(kLocalhost, id);
            CacheLock lock(*this);
            computers_[kLocalhost].mailConfigs[id].assign(mail);
        });
        if (stopping()) {
            return false;
        }
        guarded([&] {
            DeviceDialCfg dial = getDialerConfig(kLocalhost, id);
            CacheLock lock(*this);
            computers_[kLocalhost].dialConfigs[id].assign(dial);
        });
        if (stopping()) {
            return false;
        }
        guarded([&] {
            DeviceShutCfg shut = getShutdownConfig(kLocalhost, id);
            CacheLock lock(*this);
            computers_[kLocalhost].shutConfigs[id].assign(shut);
        });
    }

    if (stopping()) {
        return false;
    }
    guarded([&] {
        NotifyConfig notify = getNotifyConfig(kLocalhost);
        CacheLock lock(*this);
        computers_[kLocalhost].notifyConfig.assign(notify);
    });
    return true;
}

// --- Cached reads --------------------------------------------------------------------

ComputerMap MonitClient::getComputers() {
    CacheLock lock(*this);
    ComputerMap answer;
    for (const auto& entry : computers_) {
        answer.emplace(entry.first, entry.second.computer);
    }
    return answer;
}

Computer MonitClient::getComputer(const char* computer) {
    CacheLock lock(*this);
    try {
        return this->computer(computer).computer;
    } catch (const tkl::NotFoundException&) {
        devicesInfoNotFound(computer);
    }
}

IdList MonitClient::getDeviceIdList(const char* computer) {
    CacheLock lock(*this);
    try {
        IdList ids;
        for (const auto& device : this->computer(computer).devices) {
            ids.push_back(device.first);
        }
        return ids;
    } catch (const tkl::NotFoundException&) {
        devicesInfoNotFound(computer);
    }
}

DeviceMap MonitClient::getDevices(const char* computer) {
    CacheLock lock(*this);
    try {
        return this->computer(computer).devices;
    } catch (const tkl::NotFoundException&) {
        devicesInfoNotFound(computer);
    }
}

RegressiveMap MonitClient::getRegressiveList(const char* computer) {
    CacheLock lock(*this);
    try {
        return this->computer(computer).regressives;
    } catch (const tkl::NotFoundException&) {
        devicesInfoNotFound(computer);
    }
}

Device MonitClient::getDevice(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    try {
        return this->computer(computer).devices.at(device);
    } catch (const tkl::NotFoundException&) {
    } catch (const std::out_of_range&) {
    }
    deviceNotFound(device);
}

DeviceConfig MonitClient::getDeviceConfig(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    try {
        return this->computer(computer).deviceConfigs.at(device);
    } catch (const tkl::NotFoundException&) {
    } catch (const std::out_of_range&) {
    }
    deviceNotFound(device);
}

Regressive MonitClient::getRegressive(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    try {
        return this->computer(computer).regressives[device];
    } catch (const tkl::NotFoundException&) {
        deviceNotFound(device);
    }
}

DeviceMailCfg MonitClient::getMailConfig(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    try {
        return this->computer(computer).mailConfigs[device];
    } catch (const tkl::NotFoundException&) {
        notFound("Error: Getting mail configuration");
    }
}

DeviceDialCfg MonitClient::getDialerConfig(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    return this->computer(computer).dialConfigs[device];
}

DeviceShutCfg MonitClient::getShutdownConfig(const char* computer, const char* device) {
    checkDevice(device);
    CacheLock lock(*this);
    return this->computer(computer).shutConfigs[device];
}

CusConfig MonitClient::getCusConfig(const char* computer) {
    CacheLock lock(*this);
    return this->computer(computer).cusConfig;
}

NotifyConfig MonitClient::getNotifyConfig(const char* computer) {
    CacheLock lock(*this);
    return this->computer(computer).notifyConfig;
}

}  // namespace custovia
