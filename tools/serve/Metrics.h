// The Prometheus text exposition of what the gateway sees: one family per
// measurement, named and scaled by Prometheus conventions (ratios 0..1,
// volts, watts, seconds), units labelled by host, computer and device.
// A unit only appears while its host's data hold it and the host is up.
// Host series come from the library's health record of each host.
//
// MetricsWriter makes the text in parts of some tens of KiB, family after
// family, so a scrape of thousands of units is sent while it is written and
// never held whole; metricsText() joins the parts.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "common/Snapshot.h"

namespace custovia {
namespace serve {

class MetricsWriter {
public:
    explicit MetricsWriter(std::shared_ptr<const tools::Snapshot> snapshot);
    MetricsWriter(const MetricsWriter&) = delete;
    MetricsWriter& operator=(const MetricsWriter&) = delete;

    // Appends the next part of the text to `out`, about `partSize` bytes
    // (more when one unit's series are longer); false when the text is
    // complete and nothing was appended.
    bool next(std::string& out, std::size_t partSize = 64 * 1024);

private:
    // A unit with its labels, escaped once for all its series.
    struct Unit {
        const tools::HostView* host;
        const tools::DeviceView* device;
        std::string labels;  // host="...",computer="...",device="..."
    };

    std::shared_ptr<const tools::Snapshot> snapshot_;
    std::vector<std::string> hostLabels_;  // host="..." of each host
    std::vector<Unit> units_;              // the units of the hosts that are up
    std::size_t family_ = 0;               // the family being written
    std::size_t item_ = 0;                 // its next host or unit
    bool declared_ = false;                // its HELP and TYPE lines are out
};

std::string metricsText(const tools::Snapshot& snapshot);

// Whether a host's units are exported: its refreshes reach the service and
// its data are there (possibly stale after a failed cycle or two).
bool hostUp(const tools::HostView& host, int64_t nowMs);

// A label value with backslash, double quote and line feed escaped.
std::string escapeLabel(const std::string& value);

}  // namespace serve
}  // namespace custovia
