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
#include "client/custovia_ext.h"
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

// Runs a refresh cycle of the host at once (the timer's first one comes three
// seconds after connectCli) and waits until the device list has `count` ids.
inline bool waitForDevices(CustoviaHandle handle, const char* host, int count) {
    refreshHost(handle, host, 15000);
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
