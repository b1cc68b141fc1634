#pragma once
// Matching of fault rules against requests.

#include "sim/Simulator.h"

#include <string>

namespace custovia {
namespace sim {

// False with a reason when the rule cannot work (status, delay, regex).
bool checkFaultRule(const FaultRule& rule, std::string* error);

// True when `rule` applies to a request of `host` with this method and
// decoded path; `apiRoot` is the interface root without slashes.
bool ruleMatches(const FaultRule& rule, int host, const std::string& method,
                 const std::string& path, const std::string& apiRoot);

}  // namespace sim
}  // namespace custovia
