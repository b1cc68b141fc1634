// The refresh period of a handle's hosts, chosen through setRefreshPeriod.
#include <gtest/gtest.h>

#include "ClientFixture.h"
#include "client/custovia_ext.h"

namespace {

using namespace clienttest;

int64_t cyclesOf(CustoviaHandle handle, const std::string& host) {
    CustoviaHostHealth health;
    return getHostHealth(handle, host.c_str(), &health) == 1 ? health.cycles : -1;
}

TEST(RefreshPeriod, AppliesToEveryHostOrToTheOneNamedAndRefusesBadArguments) {
    custovia::sim::Simulator sim(simOptions(1, 2));
    sim.start();
    const std::string fast = sim.address(0);
    const std::string slow = sim.address(1);
    Handle h;

    EXPECT_EQ(setRefreshPeriod(nullptr, nullptr, 3000), -202);
    EXPECT_EQ(setRefreshPeriod(h, nullptr, 99), -202);
    EXPECT_EQ(setRefreshPeriod(h, nullptr, 86400001), -202);
    EXPECT_EQ(setRefreshPeriod(h, fast.c_str(), 3000), -302);

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
    const int64_t before = cyclesOf(h, slow);
    ASSERT_EQ(connectCli(h, sim.url(1).c_str()), 1);
    const int64_t fastNow = cyclesOf(h, fast);
    ASSERT_TRUE(waitFor([&] { return cyclesOf(h, fast) >= fastNow + 5; }));
    EXPECT_EQ(cyclesOf(h, slow), 0) << "before the reconnect: " << before;

    // Every host again: the hour chosen for one host is dropped.
    ASSERT_EQ(setRefreshPeriod(h, nullptr, 100), 1);
    ASSERT_EQ(connectCli(h, sim.url(1).c_str()), 1);
    EXPECT_TRUE(waitFor([&] { return cyclesOf(h, slow) >= 3; }));
}

}  // namespace
