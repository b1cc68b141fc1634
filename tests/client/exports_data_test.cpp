// Reads, hand-over and commands through the exported functions against a
// simulated monitoring service.
#include "ClientFixture.h"

using clienttest::codes;
using clienttest::Connected;
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

// One simulator with a remote computer, read after one whole cycle.
struct ExportData : ::testing::Test, Connected {};

TEST_F(ExportData, ReadsHandOverToTheCallersContainersAndCommandsReachTheService) {
    const std::vector<std::string> units = sim.deviceIds();
    CustoviaNames hosts, computers = {"old"};
    EXPECT_EQ(codes({getHostCount(h, &hosts), isConnected(h, "127.0.0.1"),
                     getComputerCount(h, nullptr, &computers)}),
              "1 1 3");
    EXPECT_EQ(hosts, CustoviaNames{"127.0.0.1"});
    EXPECT_EQ(computers[0], "old");
    const std::string remote = sim.computerIds().at(0);
    CustoviaComputers map = {{"junk", custovia::Computer()}};
    ASSERT_EQ(getComputerList(h, "127.0.0.1", &map), 1);
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.count("localhost") + map.count(remote), 2u);

    custovia::Computer own, other;
    EXPECT_EQ(codes({getVersion(h, nullptr, nullptr, &own),
                     getVersion(h, nullptr, remote.c_str(), &other),
                     getVersion(h, nullptr, "10.255.255.254", &other)}),
              "1 1 -302");
    EXPECT_EQ(other.ip, remote);
    // Remote computers carry only their computer record.
    CustoviaDevices remoteDevices = {{"junk", custovia::Device()}};
    EXPECT_EQ(getDeviceList(h, nullptr, remote.c_str(), &remoteDevices), 1);
    EXPECT_TRUE(remoteDevices.empty());

    CustoviaDevices devices = {{"junk", custovia::Device()}};
    ASSERT_EQ(getDeviceList(h, nullptr, nullptr, &devices), 1);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices.count(units.at(0)), 1u);
    CustoviaNames ids = {"a", "b", "c"};
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, &ids), 5);
    EXPECT_EQ(ids[3], devices.begin()->first);
    EXPECT_EQ(getDeviceCount(h, nullptr, "", nullptr), 2);

    // A device that is not cached: -1, and the receiver is not touched.
    Counting<custovia::Device> mine;
    EXPECT_EQ(codes({getDevice(h, nullptr, nullptr, units.at(1).c_str(), &mine), mine.calls,
                     getDevice(h, nullptr, nullptr, "no-such-device", &mine),
                     getDevice(h, nullptr, nullptr, nullptr, &mine), mine.calls}),
              "1 1 -1 -1 1");
    EXPECT_EQ(mine.id, units.at(1));

    custovia::DeviceConfig model;
    const custovia::Device& first = devices.begin()->second;
    EXPECT_EQ(
        codes({getDeviceConfig(h, nullptr, nullptr, units.at(0).c_str(), &model),
               getDeviceConfig(h, nullptr, nullptr, "", &model),
               getDeviceConfigByModel(h, nullptr, nullptr, first.family, first.model, &model)}),
        "1 -202 1");

    CustoviaRegressives counters = {{"junk", custovia::Regressive()}};
    Counting<custovia::Regressive> countdown;
    EXPECT_EQ(codes({getRegressiveCounterList(h, nullptr, nullptr, &counters),
                     static_cast<long long>(counters.size()),
                     static_cast<long long>(counters.count("junk")),
                     getRegressiveCounter(h, nullptr, nullptr, units.at(0).c_str(), &countdown),
                     countdown.calls}),
              "1 2 0 1 1");

    // The service keeps no log of a simulated device: each read empties the container.
    CustoviaLog log;
    for (auto read : {deviceLog, deviceLogHour, deviceLogDay, deviceLogMonth}) {
        log.resize(2);
        EXPECT_EQ(read(h, nullptr, nullptr, units.at(0).c_str(), &log), 1);
        EXPECT_TRUE(log.empty());
    }

    // Settings read from the cache and posted again, and commands: each
    // reaches its resource, with the arguments given, quotes intact.
    const char* d = units.at(1).c_str();
    custovia::DeviceMailCfg mail;
    custovia::DeviceDialCfg dial;
    custovia::DeviceShutCfg shut;
    custovia::NotifyConfig notify;
    ASSERT_EQ(codes({devMailConfig(h, nullptr, nullptr, d, &mail),
                     devDialerConfig(h, nullptr, nullptr, d, &dial),
                     devShutdownConfig(h, nullptr, nullptr, d, &shut),
                     notifyConfig(h, nullptr, nullptr, &notify)}),
              "1 1 1 1");
    const std::uint64_t seq = sim.lastSeq();
    const std::string dev = "/device/" + units.at(1);
    const struct {
        int32_t result;
        const char* method;
        std::string path, body;  // body: only checked when given
    } sent[] = {
        {updDevMailConfig(h, nullptr, nullptr, d, &mail), "POST", dev + "/mailcfg", ""},
        {updDevDialerConfig(h, nullptr, nullptr, d, &dial), "POST", dev + "/dialcfg", ""},
        {updDevShutdownConfig(h, nullptr, nullptr, d, &shut), "POST", dev + "/shutcfg", ""},
        {updNotifyConfig(h, nullptr, nullptr, &notify), "POST", "/notifycfg", ""},
        {manualDevShutdown(h, nullptr, nullptr, d), "PUT", dev + "/shutdown", "{\"confirm\":1}"},
        {cancelDevShutdown(h, nullptr, nullptr, d), "DELETE", dev + "/shutdown", ""},
        {manualDevDischarge(h, nullptr, nullptr, d), "PUT", dev + "/discharge", ""},
        {manualDevMailTest(h, nullptr, nullptr, d), "PUT", dev + "/mailtest", ""},
        {cancelDevMailTest(h, nullptr, nullptr, d), "DELETE", dev + "/mailtest", ""},
        {deviceSetLineSense(h, nullptr, nullptr, d, 2), "PUT", dev + "/linesense",
         "{\"confirm\":1,\"lineSense\":2}"},
        {deviceSetICBattery(h, nullptr, nullptr, d, 1), "PUT", dev + "/icBattery",
         "{\"confirm\":1,\"icBattery\":1}"},
        {changeColorDevice(h, nullptr, nullptr, d, 255, 0, 10, true), "PUT", dev + "/color",
         "{\"blue\":10,\"confirm\":1,\"green\":0,\"random\":1,\"red\":255}"},
        {changeUserDevice(h, nullptr, nullptr, d, "Jo \"the\" admin", "Rack\\2"), "PUT",
         dev + "/user", R"({"userName":"Jo \"the\" admin","userProd":"Rack\\2"})"}};
    for (const auto& s : sent) {
        SCOPED_TRACE(std::string(s.method) + " " + s.path);
        EXPECT_EQ(s.result, 1);
        const JournalEntry e = request(sim, seq, s.method, s.path);
        if (!s.body.empty()) {
            EXPECT_EQ(e.body, s.body);
        }
    }

    // A device or host the service does not know: -302.
    EXPECT_EQ(codes({manualDevShutdown(h, nullptr, nullptr, "no-such-device"),
                     deleteDevice(h, nullptr, nullptr, nullptr),
                     deleteDevice(h, nullptr, nullptr, "no-such-device"),
                     deleteDevice(h, "unknown-host", nullptr, d), disconnectCli(h, nullptr)}),
              "-302 -202 -302 -302 1");
}

TEST(ExportHosts, FirstHostInByteOrderAndCloseStopsTheRefresh) {
    Simulator sims(simOptions(1, 2));  // 127.0.0.1 and 127.0.0.2 on one port
    sims.start();
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

    CustoviaHealthList list;
    ASSERT_EQ(getHostHealthList(h, &list), 2);
    EXPECT_EQ(list[0].host + " " + list[1].host, "127.0.0.1 127.0.0.2");
    EXPECT_EQ(codes({disconnectCli(h, "127.0.0.2"), isConnected(h, "127.0.0.2"),
                     getHostCount(h, nullptr)}),
              "1 0 1");

    // Closing the handle stops the refresh of the host it still has: within
    // two periods nothing arrives but the one request whose transfer the
    // close aborted, which a slow network stack may hand to the service after
    // the close returned.
    closeCli(h.handle);
    h.handle = nullptr;
    seq = sims.lastSeq();
    EXPECT_FALSE(sims.waitForRequests(2, std::chrono::milliseconds(6500), seq));
}
