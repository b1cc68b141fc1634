// The simulated world the client benchmarks measure against: the service's
// own computer with `devices` devices and one remote computer with one device,
// standing still so that every cycle reads the same data.
#pragma once

#include <string>
#include <vector>

#include "sim/Simulator.h"

namespace bench {

inline custovia::sim::Options world(int devices) {
    custovia::sim::Options options;
    options.devices = devices;
    options.computers = 1;
    options.remoteDevices = 1;
    options.realTime = false;
    return options;
}

// Makes the service hang on the mail settings of the middle device, so that a
// refresh cycle stalls half way through.
inline void hangHalfway(custovia::sim::Simulator& sim) {
    const std::vector<std::string> ids = sim.deviceIds();
    custovia::sim::FaultRule hang;
    hang.kind = custovia::sim::FaultKind::Hang;
    hang.prefix = "device/" + ids.at(ids.size() / 2) + "/mailcfg";
    sim.addFault(hang);
}

}  // namespace bench
