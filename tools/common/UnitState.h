// The state of a unit in words and as a token, the names of its flags and of
// its model's capabilities: what every tool shows of a unit, the same way.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "client/custovia.h"

namespace custovia {
namespace tools {

// The overall state of a unit, most pressing first.
enum class UnitState {
    NotConnected,
    ShuttingDown,
    Overload,
    Fault,
    LowBattery,
    OnBattery,
    StandBy,
    SelfTest,
    Starting,
    OnLine,
};

UnitState unitState(const custovia::Device& device);
// "On line", "On battery", ...
const char* stateWords(UnitState state);
// Stable token for scripts: "onLine", "onBattery", ...
const char* stateToken(UnitState state);

// Name and meaning of each status flag, failure flag and capability.
std::vector<std::pair<const char*, bool>> statusFlags(const custovia::DeviceFlags& f);
std::vector<std::pair<const char*, bool>> failureFlags(const custovia::DeviceFailFlags& f);
std::vector<std::pair<const char*, bool>> capabilities(const custovia::DeviceCapabilities& c);
// Output load in percent of the nominal power; negative when unknown.
double loadPercent(const custovia::DeviceVars& vars);

// Words for a status or failure flag name ("opBattery" -> "on battery").
const char* flagWords(const char* name);

}  // namespace tools
}  // namespace custovia
