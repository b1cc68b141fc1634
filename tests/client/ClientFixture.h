// Helpers for tests that use libcustovia through its exported functions, the
// way a product program does, against simulators in the test process.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "WaitFor.h"
#include "client/custovia.h"
#include "client/custovia_ext.h"
#include "sim/Simulator.h"

namespace clienttest {

inline custovia::sim::Options simOptions(int devices = 2, int hosts = 1) {
    custovia::sim::Options options;
    options.devices = devices;
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
    ~Handle() { closeCli(handle); }
    operator CustoviaHandle() const { return handle; }
    CustoviaHandle handle = openCli();
};

// A fault rule in the simulator's command-line form ("hang", "delay=40~/device$"),
// on every host or on the one given.
inline custovia::sim::FaultRule fault(const std::string& text, int host = -1) {
    custovia::sim::FaultRule rule;
    std::string error;
    EXPECT_TRUE(custovia::sim::FaultRule::parse(text, &rule, &error)) << error;
    rule.host = host;
    return rule;
}

// A started simulator and a handle connected to it after one whole cycle,
// whose events (the units appearing) are taken from the queue.
struct Connected {
    explicit Connected(int devices = 2) : sim(simOptions(devices)) {
        sim.start();
        EXPECT_EQ(connectCli(h, sim.url().c_str()), 1);
        EXPECT_EQ(refreshHost(h, nullptr, 15000), 1) << "the first refresh failed";
        waitEvents(h, &appeared, 0);
    }
    custovia::sim::Simulator sim;
    Handle h;
    CustoviaEvents appeared;
};

// Status codes and counts as one text ("1 4 -302"), so that a whole series of
// calls is compared at once and a mismatch shows every value.
inline std::string codes(std::initializer_list<long long> values) {
    std::string text;
    for (long long value : values) {
        text += (text.empty() ? "" : " ") + std::to_string(value);
    }
    return text;
}

// The reads every cached host answers, as codes: the device list and its
// size, device `id` and whether it came, the device count, the countdowns, the
// version and the notification settings.
inline std::string cachedReads(CustoviaHandle h, const char* host, const std::string& id) {
    CustoviaDevices devices;
    custovia::Device device;
    CustoviaRegressives counters;
    custovia::Computer computer;
    custovia::NotifyConfig notify;
    return codes({getDeviceList(h, host, nullptr, &devices), static_cast<long long>(devices.size()),
                  getDevice(h, host, nullptr, id.c_str(), &device), device.id == id,
                  getDeviceCount(h, host, "", nullptr),
                  getRegressiveCounterList(h, host, nullptr, &counters),
                  getVersion(h, host, nullptr, &computer),
                  notifyConfig(h, host, nullptr, &notify)});
}

// What cachedReads gives for a host with `devices` units.
inline std::string allAnswered(int devices) {
    return codes({1, devices, 1, 1, devices, 1, 1, 1});
}

// What the worker threads of the stress tests saw go wrong, reported on the
// test's thread once they are joined.
class Problems {
public:
    void add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_++ < 20) {
            list_.push_back(what);
        }
    }
    void expect(const std::string& what, const std::string& got, const std::string& expected) {
        if (got != expected) {
            add(what + " gave " + got + ", expected " + expected);
        }
    }
    void expectNone() const {
        EXPECT_EQ(count_, 0);
        for (const std::string& what : list_) {
            ADD_FAILURE() << what;
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::string> list_;
    long count_ = 0;
};

}  // namespace clienttest
