// The publisher's Source read from a library handle through the shared tool
// library: the units of each host's own computer in the JSON form of the
// gateway's API, and the host's health from the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Snapshot.h"
#include "mqtt/Publisher.h"

namespace custovia {
namespace mqtt {

// `hosts` lists the hosts to publish; `reachable` tells a host's health by
// its key (getHostHealth's `reachable`). The handle must outlive the
// publisher that uses the source.
Source snapshotSource(CustoviaHandle handle, std::vector<tools::HostRef> hosts,
                      std::function<bool(const std::string& host)> reachable);

}  // namespace mqtt
}  // namespace custovia
