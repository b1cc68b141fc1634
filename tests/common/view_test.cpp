// The tools' shared view of a unit: its state, flag names and the JSON names scripts rely on.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <set>
#include <string>

#include "common/Snapshot.h"
#include "common/SnapshotJson.h"
#include "common/UnitState.h"

using namespace custovia::tools;

namespace {

custovia::Device connectedDevice(const char* id = "U1") {
    custovia::Device d;
    d.id = id;
    d.status.connected = true;
    return d;
}

TEST(UnitStateTest, TheMostPressingConditionNamesTheState) {
    custovia::Device d;
    d.failures.fan = true;
    EXPECT_EQ(unitState(d), UnitState::NotConnected) << "stale flags of a lost unit";

    // Each condition added outranks the ones before it.
    d = connectedDevice();
    EXPECT_EQ(unitState(d), UnitState::OnLine);
    d.status.opBattery = true;
    EXPECT_EQ(unitState(d), UnitState::OnBattery);
    d.status.loBattery = true;
    EXPECT_EQ(unitState(d), UnitState::LowBattery);
    d.failures.fan = true;
    EXPECT_EQ(unitState(d), UnitState::Fault);
    d.status.hiPOutput = true;
    EXPECT_EQ(unitState(d), UnitState::Overload);
    d.status.inShutdown = true;
    EXPECT_EQ(unitState(d), UnitState::ShuttingDown);

    d = connectedDevice();
    d.failures.overload = true;
    EXPECT_EQ(unitState(d), UnitState::Overload) << "overload failure without the status flag";
}

TEST(UnitStateTest, EveryFlagHasWordsAndEveryNameIsDistinct) {
    auto status = statusFlags(custovia::DeviceFlags());
    auto failures = failureFlags(custovia::DeviceFailFlags());
    auto caps = capabilities(custovia::DeviceCapabilities());
    for (const auto& list : {status, failures, caps}) {
        std::set<std::string> names;  // within one list; a failure may share a status name
        for (const auto& flag : list) {
            EXPECT_TRUE(names.insert(flag.first).second) << flag.first;
        }
    }
    for (const auto& list : {status, failures}) {
        for (const auto& flag : list) {
            // A name without words comes back unchanged; "connected" is its own word.
            const std::string name = flag.first;
            EXPECT_TRUE(flagWords(flag.first) != name || name == "connected") << name;
        }
    }
}

TEST(SnapshotJsonTest, MembersKeepTheirNamesAndWhatIsUnknownIsNull) {
    DeviceView d;
    d.device = connectedDevice();
    d.device.vars.cBattery = 87.25f;
    d.device.vars.pOutput = 300;
    d.device.vars.nominalPOutput = 1200;
    d.countdown =
        custovia::Regressive(custovia::RegressiveCause::Manual, true, 0, 15000, 20000, false);
    d.hasCountdown = true;
    DeviceView idle;
    idle.device = connectedDevice("U2");
    ComputerView c{"localhost", {}, {d, idle}};
    c.computer.hostname = "node";
    HostView up;
    up.key = "127.0.0.1";
    up.ready = up.hasOwn = true;
    up.own.monVersion = "8.9";
    up.computerCount = 1;
    up.deviceCount = 2;
    up.computers = {c};
    HostView down;
    down.key = "b";
    down.status = -320;
    const Snapshot s{0, {up, down}};

    QJsonObject host = devicesJson(s)["hosts"].toArray().at(0).toObject();
    EXPECT_EQ(host["host"].toString(), "127.0.0.1");
    QJsonObject computer = host["computers"].toArray().at(0).toObject();
    EXPECT_EQ(computer["hostname"].toString(), "node");
    QJsonArray devices = computer["devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    QJsonObject first = devices.at(0).toObject();
    for (const QString& key :
         QString("id name userName userProd family model modelName version protocol computer "
                 "state stateText connected charge load vInput vOutput vBattery temperature "
                 "fOutput iOutput pOutput lastReading ageMs countdown flags failures")
             .split(' ')) {
        EXPECT_TRUE(first.contains(key)) << key.toStdString();
    }
    EXPECT_EQ(first["state"].toString(), "onLine");
    EXPECT_DOUBLE_EQ(first["charge"].toDouble(), 87.3);
    EXPECT_DOUBLE_EQ(first["load"].toDouble(), 25.0);
    EXPECT_EQ(first["countdown"].toObject()["cause"].toString(), "Manual");
    EXPECT_EQ(first["countdown"].toObject()["remainingMs"].toInt(), 15000);
    EXPECT_TRUE(first["lastReading"].isNull()) << "never read";
    QJsonObject second = devices.at(1).toObject();
    EXPECT_TRUE(second["countdown"].isNull());
    EXPECT_TRUE(second["load"].isNull()) << "no nominal power, no load";

    // Counts only for a host that answered.
    QJsonArray hosts = hostsJson(s)["hosts"].toArray();
    ASSERT_EQ(hosts.size(), 2);
    QJsonObject a = hosts.at(0).toObject(), b = hosts.at(1).toObject();
    EXPECT_EQ(a["monVersion"].toString(), "8.9");
    EXPECT_EQ(std::make_pair(a["computers"].toInt(), a["devices"].toInt()), std::make_pair(1, 2));
    EXPECT_FALSE(b["ready"].toBool());
    EXPECT_EQ(b["status"].toInt(), -320);
    EXPECT_TRUE(b["computers"].isNull() && b["devices"].isNull());
}

// Stale after three refresh periods and a second: 12 s without one is stale at 3 s, not at 15 s.
TEST(HostStateTest, DataTurnStaleAfterThreePeriodsOfTheHost) {
    HostView h;
    h.ready = h.hasHealth = true;
    const int64_t now = 1000000;
    h.health.lastSuccessMs = now - 12000;
    h.staleAfterMs = staleAfterMs(kDefaultRefreshMs);
    EXPECT_EQ(hostState(h, now), HostState::Stale);
    h.staleAfterMs = staleAfterMs(15000);
    EXPECT_EQ(hostState(h, now), HostState::Fresh);
    h.health.consecutiveFailures = 1;
    EXPECT_EQ(hostState(h, now), HostState::Stale);
}

}  // namespace
