// What the tools see of the connected hosts at one moment: every host with
// its computers and their units, read from the library's cache in one pass.
// `custovia` prints it and `custovia-serve` serves it; both take it from
// takeSnapshot() and turn it into JSON with SnapshotJson.h, so the tool's
// --json and the gateway's answers are the same text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/custovia.h"
#include "client/custovia_ext.h"

namespace custovia {
namespace tools {

// The library's default period between a host's refresh cycles.
constexpr int64_t kDefaultRefreshMs = 3000;

// A host's data count as stale when the last good refresh is older than
// three refresh periods and a second: 10 s at the default 3 s.
constexpr int64_t staleAfterMs(int64_t refreshMs) {
    return 3 * refreshMs + 1000;
}

// A host the snapshot reads: the address it was connected with, the key the
// library files it under, and the status of the last attempt to get its data
// (0 when none failed), shown for a host without data.
struct HostRef {
    std::string url;
    std::string key;
    int32_t status = 0;
    int64_t refreshMs = kDefaultRefreshMs;  // the period the host refreshes at
};

// One unit with its model description and countdown where known.
struct DeviceView {
    custovia::Device device;
    std::string modelName;  // empty until the model description is known
    custovia::DeviceConfig config;
    bool hasConfig = false;
    custovia::Regressive countdown;
    bool hasCountdown = false;
};

struct ComputerView {
    std::string id;  // "localhost" or the computer's address
    custovia::Computer computer;
    std::vector<DeviceView> devices;
};

struct HostView {
    std::string url;
    std::string key;
    bool connected = false;  // the library has the host
    bool ready = false;      // the host's data hold at least one computer
    int32_t status = 0;      // why not ready: the failed read's or the caller's status
    custovia::Computer own;  // the service's own computer (versions)
    bool hasOwn = false;
    int32_t computerCount = -1;           // every computer of the host; -1 when not ready
    int32_t deviceCount = -1;             // units of the service's own computer; -1 when not ready
    std::vector<ComputerView> computers;  // the selected ones, the service's own first
    CustoviaHostHealth health;            // the library's record of the host's refreshes
    bool hasHealth = false;
    int64_t staleAfterMs = tools::staleAfterMs(kDefaultRefreshMs);  // older data are stale
};

// How current a host's data are.
enum class HostState {
    Fresh,        // the last refresh reached the service
    Stale,        // data are there, but the last refresh failed or is long ago
    Unreachable,  // refreshes in a row reached nothing
    NoData,       // nothing received yet
};

HostState hostState(const HostView& host, int64_t nowMs);
// "Fresh", "Stale", "Unreachable", "No data".
const char* hostStateWords(HostState state);
// Stable token for scripts: "fresh", "stale", "unreachable", "noData".
const char* hostStateToken(HostState state);
// For people: "no good refresh for 45s, 3 failed in a row (transfer failed:
// ...)"; empty for a fresh host.
std::string hostStateReason(const HostView& host, int64_t nowMs);

struct Snapshot {
    int64_t timeMs = 0;  // when it was taken, milliseconds since 1970 (ages count from here)
    std::vector<HostView> hosts;
};

// Reads every host's data for `computer` ("localhost", a remote computer's
// address, or empty for every computer). A service that lists its own
// computer under its address as well shows it once, as "localhost". Reads
// only the library's cache: never waits, never sends.
Snapshot takeSnapshot(CustoviaHandle handle, const std::vector<HostRef>& hosts,
                      const std::string& computer = std::string());

// One unit of `computer` (null: the service's own) with its model
// description and countdown. Returns the status of the device read: 1, or
// -1 when the computer's data do not hold it, -302 for an unknown host, ...
int32_t readDevice(CustoviaHandle handle, const std::string& host, const char* computer,
                   const std::string& id, DeviceView* out);

// Milliseconds since 1970 now.
int64_t nowMs();

}  // namespace tools
}  // namespace custovia
