// Device commands and settings updates: each sends its request at once,
// holding the cache lock so that it never overlaps a cache update, and turns
// a failure into the error its caller expects.
#include <string>

#include "monit/MonitChecks.h"
#include "monit/MonitClient.h"
#include "monit/MonitClientLock.h"
#include "tkl/Exception.h"

namespace custovia {

using detail::checkDevice;
using detail::deviceNotFound;
using detail::notFound;

namespace {

std::string text(const char* value) {
    return value != nullptr ? value : "";
}

}  // namespace

void MonitClient::deleteDevice(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        delDevice(text(computer), device);
    } catch (...) {
        deviceNotFound(device);
    }
}

DeviceConfig MonitClient::getDeviceConfigByModel(const char* computer, int family, int model) {
    try {
        CacheLock lock(*this);
        return getDeviceConfig(text(computer), family, model);
    } catch (...) {
        notFound("Error: devices config for <" + (computer != nullptr ? text(computer) : "empty") +
                 "> not found.");
    }
}

void MonitClient::changeUser(const char* computer, const char* device, const char* userName,
                             const char* userProd) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putDeviceUser(text(computer), device, text(userName), text(userProd));
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::changeColor(const char* computer, const char* device, int red, int green,
                              int blue, bool random) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putChangeColor(text(computer), device, red, green, blue, random);
    } catch (...) {
        deviceNotFound(device);
    }
}

// The histories are not read from the service; the lock is taken all the
// same so that the call behaves like every other device operation.
LogEntryList MonitClient::getDeviceLog(const char* computer, const char* device) {
    (void)computer;
    checkDevice(device);
    CacheLock lock(*this);
    return LogEntryList();
}

LogEntryList MonitClient::getDeviceLogHour(const char* computer, const char* device) {
    return getDeviceLog(computer, device);
}

LogEntryList MonitClient::getDeviceLogDay(const char* computer, const char* device) {
    return getDeviceLog(computer, device);
}

LogEntryList MonitClient::getDeviceLogMonth(const char* computer, const char* device) {
    return getDeviceLog(computer, device);
}

void MonitClient::updMailConfig(const char* computer, const char* device,
                                const DeviceMailCfg& config) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        postMailConfig(text(computer), device, config);
    } catch (...) {
        notFound("Error: post <config/email> not found.");
    }
}

void MonitClient::mailTest(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putMailTest(text(computer), device);
    } catch (...) {
        notFound("Error: put <config/email/test> not found.");
    }
}

void MonitClient::cancelMailTest(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        delMailTest(text(computer), device);
    } catch (...) {
        notFound("Error: delete <config/email/cancel> not found.");
    }
}

void MonitClient::updDialerConfig(const char* computer, const char* device,
                                  const DeviceDialCfg& config) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        postDialerConfig(text(computer), device, config);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::updShutdownConfig(const char* computer, const char* device,
                                    const DeviceShutCfg& config) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        postShutdownConfig(text(computer), device, config);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::manualShutdown(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putDeviceShutdown(text(computer), device);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::cancelShutdown(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        delDeviceShutdown(text(computer), device);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::manualDischarge(const char* computer, const char* device) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putDeviceDischarge(text(computer), device);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::setLineSense(const char* computer, const char* device, int value) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putDeviceSetLineSense(text(computer), device, value);
    } catch (...) {
        deviceNotFound(device);
    }
}

void MonitClient::setICBattery(const char* computer, const char* device, int value) {
    checkDevice(device);
    try {
        CacheLock lock(*this);
        putDeviceSetICBattery(text(computer), device, value);
    } catch (...) {
        deviceNotFound(device);
    }
}

// The product and notification settings are sent on a best-effort basis:
// a failure is in the error log of the request and goes no further.
void MonitClient::updCusConfig(const char* computer, const CusConfig& config) {
    try {
        CacheLock lock(*this);
        postCustoviaConfig(text(computer), config);
    } catch (...) {
    }
}

void MonitClient::updNotifyConfig(const char* computer, const NotifyConfig& config) {
    try {
        CacheLock lock(*this);
        postNotifyConfig(text(computer), config);
    } catch (...) {
    }
}

}  // namespace custovia
