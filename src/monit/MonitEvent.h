// custovia::MonitEvent: one change a refresh cycle saw in a host's data, and
// custovia::MonitHealth: how the host's refresh cycles have gone so far.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace custovia {

enum class MonitEventKind : int32_t {
    DeviceAppeared = 1,
    DeviceRemoved,
    FlagRaised,
    FlagCleared,
    FailureRaised,
    FailureCleared,
    CountdownStarted,
    CountdownChanged,
    CountdownStopped,
    HostUnreachable,
    HostReachable,
    SettingsChanged
};

// "deviceAppeared", "flagRaised", ...
const char* monitEventKindName(MonitEventKind kind);

struct MonitEvent {
    int64_t timeMs = 0;  // when the cycle that saw it ended
    MonitEventKind kind = MonitEventKind::DeviceAppeared;
    std::string computer;  // "localhost" for the service's own computer
    std::string device;    // empty for host events
    std::string name;      // flag, failure or settings member
    std::string oldValue;
    std::string newValue;
    std::string text;  // a sentence for people
};

// Receives the events of one cycle, in the order they were found, on the
// thread that ran the cycle. It must not call back into the client.
using MonitEventSink = std::function<void(std::vector<MonitEvent>&&)>;

struct MonitHealth {
    bool reachable = true;
    int64_t startedMs = 0;
    int64_t lastSuccessMs = 0;
    int64_t lastFailureMs = 0;
    int32_t lastCycleMs = 0;
    int32_t consecutiveFailures = 0;
    int32_t lastErrorCode = 0;
    std::string lastError;
    int64_t cycles = 0;
    int64_t requests = 0;
    int64_t connections = 0;
};

}  // namespace custovia
