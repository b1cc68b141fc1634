#include "mqtt/SnapshotSource.h"

#include "common/SnapshotJson.h"

namespace custovia {
namespace mqtt {

Source snapshotSource(CustoviaHandle handle, std::vector<tools::HostRef> hosts,
                      std::function<bool(const std::string& host)> reachable) {
    Source s;
    s.hosts = [handle, hosts, reachable] {
        tools::Snapshot snapshot = tools::takeSnapshot(handle, hosts, "localhost");
        std::vector<HostState> out;
        for (const tools::HostView& h : snapshot.hosts) {
            HostState hs;
            hs.host = h.key;
            hs.reachable = reachable(h.key);
            for (const tools::ComputerView& c : h.computers) {
                for (const tools::DeviceView& d : c.devices) {
                    hs.units.push_back(
                        UnitState{d.device.id, tools::deviceJson(d, false, snapshot.timeMs)});
                }
            }
            out.push_back(std::move(hs));
        }
        return out;
    };
    s.unit = [handle](const std::string& host, const std::string& device, UnitState* out) {
        tools::DeviceView v;
        if (tools::readDevice(handle, host, nullptr, device, &v) != 1) {
            return false;
        }
        out->device = device;
        out->json = tools::deviceJson(v, false, tools::nowMs());
        return true;
    };
    return s;
}

}  // namespace mqtt
}  // namespace custovia
