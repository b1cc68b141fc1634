// The tools' shared view of a unit and its JSON forms: the state in words and
// tokens, the flag names, and the member names scripts and API clients rely on.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <set>
#include <string>

#include "common/SnapshotJson.h"
#include "common/UnitState.h"

using namespace custovia::tools;

namespace {

custovia::Device connectedDevice() {
    custovia::Device d;
    d.id = "U1";
    d.status.connected = true;
    return d;
}

TEST(UnitStateTest, TheMostPressingConditionNamesTheState) {
    custovia::Device d;
    d.failures.fan = true;
    EXPECT_EQ(unitState(d), UnitState::NotConnected) << "stale flags of a lost unit";

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

    // Words and tokens are what people and scripts read.
    EXPECT_STREQ(stateWords(UnitState::OnBattery), "On battery");
    EXPECT_STREQ(stateToken(UnitState::OnBattery), "onBattery");
    EXPECT_STREQ(stateWords(UnitState::NotConnected), "Not connected");
    EXPECT_STREQ(stateToken(UnitState::LowBattery), "lowBattery");
}

TEST(UnitStateTest, EveryFlagHasWordsAndEveryNameIsDistinct) {
    custovia::DeviceFlags s;
    custovia::DeviceFailFlags f;
    custovia::DeviceCapabilities c;
    auto status = statusFlags(s);
    auto failures = failureFlags(f);
    auto caps = capabilities(c);
    EXPECT_EQ(status.size(), 25u);
    EXPECT_EQ(failures.size(), 12u);
    EXPECT_EQ(caps.size(), 30u);
    std::set<std::string> names;
    for (const auto& list : {status, failures}) {
        for (const auto& flag : list) {
            // A name without words comes back unchanged; "connected" is its own word.
            std::string name = flag.first;
            EXPECT_TRUE(flagWords(flag.first) != name || name == "connected") << name;
        }
    }
    for (const auto& flag : caps) {
        EXPECT_TRUE(names.insert(flag.first).second) << flag.first;
    }
    // A set flag reaches the list under its own name.
    s.opBattery = true;
    for (const auto& flag : statusFlags(s)) {
        EXPECT_EQ(flag.second, std::string(flag.first) == "opBattery") << flag.first;
    }
}

TEST(SnapshotJsonTest, DeviceMembersKeepTheirNames) {
    Snapshot s;
    HostView h;
    h.key = "127.0.0.1";
    h.url = "http://127.0.0.1:4470";
    h.ready = true;
    ComputerView c;
    c.id = "localhost";
    c.computer.hostname = "node";
    DeviceView d;
    d.device = connectedDevice();
    d.device.vars.cBattery = 87.25f;
    d.device.vars.pOutput = 300;
    d.device.vars.nominalPOutput = 1200;
    d.countdown =
        custovia::Regressive(custovia::RegressiveCause::Manual, true, 0, 15000, 20000, false);
    d.hasCountdown = true;
    DeviceView idle;
    idle.device = connectedDevice();
    idle.device.id = "U2";
    c.devices = {d, idle};
    h.computers = {c};

    s.hosts = {h};
    QJsonObject o = devicesJson(s);
    QJsonObject host = o["hosts"].toArray().at(0).toObject();
    EXPECT_EQ(host["host"].toString(), "127.0.0.1");
    EXPECT_TRUE(host["ready"].toBool());
    QJsonObject computer = host["computers"].toArray().at(0).toObject();
    EXPECT_EQ(computer["id"].toString(), "localhost");
    EXPECT_EQ(computer["hostname"].toString(), "node");
    QJsonArray devices = computer["devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    QJsonObject first = devices.at(0).toObject();
    for (const char* key :
         {"id",          "name",    "userName", "userProd", "family",      "model",
          "modelName",   "version", "protocol", "computer", "state",       "stateText",
          "connected",   "charge",  "load",     "vInput",   "vOutput",     "vBattery",
          "temperature", "fOutput", "iOutput",  "pOutput",  "lastReading", "ageMs",
          "countdown",   "flags",   "failures"}) {
        EXPECT_TRUE(first.contains(key)) << key;
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
}

TEST(SnapshotJsonTest, HostsWithoutDataHaveNoCounts) {
    Snapshot s;
    HostView up;
    up.key = "a";
    up.ready = true;
    up.hasOwn = true;
    up.own.monVersion = "8.9";
    up.computerCount = 2;
    up.deviceCount = 3;
    HostView down;
    down.key = "b";
    down.status = -320;
    s.hosts = {up, down};
    QJsonArray hosts = hostsJson(s)["hosts"].toArray();
    ASSERT_EQ(hosts.size(), 2);
    QJsonObject a = hosts.at(0).toObject();
    EXPECT_TRUE(a["ready"].toBool());
    EXPECT_EQ(a["monVersion"].toString(), "8.9");
    EXPECT_EQ(a["computers"].toInt(), 2);
    EXPECT_EQ(a["devices"].toInt(), 3);
    QJsonObject b = hosts.at(1).toObject();
    EXPECT_FALSE(b["ready"].toBool());
    EXPECT_EQ(b["status"].toInt(), -320);
    EXPECT_TRUE(b["computers"].isNull());
    EXPECT_TRUE(b["devices"].isNull());
}

}  // namespace
