// Refresh at once, the host health records and the refresh period, through
// the exported functions against simulators in the test process.
#include <algorithm>
#include <future>
#include <memory>

#include "ClientFixture.h"

namespace {

using namespace clienttest;

TEST(RefreshHostAndHealth,
     RefreshJoinsTheCycleInProgressKeepsItsTimeOutAndTwoFailedCyclesMakeTheHostUnreachable) {
    auto sim = std::make_unique<custovia::sim::Simulator>(simOptions(3));
    sim->start();
    const int port = sim->port();
    const std::string host = sim->address();
    Handle h;
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    // Nothing is cached before the first cycle; right after refreshHost it is.
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), -302);
    ASSERT_EQ(refreshHost(h, nullptr, 10000), 1);
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), 3);

    CustoviaHostHealth health;
    ASSERT_EQ(getHostHealth(h, nullptr, &health), 1);
    EXPECT_EQ(health.host + " " + health.url, host + " " + sim->url());
    // Reachable, never failed, one connection for every request of the cycle.
    EXPECT_EQ(
        codes({health.reachable, health.lastFailureMs, health.consecutiveFailures,
               health.lastErrorCode, health.connections, health.cycles >= 1, health.requests > 5,
               health.startedMs > 0, health.lastSuccessMs >= health.startedMs}),
        "1 0 0 0 1 1 1 1 1");

    // Two callers at once share one cycle: the device list is asked once.
    sim->addFault(fault("delay=150~/device$"));
    const std::uint64_t seq = sim->lastSeq();
    auto refresh = [&] { return refreshHost(h, "127.0.0.1", 20000); };
    auto a = std::async(std::launch::async, refresh);
    auto b = std::async(std::launch::async, refresh);
    EXPECT_EQ(codes({a.get(), b.get()}), "1 1");
    const auto sent = sim->journalSince(seq);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const auto& e) { return e.path == "/api/device"; }),
              1);

    // The timer goes on after a refresh of the caller's.
    ASSERT_EQ(getHostHealth(h, nullptr, &health), 1);
    const int64_t cycles = health.cycles;
    EXPECT_TRUE(
        waitFor([&] { return getHostHealth(h, nullptr, &health) == 1 && health.cycles > cycles; }));

    // A hanging service: the caller's time-out holds, far below the 30 s a
    // request may take. The timer's cycle just counted may still run: it
    // ends first, so that the refresh below starts a cycle of its own.
    sim->clearFaults();
    ASSERT_EQ(refreshHost(h, nullptr, 10000), 1);
    sim->addFault(fault("hang"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(refreshHost(h, nullptr, 300), -314);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    sim->clearFaults();
    EXPECT_EQ(refreshHost(h, nullptr, 10000), 1);
    EXPECT_EQ(codes({refreshHost(h, "10.1.2.3", 1000), refreshHost(nullptr, nullptr, 1000)}),
              "-302 -202");

    // One failed cycle is not yet an outage; the second is.
    sim.reset();
    EXPECT_EQ(codes({refreshHost(h, nullptr, 5000), getHostHealth(h, host.c_str(), &health),
                     health.reachable}),
              "-3200 1 1");
    EXPECT_EQ(codes({refreshHost(h, nullptr, 5000), getHostHealth(h, host.c_str(), &health),
                     health.reachable, health.consecutiveFailures, health.lastErrorCode,
                     health.lastFailureMs >= health.lastSuccessMs}),
              "-3200 1 0 2 -3200 1");
    EXPECT_EQ(health.lastError.rfind("MonitClient: <", 0), 0u) << health.lastError;
    EXPECT_NE(health.lastError.find("Couldn't connect"), std::string::npos) << health.lastError;

    auto options = simOptions(3);
    options.port = port;
    sim = std::make_unique<custovia::sim::Simulator>(options);
    sim->start();
    EXPECT_EQ(codes({refreshHost(h, nullptr, 10000), getHostHealth(h, nullptr, &health),
                     health.reachable, health.consecutiveFailures}),
              "1 1 1 0");

    // The events tell the same story.
    CustoviaEvents events;
    waitEvents(h, &events, 0);
    std::string hostEvents;
    for (const auto& event : events) {
        hostEvents += event.device.empty() ? event.kindName + " " + event.host + "; " : "";
    }
    EXPECT_EQ(hostEvents, "hostUnreachable " + host + "; hostReachable " + host + "; ");

    // The rule is a setting: at one cycle, a single failed cycle is enough
    // for the host connected again to a port where nothing listens.
    ASSERT_EQ(codes({setUnreachableAfter(h, 0), setUnreachableAfter(h, 1),
                     connectCli(h, "http://127.0.0.1:9")}),
              "-202 1 1");
    EXPECT_EQ(codes({refreshHost(h, nullptr, 5000), getHostHealth(h, nullptr, &health),
                     health.reachable, health.cycles}),
              "-3200 1 0 1");
    CustoviaHealthList list;
    EXPECT_EQ(codes({getHostHealthList(h, &list), getHostHealth(h, "10.9.9.9", &health),
                     getHostHealth(h, nullptr, nullptr), getHostHealthList(h, nullptr)}),
              "1 -302 -202 -202");
}

int64_t cyclesOf(CustoviaHandle handle, const std::string& host) {
    CustoviaHostHealth health;
    return getHostHealth(handle, host.c_str(), &health) == 1 ? health.cycles : -1;
}

TEST(RefreshPeriod, AppliesToEveryHostOrToTheOneNamedAndRefusesBadArguments) {
    custovia::sim::Simulator sim(simOptions(1, 2));
    sim.start();
    const std::string fast = sim.address(0), slow = sim.address(1);
    Handle h;

    EXPECT_EQ(
        codes({setRefreshPeriod(nullptr, nullptr, 3000), setRefreshPeriod(h, nullptr, 99),
               setRefreshPeriod(h, nullptr, 86400001), setRefreshPeriod(h, fast.c_str(), 3000)}),
        "-202 -202 -202 -302");

    // Chosen for every host before they connect; then one host is given an
    // hour, which also stretches the wait it is in.
    ASSERT_EQ(setRefreshPeriod(h, nullptr, 100), 1);
    ASSERT_EQ(connectCli(h, sim.url(0).c_str()), 1);
    ASSERT_EQ(connectCli(h, sim.url(1).c_str()), 1);
    ASSERT_EQ(setRefreshPeriod(h, slow.c_str(), 3600 * 1000), 1);

    // At the default period of 3 s a host runs at most 4 cycles in 10 s.
    ASSERT_TRUE(waitFor([&] { return cyclesOf(h, fast) >= 5; }, std::chrono::seconds(10)));
    EXPECT_LE(cyclesOf(h, slow), 1);

    // A host connected again keeps the period chosen for it.
    ASSERT_EQ(connectCli(h, sim.url(1).c_str()), 1);
    const int64_t fastNow = cyclesOf(h, fast);
    ASSERT_TRUE(waitFor([&] { return cyclesOf(h, fast) >= fastNow + 5; }));
    EXPECT_EQ(cyclesOf(h, slow), 0);

    // Every host again: the hour chosen for one host is dropped.
    ASSERT_EQ(setRefreshPeriod(h, nullptr, 100), 1);
    ASSERT_EQ(connectCli(h, sim.url(1).c_str()), 1);
    EXPECT_TRUE(waitFor([&] { return cyclesOf(h, slow) >= 3; }));
}

}  // namespace
