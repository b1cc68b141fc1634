// The exported functions: argument checks, one manager operation, the
// hand-over of its result, and the translation of every exception into a
// status. Nothing leaves these functions as an exception.
#include <exception>
#include <memory>
#include <utility>

#include "client/ExportFrame.h"
#include "client/MultiMonitClient.h"
#include "client/custovia.h"
#include "tkl/Exception.h"

using namespace custovia;

namespace {

using detail::guarded;
using detail::kInvalidArgument;
using detail::kInvalidArguments;
using detail::manager;
using detail::require;

// Appends names to the caller's vector (a private one when null) and returns
// the vector's size.
template <typename Keys>
int32_t appendNames(CustoviaNames* names, const Keys& keys) {
    CustoviaNames own;
    CustoviaNames& target = names ? *names : own;
    for (const auto& key : keys) {
        target.push_back(key);
    }
    return static_cast<int32_t>(target.size());
}

template <typename Map>
std::vector<std::string> keysOf(const Map& map) {
    std::vector<std::string> keys;
    keys.reserve(map.size());
    for (const auto& item : map) {
        keys.push_back(item.first);
    }
    return keys;
}

// Runs a manager operation and hands its record to the receiver's assign().
template <typename Receiver, typename Operation>
int32_t toReceiver(CustoviaHandle handle, Receiver* out, Operation&& operation) {
    return guarded([&] {
        MultiMonitClient& m = manager(handle, kInvalidArguments);
        require(out != nullptr, kInvalidArguments);
        out->assign(operation(m));
        return 1;
    });
}

// Runs a manager operation and replaces the caller's container with its result.
template <typename Container, typename Operation>
int32_t toContainer(CustoviaHandle handle, Container* out, Operation&& operation) {
    return guarded([&] {
        MultiMonitClient& m = manager(handle, kInvalidArguments);
        require(out != nullptr, kInvalidArguments);
        *out = operation(m);
        return 1;
    });
}

// Runs a command; a settings record passed by pointer must be present.
template <typename Operation>
int32_t command(CustoviaHandle handle, Operation&& operation, bool recordPresent = true) {
    return guarded([&] {
        MultiMonitClient& m = manager(handle, kInvalidArguments);
        require(recordPresent, kInvalidArguments);
        operation(m);
        return 1;
    });
}

}  // namespace

CustoviaHandle CUSTOVIA_CALL openCli() {
    try {
        std::unique_ptr<MultiMonitClient> client(new MultiMonitClient());
        detail::addLiveHandle(client.get());
        return client.release();
    } catch (...) {
        return nullptr;
    }
}

void CUSTOVIA_CALL closeCli(CustoviaHandle handle) {
    // A handle that is not live (never returned, or closed already) is left alone.
    try {
        if (handle != nullptr && detail::takeLiveHandle(handle)) {
            delete static_cast<MultiMonitClient*>(handle);
        }
    } catch (...) {
    }
}

int32_t CUSTOVIA_CALL connectCli(CustoviaHandle handle, const char* url) {
    return guarded([&] {
        manager(handle, kInvalidArgument).connect(url);
        return 1;
    });
}

int32_t CUSTOVIA_CALL disconnectCli(CustoviaHandle handle, const char* host) {
    return guarded([&] {
        manager(handle, kInvalidArgument).disconnect(host);
        return 1;
    });
}

int32_t CUSTOVIA_CALL isConnected(CustoviaHandle handle, const char* host) {
    return guarded([&] { return manager(handle, kInvalidArgument).isConnected(host) ? 1 : 0; });
}

int32_t CUSTOVIA_CALL getLogger(CustoviaHandle handle, const char* name, tkl::Logger** out) {
    return guarded([&] {
        MultiMonitClient& m = manager(handle, kInvalidArguments);
        require(name != nullptr && out != nullptr, kInvalidArguments);
        *out = m.getLogger(name);
        return 1;
    });
}

int32_t CUSTOVIA_CALL getHostCount(CustoviaHandle handle, CustoviaNames* names) {
    return guarded(
        [&] { return appendNames(names, manager(handle, kInvalidArgument).getHostList()); });
}

int32_t CUSTOVIA_CALL getComputerCount(CustoviaHandle handle, const char* host,
                                       CustoviaNames* names) {
    return guarded([&] {
        return appendNames(names, keysOf(manager(handle, kInvalidArgument).getComputerList(host)));
    });
}

int32_t CUSTOVIA_CALL getComputerList(CustoviaHandle handle, const char* host,
                                      CustoviaComputers* computers) {
    return toContainer(handle, computers,
                       [&](MultiMonitClient& m) { return m.getComputerList(host); });
}

int32_t CUSTOVIA_CALL getVersion(CustoviaHandle handle, const char* host, const char* computer,
                                 custovia::Computer* out) {
    return toReceiver(handle, out,
                      [&](MultiMonitClient& m) { return m.getComputer(host, computer); });
}

int32_t CUSTOVIA_CALL getDeviceCount(CustoviaHandle handle, const char* host, const char* computer,
                                     CustoviaNames* names) {
    return guarded([&] {
        return appendNames(names,
                           keysOf(manager(handle, kInvalidArgument).getDeviceList(host, computer)));
    });
}

int32_t CUSTOVIA_CALL getDevice(CustoviaHandle handle, const char* host, const char* computer,
                                const char* device, custovia::Device* out) {
    return toReceiver(handle, out, [&](MultiMonitClient& m) {
        // A device that is not in the list raises std::out_of_range: -1.
        return m.getDeviceList(host, computer).at(device ? device : "");
    });
}

int32_t CUSTOVIA_CALL getDeviceList(CustoviaHandle handle, const char* host, const char* computer,
                                    CustoviaDevices* devices) {
    return toContainer(handle, devices,
                       [&](MultiMonitClient& m) { return m.getDeviceList(host, computer); });
}

int32_t CUSTOVIA_CALL getDeviceConfig(CustoviaHandle handle, const char* host, const char* computer,
                                      const char* device, custovia::DeviceConfig* out) {
    return toReceiver(handle, out, [&](MultiMonitClient& m) {
        return m.getDeviceConfig(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL getDeviceConfigByModel(CustoviaHandle handle, const char* host,
                                             const char* computer, int32_t family, int32_t model,
                                             custovia::DeviceConfig* out) {
    return toReceiver(handle, out, [&](MultiMonitClient& m) {
        return m.getDeviceConfigByModel(host, computer, family, model);
    });
}

int32_t CUSTOVIA_CALL deleteDevice(CustoviaHandle handle, const char* host, const char* computer,
                                   const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.deleteDevice(host, computer, device); });
}

int32_t CUSTOVIA_CALL changeUserDevice(CustoviaHandle handle, const char* host,
                                       const char* computer, const char* device,
                                       const char* userName, const char* userProd) {
    return command(handle, [&](MultiMonitClient& m) {
        m.changeUser(host, computer, device, userName, userProd);
    });
}

int32_t CUSTOVIA_CALL changeColorDevice(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device, int32_t red,
                                        int32_t green, int32_t blue, bool random) {
    return command(handle, [&](MultiMonitClient& m) {
        m.changeColor(host, computer, device, red, green, blue, random);
    });
}

int32_t CUSTOVIA_CALL manualDevShutdown(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.manualShutdown(host, computer, device); });
}

int32_t CUSTOVIA_CALL cancelDevShutdown(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.cancelShutdown(host, computer, device); });
}

int32_t CUSTOVIA_CALL manualDevDischarge(CustoviaHandle handle, const char* host,
                                         const char* computer, const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.manualDischarge(host, computer, device); });
}

int32_t CUSTOVIA_CALL deviceSetLineSense(CustoviaHandle handle, const char* host,
                                         const char* computer, const char* device, int32_t value) {
    return command(handle,
                   [&](MultiMonitClient& m) { m.setLineSense(host, computer, device, value); });
}

int32_t CUSTOVIA_CALL deviceSetICBattery(CustoviaHandle handle, const char* host,
                                         const char* computer, const char* device, int32_t value) {
    return command(handle,
                   [&](MultiMonitClient& m) { m.setICBattery(host, computer, device, value); });
}

int32_t CUSTOVIA_CALL deviceLog(CustoviaHandle handle, const char* host, const char* computer,
                                const char* device, CustoviaLog* log) {
    return toContainer(handle, log,
                       [&](MultiMonitClient& m) { return m.getDeviceLog(host, computer, device); });
}

int32_t CUSTOVIA_CALL deviceLogHour(CustoviaHandle handle, const char* host, const char* computer,
                                    const char* device, CustoviaLog* log) {
    return toContainer(handle, log, [&](MultiMonitClient& m) {
        return m.getDeviceLogHour(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL deviceLogDay(CustoviaHandle handle, const char* host, const char* computer,
                                   const char* device, CustoviaLog* log) {
    return toContainer(handle, log, [&](MultiMonitClient& m) {
        return m.getDeviceLogDay(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL deviceLogMonth(CustoviaHandle handle, const char* host, const char* computer,
                                     const char* device, CustoviaLog* log) {
    return toContainer(handle, log, [&](MultiMonitClient& m) {
        return m.getDeviceLogMonth(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL updDevMailConfig(CustoviaHandle handle, const char* host,
                                       const char* computer, const char* device,
                                       const custovia::DeviceMailCfg* config) {
    return command(
        handle, [&](MultiMonitClient& m) { m.updMailConfig(host, computer, device, *config); },
        config != nullptr);
}

int32_t CUSTOVIA_CALL manualDevMailTest(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.mailTest(host, computer, device); });
}

int32_t CUSTOVIA_CALL cancelDevMailTest(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device) {
    return command(handle, [&](MultiMonitClient& m) { m.cancelMailTest(host, computer, device); });
}

int32_t CUSTOVIA_CALL updDevDialerConfig(CustoviaHandle handle, const char* host,
                                         const char* computer, const char* device,
                                         const custovia::DeviceDialCfg* config) {
    return command(
        handle, [&](MultiMonitClient& m) { m.updDialerConfig(host, computer, device, *config); },
        config != nullptr);
}

int32_t CUSTOVIA_CALL updDevShutdownConfig(CustoviaHandle handle, const char* host,
                                           const char* computer, const char* device,
                                           const custovia::DeviceShutCfg* config) {
    return command(
        handle, [&](MultiMonitClient& m) { m.updShutdownConfig(host, computer, device, *config); },
        config != nullptr);
}

int32_t CUSTOVIA_CALL devMailConfig(CustoviaHandle handle, const char* host, const char* computer,
                                    const char* device, custovia::DeviceMailCfg* out) {
    return toReceiver(handle, out,
                      [&](MultiMonitClient& m) { return m.getMailConfig(host, computer, device); });
}

int32_t CUSTOVIA_CALL devDialerConfig(CustoviaHandle handle, const char* host, const char* computer,
                                      const char* device, custovia::DeviceDialCfg* out) {
    return toReceiver(handle, out, [&](MultiMonitClient& m) {
        return m.getDialerConfig(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL devShutdownConfig(CustoviaHandle handle, const char* host,
                                        const char* computer, const char* device,
                                        custovia::DeviceShutCfg* out) {
    return toReceiver(handle, out, [&](MultiMonitClient& m) {
        return m.getShutdownConfig(host, computer, device);
    });
}

int32_t CUSTOVIA_CALL updNotifyConfig(CustoviaHandle handle, const char* host, const char* computer,
                                      const custovia::NotifyConfig* config) {
    return command(
        handle, [&](MultiMonitClient& m) { m.updNotifyConfig(host, computer, *config); },
        config != nullptr);
}

int32_t CUSTOVIA_CALL notifyConfig(CustoviaHandle handle, const char* host, const char* computer,
                                   custovia::NotifyConfig* out) {
    return toReceiver(handle, out,
                      [&](MultiMonitClient& m) { return m.getNotifyConfig(host, computer); });
}

int32_t CUSTOVIA_CALL getRegressiveCounterList(CustoviaHandle handle, const char* host,
                                               const char* computer,
                                               CustoviaRegressives* counters) {
    return toContainer(handle, counters,
                       [&](MultiMonitClient& m) { return m.getRegressiveList(host, computer); });
}

int32_t CUSTOVIA_CALL getRegressiveCounter(CustoviaHandle handle, const char* host,
                                           const char* computer, const char* device,
                                           custovia::Regressive* out) {
    return toReceiver(handle, out,
                      [&](MultiMonitClient& m) { return m.getRegressive(host, computer, device); });
}
