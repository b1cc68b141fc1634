// Helpers for tests that use libcustovia through its exported functions, the
// way a product program does, against simulators in the test process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// Status codes and counts as one text ("1 4 -302"), so that a whole series of
// calls is compared at once and a mismatch shows every value.
inline std::string codes(std::initializer_list<long long> values) {
    std::string text;
    for (long long value : values) {
        text += (text.empty() ? "" : " ") + std::to_string(value);
    }
    return text;
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
