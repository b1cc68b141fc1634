// Helpers for tests that use libcustovia through its exported functions, the
// way a product program does, against simulators in the test process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "WaitFor.h"
#include "client/custovia.h"
#include "sim/Simulator.h"

namespace clienttest {

inline custovia::sim::Options simOptions(int devices = 2, int hosts = 1) {
    custovia::sim::Options options;
    options.devices = devices;
    options.computers = 1;
    options.remoteDevices = 1;
    options.hosts = hosts;
    options.realTime = false;
    return options;
}

using testsupport::waitFor;

// Waits until the host's first refresh, about three seconds after
// connectCli, has filled the device list.
inline bool waitForDevices(CustoviaHandle handle, const char* host, int count) {
    return waitFor([&] { return getDeviceCount(handle, host, nullptr, nullptr) == count; });
}

// An opened handle, closed at the end of the test.
struct Handle {
    Handle() : handle(openCli()) {}
    ~Handle() { closeCli(handle); }
    operator CustoviaHandle() const { return handle; }
    CustoviaHandle handle;
};

}  // namespace clienttest
