// Reads, hand-over and commands through the exported functions against a
// simulated monitoring service.
#include "ClientFixture.h"

using clienttest::codes;
using clienttest::Handle;
using clienttest::simOptions;
using clienttest::waitFor;
using clienttest::waitForDevices;
using custovia::sim::JournalEntry;
using custovia::sim::Simulator;

namespace {

// A receiver class of the calling program: its own assign must be the one
// the library calls.
template <typename Record>
struct Counting : Record {
    Record& assign(const Record& other) override {
        ++calls;
        return Record::assign(other);
    }
    int calls = 0;
};

// The one request after `seq` whose method and path end match.
JournalEntry request(const Simulator& sim, std::uint64_t seq, const std::string& method,
                     const std::string& pathEnd) {
    for (const JournalEntry& e : sim.journalSince(seq)) {
        if (e.method == method && e.path.size() >= pathEnd.size() &&
            e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0) {
            return e;
        }
    }
    ADD_FAILURE() << "no " << method << " ..." << pathEnd;
    return JournalEntry();
}

}  // namespace

class ExportData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = new Simulator(simOptions(2));
        sim_->start();
        handle_ = openCli();
        ASSERT_EQ(connectCli(handle_, sim_->url().c_str()), 1);
        // One whole cycle, run at once: every cached read answers from here.
        ASSERT_EQ(refreshHost(handle_, nullptr, 15000), 1) << "the first refresh failed";
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(disconnectCli(handle_, nullptr), 1);
        closeCli(handle_);
        delete sim_;
    }
    std::string device(int i) const { return sim_->deviceIds().at(i); }

    static Simulator* sim_;
    static CustoviaHandle handle_;
};

Simulator* ExportData::sim_ = nullptr;
CustoviaHandle ExportData::handle_ = nullptr;

TEST_F(ExportData, HostsAndComputersAreListed) {
    CustoviaNames hosts;
    EXPECT_EQ(getHostCount(handle_, &hosts), 1);
    EXPECT_EQ(hosts, CustoviaNames{"127.0.0.1"});
    EXPECT_EQ(isConnected(handle_, "127.0.0.1"), 1);

    CustoviaNames computers = {"old"};
    ASSERT_TRUE(waitFor([&] { return getComputerCount(handle_, nullptr, nullptr) == 2; }));
    EXPECT_EQ(getComputerCount(handle_, nullptr, &computers), 3);
    EXPECT_EQ(computers[0], "old");
    const std::string remote = sim_->computerIds().at(0);
    CustoviaComputers map = {{"junk", custovia::Computer()}};
    ASSERT_EQ(getComputerList(handle_, "127.0.0.1", &map), 1);
    EXPECT_EQ(map.count("junk"), 0u);
    EXPECT_EQ(map.count("localhost"), 1u);
    EXPECT_EQ(map.count(remote), 1u);

    custovia::Computer own;
    EXPECT_EQ(getVersion(handle_, nullptr, nullptr, &own), 1);
    custovia::Computer other;
    EXPECT_EQ(getVersion(handle_, nullptr, remote.c_str(), &other), 1);
    EXPECT_EQ(other.ip, remote);
    EXPECT_EQ(getVersion(handle_, nullptr, "10.255.255.254", &other), -302);
    // Remote computers carry only their computer record.
    CustoviaDevices remoteDevices = {{"junk", custovia::Device()}};
    EXPECT_EQ(getDeviceList(handle_, nullptr, remote.c_str(), &remoteDevices), 1);
    EXPECT_TRUE(remoteDevices.empty());
}

TEST_F(ExportData, DevicesReachTheCallersOwnReceiversAndContainers) {
    CustoviaDevices devices = {{"junk", custovia::Device()}};
    ASSERT_EQ(getDeviceList(handle_, nullptr, nullptr, &devices), 1);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices.count(device(0)), 1u);

    CustoviaNames ids = {"a", "b", "c"};
    EXPECT_EQ(getDeviceCount(handle_, nullptr, nullptr, &ids), 5);
    EXPECT_EQ(ids[3], devices.begin()->first);
    EXPECT_EQ(getDeviceCount(handle_, nullptr, "", nullptr), 2);

    Counting<custovia::Device> mine;
    EXPECT_EQ(getDevice(handle_, nullptr, nullptr, device(1).c_str(), &mine), 1);
    EXPECT_EQ(mine.calls, 1);
    EXPECT_EQ(mine.id, device(1));
    // A device that is not cached: -1, and the receiver is not touched.
    EXPECT_EQ(getDevice(handle_, nullptr, nullptr, "no-such-device", &mine), -1);
    EXPECT_EQ(getDevice(handle_, nullptr, nullptr, nullptr, &mine), -1);
    EXPECT_EQ(mine.calls, 1);

    custovia::DeviceConfig model;
    EXPECT_EQ(getDeviceConfig(handle_, nullptr, nullptr, device(0).c_str(), &model), 1);
    EXPECT_EQ(getDeviceConfig(handle_, nullptr, nullptr, "", &model), -202);
    EXPECT_EQ(getDeviceConfigByModel(handle_, nullptr, nullptr, devices.begin()->second.family,
                                     devices.begin()->second.model, &model),
              1);

    CustoviaRegressives counters = {{"junk", custovia::Regressive()}};
    EXPECT_EQ(getRegressiveCounterList(handle_, nullptr, nullptr, &counters), 1);
    EXPECT_EQ(counters.count("junk"), 0u);
    EXPECT_EQ(counters.size(), 2u);
    Counting<custovia::Regressive> countdown;
    EXPECT_EQ(getRegressiveCounter(handle_, nullptr, nullptr, device(0).c_str(), &countdown), 1);
    EXPECT_EQ(countdown.calls, 1);

    // The service keeps no log of a simulated device: each read empties the container.
    CustoviaLog log;
    for (auto read : {deviceLog, deviceLogHour, deviceLogDay, deviceLogMonth}) {
        log.resize(2);
        EXPECT_EQ(read(handle_, nullptr, nullptr, device(0).c_str(), &log), 1);
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(deviceLog(handle_, nullptr, nullptr, nullptr, &log), -202);
}

TEST_F(ExportData, SettingsAreReadFromTheCacheAndPostedAndCommandsReachTheService) {
    const std::string id = device(1);
    const char* d = id.c_str();
    custovia::DeviceMailCfg mail;
    ASSERT_EQ(devMailConfig(handle_, nullptr, nullptr, d, &mail), 1);
    custovia::DeviceDialCfg dial;
    ASSERT_EQ(devDialerConfig(handle_, nullptr, nullptr, d, &dial), 1);
    custovia::DeviceShutCfg shut;
    ASSERT_EQ(devShutdownConfig(handle_, nullptr, nullptr, d, &shut), 1);
    custovia::NotifyConfig notify;
    ASSERT_EQ(notifyConfig(handle_, nullptr, nullptr, &notify), 1);

    std::uint64_t seq = sim_->lastSeq();
    EXPECT_EQ(updDevMailConfig(handle_, nullptr, nullptr, d, &mail), 1);
    EXPECT_EQ(updDevDialerConfig(handle_, nullptr, nullptr, d, &dial), 1);
    EXPECT_EQ(updDevShutdownConfig(handle_, nullptr, nullptr, d, &shut), 1);
    EXPECT_EQ(updNotifyConfig(handle_, nullptr, nullptr, &notify), 1);
    EXPECT_EQ(request(*sim_, seq, "POST", "/device/" + id + "/mailcfg").contentType.empty(), false);
    request(*sim_, seq, "POST", "/device/" + id + "/dialcfg");
    request(*sim_, seq, "POST", "/device/" + id + "/shutcfg");
    request(*sim_, seq, "POST", "/notifycfg");

    EXPECT_EQ(manualDevShutdown(handle_, nullptr, nullptr, d), 1);
    EXPECT_EQ(request(*sim_, seq, "PUT", "/device/" + id + "/shutdown").body, "{\"confirm\":1}");
    EXPECT_EQ(cancelDevShutdown(handle_, nullptr, nullptr, d), 1);
    request(*sim_, seq, "DELETE", "/device/" + id + "/shutdown");
    EXPECT_EQ(manualDevDischarge(handle_, nullptr, nullptr, d), 1);
    request(*sim_, seq, "PUT", "/device/" + id + "/discharge");
    EXPECT_EQ(manualDevMailTest(handle_, nullptr, nullptr, d), 1);
    EXPECT_EQ(cancelDevMailTest(handle_, nullptr, nullptr, d), 1);
    request(*sim_, seq, "DELETE", "/device/" + id + "/mailtest");
    EXPECT_EQ(deviceSetLineSense(handle_, nullptr, nullptr, d, 2), 1);
    EXPECT_EQ(request(*sim_, seq, "PUT", "/device/" + id + "/linesense").body,
              "{\"confirm\":1,\"lineSense\":2}");
    EXPECT_EQ(deviceSetICBattery(handle_, nullptr, nullptr, d, 1), 1);
    EXPECT_EQ(changeColorDevice(handle_, nullptr, nullptr, d, 255, 0, 10, true), 1);
    EXPECT_EQ(request(*sim_, seq, "PUT", "/device/" + id + "/color").body,
              "{\"blue\":10,\"confirm\":1,\"green\":0,\"random\":1,\"red\":255}");

    EXPECT_EQ(changeUserDevice(handle_, nullptr, nullptr, d, "Jo \"the\" admin", "Rack\\2"), 1);
    EXPECT_EQ(request(*sim_, seq, "PUT", "/device/" + id + "/user").body,
              R"({"userName":"Jo \"the\" admin","userProd":"Rack\\2"})");

    // A device the service does not know: the command fails with -302.
    EXPECT_EQ(manualDevShutdown(handle_, nullptr, nullptr, "no-such-device"), -302);
    EXPECT_EQ(deleteDevice(handle_, nullptr, nullptr, nullptr), -202);
    EXPECT_EQ(deleteDevice(handle_, nullptr, nullptr, "no-such-device"), -302);
    EXPECT_EQ(deleteDevice(handle_, "unknown-host", nullptr, d), -302);
}

TEST(ExportHosts, FirstHostInByteOrderAndReconnectReplaces) {
    Simulator sims(simOptions(1, 2));  // 127.0.0.1 and 127.0.0.2 on one port
    sims.start();
    Simulator other(simOptions(1));
    other.start();
    Handle h;
    const std::string port = std::to_string(sims.port());
    ASSERT_EQ(connectCli(h, ("http://127.0.0.2:" + port).c_str()), 1);
    ASSERT_EQ(connectCli(h, ("http://127.0.0.1:" + port).c_str()), 1);
    CustoviaNames hosts;
    EXPECT_EQ(getHostCount(h, &hosts), 2);
    EXPECT_EQ(hosts, (CustoviaNames{"127.0.0.1", "127.0.0.2"}));
    ASSERT_TRUE(waitForDevices(h, "127.0.0.2", 1));

    // A null host selects 127.0.0.1, the first in byte order.
    std::uint64_t seq = sims.lastSeq();
    const std::string first = sims.deviceIds("localhost", 0).at(0);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(manualDevShutdown(h, nullptr, nullptr, first.c_str()), 1);
    EXPECT_EQ(request(sims, seq, "PUT", "/shutdown").host, 0);

    // Connecting 127.0.0.1 again on another port replaces the first client
    // and its health record.
    ASSERT_EQ(connectCli(h, other.url().c_str()), 1);
    CustoviaHealthList list;
    ASSERT_EQ(getHostHealthList(h, &list), 2);
    EXPECT_EQ(list[0].host + " " + list[0].url + " " + list[1].host,
              "127.0.0.1 " + other.url() + " 127.0.0.2");
    EXPECT_EQ(codes({list[0].cycles, list[1].cycles >= 1}), "0 1");
    ASSERT_TRUE(waitForDevices(h, "127.0.0.1", 1));
    seq = other.lastSeq();
    const std::string replaced = other.deviceIds().at(0);
    EXPECT_EQ(manualDevShutdown(h, "127.0.0.1", nullptr, replaced.c_str()), 1);
    EXPECT_EQ(request(other, seq, "PUT", "/shutdown").path.empty(), false);

    EXPECT_EQ(disconnectCli(h, "127.0.0.2"), 1);
    EXPECT_EQ(isConnected(h, "127.0.0.2"), 0);
    EXPECT_EQ(getHostCount(h, nullptr), 1);
}

TEST(ExportHosts, ClosingAHandleWithHostsStopsTheirRefresh) {
    Simulator sim(simOptions(1));
    sim.start();
    {
        Handle h;
        ASSERT_EQ(connectCli(h, sim.url().c_str()), 1);
        ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    }
    const std::uint64_t seq = sim.lastSeq();
    // No refresh runs after the close: within two periods nothing arrives but
    // the one request whose transfer the close aborted, which a slow network
    // stack may hand to the service after the close returned.
    EXPECT_FALSE(sim.waitForRequests(2, std::chrono::milliseconds(6500), seq));
}
