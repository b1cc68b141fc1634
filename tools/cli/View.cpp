#include "cli/View.h"

#include "cli/Terminal.h"

namespace custovia {
namespace cli {

Snapshot snapshot(Session& session) {
    std::vector<tools::HostRef> refs;
    for (const Host& h : session.hosts()) {
        refs.push_back({h.url, h.key, h.status});
    }
    return tools::takeSnapshot(session.handle(), refs, session.options().computer);
}

DeviceView deviceView(Session& session, const Host& host, const std::string& id) {
    DeviceView v;
    const char* computer = session.computer();
    int32_t status = tools::readDevice(session.handle(), host.key, computer, id, &v);
    if (status == -1) {
        // The device is not in the computer's data: for a remote computer the
        // service's data hold none.
        throw Failure("not found: device \"" + id + "\" on computer " +
                      (computer ? computer : "localhost") + " of " + host.key + " (status -1)");
    }
    session.check(status, "device \"" + id + "\" on " + host.key);
    return v;
}

const char* stateColor(tools::UnitState state) {
    using tools::UnitState;
    switch (state) {
        case UnitState::OnLine:
            return sgr::kGreen;
        case UnitState::OnBattery:
        case UnitState::StandBy:
        case UnitState::SelfTest:
        case UnitState::Starting:
            return sgr::kYellow;
        case UnitState::NotConnected:
            return sgr::kGrey;
        default:
            return sgr::kRed;
    }
}

std::string modelText(const DeviceView& v) {
    if (!v.modelName.empty()) {
        return v.modelName;
    }
    return std::to_string(v.device.family) + "/" + std::to_string(v.device.model);
}

}  // namespace cli
}  // namespace custovia
