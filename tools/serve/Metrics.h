// The Prometheus text exposition of what the gateway sees: one family per
// measurement, named and scaled by Prometheus conventions (ratios 0..1,
// volts, watts, seconds), units labelled by host, computer and device.
// A unit only appears while its host's data hold it and the host is up.
// Host series come from the library's health record of each host.
#pragma once

#include <string>
#include <vector>

#include "common/Snapshot.h"

namespace custovia {
namespace serve {

std::string metricsText(const tools::Snapshot& snapshot);

// Whether a host's units are exported: its refreshes reach the service and
// its data are there (possibly stale after a failed cycle or two).
bool hostUp(const tools::HostView& host, int64_t nowMs);

// A label value with backslash, double quote and line feed escaped.
std::string escapeLabel(const std::string& value);

}  // namespace serve
}  // namespace custovia
