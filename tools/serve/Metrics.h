// The Prometheus text exposition of what the gateway sees: one family per
// measurement, named and scaled by Prometheus conventions (ratios 0..1,
// volts, watts, seconds), units labelled by host, computer and device.
// A unit only appears while its host's data hold it and the host is up.
#pragma once

#include <string>
#include <vector>

#include "common/Snapshot.h"
#include "serve/Gateway.h"

namespace custovia {
namespace serve {

std::string metricsText(const tools::Snapshot& snapshot, const std::vector<HostState>& hosts);

// A label value with backslash, double quote and line feed escaped.
std::string escapeLabel(const std::string& value);

}  // namespace serve
}  // namespace custovia
