#include "common/Snapshot.h"

#include <chrono>
#include <utility>

namespace custovia {
namespace tools {

namespace {

// The computers of a host in the order shown: the service's own first, then
// the others by address, without the own one listed again under its address.
std::vector<std::string> computerOrder(const CustoviaComputers& computers) {
    std::vector<std::string> order;
    std::string localIp;
    auto local = computers.find("localhost");
    if (local != computers.end()) {
        localIp = local->second.ip;
        order.push_back("localhost");
    }
    for (const auto& c : computers) {
        if (c.first != "localhost" && (localIp.empty() || c.second.ip != localIp)) {
            order.push_back(c.first);
        }
    }
    return order;
}

void readConfig(CustoviaHandle handle, const char* host, const char* computer, const char* id,
                DeviceView& v) {
    v.hasConfig = getDeviceConfig(handle, host, computer, id, &v.config) == 1;
    if (v.hasConfig) {
        v.modelName = v.config.name;
    }
}

ComputerView computerView(CustoviaHandle handle, const std::string& host, const std::string& id,
                          const custovia::Computer& computer) {
    ComputerView cv;
    cv.id = id;
    cv.computer = computer;
    CustoviaDevices devices;
    CustoviaRegressives counters;
    if (getDeviceList(handle, host.c_str(), id.c_str(), &devices) == 1) {
        getRegressiveCounterList(handle, host.c_str(), id.c_str(), &counters);
    }
    // Reserved up front: the views' copies are deep (strings, the model
    // description), and a growing vector would copy every one it holds.
    cv.devices.reserve(devices.size());
    for (const auto& d : devices) {
        DeviceView dv;
        dv.device = d.second;
        readConfig(handle, host.c_str(), id.c_str(), d.first.c_str(), dv);
        auto c = counters.find(d.first);
        if (c != counters.end()) {
            dv.countdown = c->second;
            dv.hasCountdown = true;
        }
        cv.devices.push_back(std::move(dv));
    }
    return cv;
}

HostView hostView(CustoviaHandle handle, const HostRef& ref, const std::string& selected) {
    HostView hv;
    hv.url = ref.url;
    hv.key = ref.key;
    hv.status = ref.status;
    hv.staleAfterMs = staleAfterMs(ref.refreshMs);
    const char* key = ref.key.c_str();
    hv.connected = isConnected(handle, key) == 1;
    hv.hasHealth = getHostHealth(handle, key, &hv.health) == 1;
    CustoviaComputers computers;
    int32_t status = getComputerList(handle, key, &computers);
    hv.ready = status >= 0 && !computers.empty();
    if (!hv.ready && status < 0) {
        hv.status = status;
    }
    if (!hv.ready) {
        return hv;
    }
    hv.hasOwn = getVersion(handle, key, nullptr, &hv.own) == 1;
    hv.computerCount = getComputerCount(handle, key, nullptr);
    hv.deviceCount = getDeviceCount(handle, key, nullptr, nullptr);
    std::string localIp = computers.count("localhost") ? computers["localhost"].ip : "";
    std::vector<std::string> order = computerOrder(computers);
    hv.computers.reserve(order.size());
    for (const auto& id : order) {
        bool isLocal = id == "localhost";
        if (!selected.empty() && selected != id && !(isLocal && selected == localIp)) {
            continue;
        }
        hv.computers.push_back(computerView(handle, ref.key, id, computers[id]));
    }
    return hv;
}

}  // namespace

HostState hostState(const HostView& h, int64_t now) {
    if (h.hasHealth && !h.health.reachable) {
        return HostState::Unreachable;
    }
    if (!h.ready) {
        return HostState::NoData;
    }
    if (h.hasHealth &&
        (h.health.consecutiveFailures > 0 ||
         (h.health.lastSuccessMs > 0 && now - h.health.lastSuccessMs > h.staleAfterMs))) {
        return HostState::Stale;
    }
    return HostState::Fresh;
}

const char* hostStateWords(HostState state) {
    switch (state) {
        case HostState::Stale:
            return "Stale";
        case HostState::Unreachable:
            return "Unreachable";
        case HostState::NoData:
            return "No data";
        case HostState::Fresh:
            break;
    }
    return "Fresh";
}

const char* hostStateToken(HostState state) {
    switch (state) {
        case HostState::Stale:
            return "stale";
        case HostState::Unreachable:
            return "unreachable";
        case HostState::NoData:
            return "noData";
        case HostState::Fresh:
            break;
    }
    return "fresh";
}

std::string hostStateReason(const HostView& h, int64_t now) {
    if (hostState(h, now) == HostState::Fresh || !h.hasHealth) {
        return std::string();
    }
    const CustoviaHostHealth& x = h.health;
    std::string text =
        x.lastSuccessMs > 0
            ? "last good refresh " + std::to_string((now - x.lastSuccessMs) / 1000) + " s ago"
            : std::string("no good refresh yet");
    if (x.consecutiveFailures > 0) {
        text += ", " + std::to_string(x.consecutiveFailures) + " failed in a row";
    }
    if (x.lastErrorCode != 0) {
        text += " (status " + std::to_string(x.lastErrorCode) +
                (x.lastError.empty() ? "" : ": " + x.lastError) + ")";
    }
    return text;
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

Snapshot takeSnapshot(CustoviaHandle handle, const std::vector<HostRef>& hosts,
                      const std::string& computer) {
    Snapshot s;
    s.timeMs = nowMs();
    s.hosts.reserve(hosts.size());
    for (const auto& ref : hosts) {
        s.hosts.push_back(hostView(handle, ref, computer));
    }
    return s;
}

int32_t readDevice(CustoviaHandle handle, const std::string& host, const char* computer,
                   const std::string& id, DeviceView* out) {
    DeviceView v;
    int32_t status = getDevice(handle, host.c_str(), computer, id.c_str(), &v.device);
    if (status != 1) {
        return status;
    }
    readConfig(handle, host.c_str(), computer, id.c_str(), v);
    v.hasCountdown =
        getRegressiveCounter(handle, host.c_str(), computer, id.c_str(), &v.countdown) == 1;
    *out = v;
    return status;
}

}  // namespace tools
}  // namespace custovia
