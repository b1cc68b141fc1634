// The refresh cycle and the cache that every read answers from.
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <tuple>

#include "SimClient.h"
#include "tkl/Json.h"

using namespace custovia;
using namespace simtest;

namespace {

// A simulator with a started client on it.
struct MonitCache : ::testing::Test {
    SimClient t;
    MonitClient& c = t.client;
};

std::size_t countPath(const std::vector<JournalEntry>& journal, const std::string& path) {
    return std::count_if(journal.begin(), journal.end(),
                         [&](const JournalEntry& e) { return e.path == path; });
}

}  // namespace

TEST_F(MonitCache, EmptyUntilTheFirstCycleThenFilledRemovedDevicesGoAndFailuresKeepTheLastData) {
    const char* d = "U1";
    const std::string noInfo = "Error: devices info for <";
    const std::string noDevice = "Device id <U1> not found.";
    const std::string noLocal = "Computer id <localhost> not found.";
    const std::vector<std::pair<std::function<void()>, std::string>> reads = {
        {[&] { c.getDevices(nullptr); }, noInfo + "empty> not found."},
        {[&] { c.getDeviceIdList(""); }, noInfo + "> not found."},
        {[&] { c.getComputer("10.0.0.9"); }, noInfo + "10.0.0.9> not found."},
        {[&] { c.getRegressiveList(nullptr); }, noInfo + "empty> not found."},
        {[&] { c.getDevice(nullptr, d); }, noDevice},
        {[&] { c.getDeviceConfig(nullptr, d); }, noDevice},
        {[&] { c.getRegressive(nullptr, d); }, noDevice},
        {[&] { c.getMailConfig(nullptr, d); }, "Error: Getting mail configuration"},
        {[&] { c.getDialerConfig(nullptr, d); }, noLocal},
        {[&] { c.getShutdownConfig("", d); }, noLocal},
        {[&] { c.getCusConfig(); }, noLocal},
        {[&] { c.getNotifyConfig(); }, noLocal}};
    for (const auto& read : reads) {
        expectError<tkl::NotFoundException>(read.first, -302, read.second);
    }
    // The computer-less listings answer empty instead.
    EXPECT_TRUE(c.getDeviceIdList().empty() && c.getDevices().empty() &&
                c.getRegressiveList().empty() && c.getComputers().empty());
    // Reads never go to the service.
    EXPECT_TRUE(t.sim.journal().empty());

    // One cycle fills the own computer and only the records of others.
    c.refreshNow();
    std::vector<std::string> ids = t.sim.deviceIds();
    std::sort(ids.begin(), ids.end());
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(c.getDeviceIdList(nullptr), ids);
    DeviceMap devices = c.getDevices("localhost");
    ASSERT_EQ(devices.size(), 2u);
    for (const std::string& id : ids) {
        const Device& device = devices.at(id);
        EXPECT_GT(device.family, 0);
        // Its description, countdown and settings are cached, as the service reports them.
        DeviceConfig config = c.getDeviceConfig(nullptr, id.c_str());
        EXPECT_EQ(std::tie(config.family, config.model), std::tie(device.family, device.model));
        EXPECT_EQ(c.getRegressiveList().count(id), 1u);
        EXPECT_EQ(c.getMailConfig(id.c_str()).toJson(),
                  c.getMailConfig(std::string(), id).toJson());
        EXPECT_EQ(c.getShutdownConfig(id.c_str()).toJson(),
                  c.getShutdownConfig(std::string(), id).toJson());
    }
    EXPECT_EQ(c.getNotifyConfig().toJson(), c.getNotifyConfig(std::string()).toJson());

    // The remote computer answers its record, but no devices.
    const std::string remote = t.remote();
    EXPECT_EQ(c.getComputers().size(), 2u);
    EXPECT_EQ(c.getComputer(remote.c_str()).ip, remote);
    EXPECT_FALSE(c.getComputer(nullptr).monVersion.empty());
    EXPECT_TRUE(c.getDevices(remote.c_str()).empty());
    EXPECT_TRUE(c.getRegressiveList(remote.c_str()).empty());
    const std::string theirs = t.sim.deviceIds(remote).at(0);
    expectError<tkl::NotFoundException>([&] { c.getDevice(remote.c_str(), theirs.c_str()); }, -302,
                                        "Device id <" + theirs + "> not found.");

    // A removed device goes at the next cycle; failures keep the last data.
    const std::string gone = t.local(0);
    const std::string kept = t.local(1);
    c.deleteDevice(nullptr, gone.c_str());
    c.refreshNow();
    EXPECT_EQ(c.getDeviceIdList(), std::vector<std::string>{kept});
    expectError<tkl::NotFoundException>([&] { c.getDevice(gone.c_str()); }, -302,
                                        "Device id <" + gone + "> not found.");

    // The service goes away, then answers with bodies that are no JSON: the
    // cache keeps what it had.
    Device before = c.getDevice(kept.c_str());
    int drop = t.sim.addFault(fault("drop"));
    ASSERT_TRUE(t.sim.changeDevice(kept, QJsonObject{{"charge", 42}}));
    c.refreshNow();
    t.sim.removeFault(drop);
    t.sim.addFault(fault("malformed"));
    c.refreshNow();
    EXPECT_THROW(c.getDeviceList(""), tkl::IOException);
    EXPECT_EQ(c.getDeviceIdList(), std::vector<std::string>{kept});
    EXPECT_EQ(c.getDevice(kept.c_str()).vars.cBattery, before.vars.cBattery);
    EXPECT_FALSE(c.getComputer(nullptr).monVersion.empty());
    EXPECT_EQ(c.getDeviceConfig(kept.c_str()).family, before.family);

    // Back to normal: the next cycle brings the new readings.
    t.sim.clearFaults();
    c.refreshNow();
    EXPECT_FLOAT_EQ(c.getDevice(kept.c_str()).vars.cBattery, 42.0f);
}

TEST_F(MonitCache, ModelDescriptionsAreAskedForOnlyWhenFamilyOrModelChange) {
    const std::string d = t.local(0);
    const std::string configPath = "/api/device/" + d + "/config";

    // First cycle: learn the interface, then 1 + N + 1 + 5 D + 1 requests
    // (N = 2 computers, D = 2 devices, a description each); then no descriptions.
    auto cycle = [&] {
        std::uint64_t seq = t.sim.lastSeq();
        c.refreshNow();
        return t.since(seq);
    };
    std::vector<JournalEntry> first = cycle();
    EXPECT_EQ(first.size(), 2u + 1 + 2 + 1 + 5 * 2 + 1);
    EXPECT_EQ(countPath(first, configPath), 1u);
    std::vector<JournalEntry> second = cycle();
    EXPECT_EQ(second.size(), 1u + 2 + 1 + 4 * 2 + 1);
    EXPECT_EQ(countPath(second, configPath), 0u);

    int family = c.getDevice(d.c_str()).family == 4 ? 1 : 4;
    int model = family == 4 ? 2 : 1;
    ASSERT_TRUE(t.sim.changeDevice(d, QJsonObject{{"family", family}, {"model", model}}));
    std::vector<JournalEntry> third = cycle();
    EXPECT_EQ(countPath(third, configPath), 1u);
    EXPECT_EQ(third.size(), second.size() + 1);
    DeviceConfig config = c.getDeviceConfig(d.c_str());
    EXPECT_EQ(std::tie(config.family, config.model), std::tie(family, model));
}

TEST_F(MonitCache, StopEmptiesTheCacheAndReturnsPromptlyWhileTheServiceHangs) {
    c.refreshNow();
    ASSERT_EQ(c.getDevices().size(), 2u);
    c.stop();
    c.stop();  // a second stop does nothing
    EXPECT_TRUE(c.getComputers().empty());

    // The refresh thread runs a cycle on its own and hangs in the middle of
    // it, on a device's settings.
    t.sim.addFault(fault("hang@device/" + t.local(1) + "/mailcfg"));
    c.setRefreshInterval(10);
    c.start(t.sim.url().c_str());
    ASSERT_TRUE(waitFor([&] { return t.sim.hangingCount() == 1; }));
    auto begin = std::chrono::steady_clock::now();
    c.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    EXPECT_TRUE(c.getComputers().empty());

    // A new start works again after the aborted transfer; starting a running
    // client starts it afresh with an empty cache.
    t.sim.clearFaults();
    c.setRefreshInterval(3600 * 1000);
    c.start(t.sim.url().c_str());
    c.refreshNow();
    EXPECT_EQ(c.getDevices().size(), 2u);
    c.start(t.sim.url().c_str());
    EXPECT_TRUE(c.getComputers().empty());
}
