// A simulator on a system-chosen port and a started monitoring client
// connected to it. The client's timer is slowed down to an hour so that
// tests drive refresh cycles themselves with refreshNow().
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "WaitFor.h"
#include "monit/MonitClient.h"
#include "sim/Simulator.h"
#include "tkl/Exception.h"

namespace montest {

using custovia::sim::JournalEntry;

inline custovia::sim::Options simOptions(int devices = 2, int computers = 1) {
    custovia::sim::Options options;
    options.devices = devices;
    options.computers = computers;
    options.remoteDevices = 1;
    options.realTime = false;
    return options;
}

struct SimClient {
    explicit SimClient(custovia::sim::Options options = simOptions()) : sim(options) {
        sim.start();
        client.setRefreshInterval(3600 * 1000);
        client.start(sim.url().c_str());
    }
    ~SimClient() {
        client.stop();
        sim.stop();
    }

    // Journal entries received after `seq`.
    std::vector<JournalEntry> since(std::uint64_t seq) const { return sim.journalSince(seq); }
    std::string local(int index = 0) const { return sim.deviceIds().at(index); }
    std::string remote() const { return sim.computerIds().at(0); }

    custovia::sim::Simulator sim;
    custovia::MonitClient client;
};

// A fault on the requests whose path starts with `prefix` (all when empty).
inline custovia::sim::FaultRule fault(custovia::sim::FaultKind kind,
                                      const std::string& prefix = std::string(), int status = 500) {
    custovia::sim::FaultRule rule;
    rule.kind = kind;
    rule.prefix = prefix;
    rule.status = status;
    return rule;
}

using testsupport::waitFor;

// Runs `call` and checks that it raises `Ex` with this code and message.
template <typename Ex>
void expectError(const std::function<void()>& call, int code, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const Ex& e) {
        EXPECT_EQ(e.code(), code) << e.message();
        EXPECT_EQ(e.message(), message);
    } catch (const tkl::Exception& e) {
        ADD_FAILURE() << "other exception " << e.name() << " " << e.code() << ": " << e.message();
    }
}

}  // namespace montest
