// The MQTT publisher's pure parts: the command-line options and what the
// state object adds to a unit's JSON form.
#include <gtest/gtest.h>

#include <QJsonArray>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "mqtt/Discovery.h"
#include "mqtt/MqttOptions.h"

using namespace custovia::mqtt;

namespace {

std::string loaded(const std::string& url, Options* out = nullptr) {
    Options o;
    o.url = url;
    std::string error = load(o);
    if (out) {
        *out = o;
    }
    return error;
}

TEST(MqttOptionsTest, BrokerAddressesAndTheirDefaultPorts) {
    Options o;
    EXPECT_EQ(loaded("mqtt://broker.lan", &o), "");
    EXPECT_EQ(o.host, "broker.lan");
    EXPECT_EQ(o.port, 1883);
    EXPECT_FALSE(o.tls);
    EXPECT_EQ(loaded("mqtts://10.0.0.2:8884/", &o), "");
    EXPECT_EQ(o.port, 8884);
    EXPECT_TRUE(o.tls);
    EXPECT_EQ(loaded("mqtt://[::1]:1999", &o), "");
    EXPECT_EQ(o.host, "::1");
    EXPECT_EQ(o.port, 1999);

    for (const char* bad : {"http://h", "mqtt://", "mqtt://h:0", "mqtt://h:65536", "mqtt://h:x",
                            "mqtt://h/topic", "mqtt://user@h", "mqtt://[::1"}) {
        EXPECT_NE(loaded(bad), "") << bad;
    }
}

TEST(MqttOptionsTest, CommandLineFilesAndPrefixes) {
    const std::string file = testing::TempDir() + "mqtt-password";
    std::ofstream(file) << "s3cret\r\nsecond line\n";
    Options o;
    CLI::App app;
    addOptions(app, o);
    std::vector<std::string> args{
        "--mqtt", "mqtt://b",      "--mqtt-user", "gw", "--mqtt-password-file",
        file,     "--mqtt-prefix", "home/ups"};
    std::reverse(args.begin(), args.end());  // CLI11 takes a vector last argument first
    app.parse(args);
    EXPECT_EQ(o.discoveryPrefix, "homeassistant");
    EXPECT_EQ(load(o), "");
    EXPECT_EQ(o.prefix, "home/ups");
    EXPECT_EQ(o.password, "s3cret") << "first line, without its line end";

    Options noUser = o;
    noUser.user.clear();
    EXPECT_NE(load(noUser), "") << "a password needs a user";
    Options missing = o;
    missing.passwordFile = file + ".missing";
    EXPECT_NE(load(missing), "");
    Options unreadableCa = o;
    unreadableCa.url = "mqtts://b";
    unreadableCa.caFile = file + ".missing";
    EXPECT_NE(load(unreadableCa), "");
    for (const char* prefix : {"", "/a", "a/", "a//b", "a/+", "#"}) {
        Options p = o;
        p.prefix = prefix;
        EXPECT_NE(load(p), "") << prefix;
    }
    std::remove(file.c_str());
}

TEST(MqttStateTest, DerivedMembersFollowFlagsFailuresAndCountdown) {
    QJsonObject unit{{"id", "U1"},
                     {"ageMs", 1200},
                     {"flags", QJsonArray{"connected", "opBattery"}},
                     {"failures", QJsonArray{}},
                     {"countdown", QJsonValue()}};
    QJsonObject s = statePayload(unit);
    EXPECT_TRUE(s["onBattery"].toBool());
    EXPECT_FALSE(s["lowBattery"].toBool());
    EXPECT_FALSE(s["overload"].toBool());
    EXPECT_FALSE(s["failure"].toBool());
    EXPECT_TRUE(s["countdownSeconds"].isNull());
    EXPECT_FALSE(s.contains("ageMs"));

    unit["flags"] = QJsonArray{"loBattery", "hiPOutput"};
    unit["countdown"] = QJsonObject{{"cause", "battery"}, {"remainingMs", 89600}};
    s = statePayload(unit);
    EXPECT_TRUE(s["lowBattery"].toBool());
    EXPECT_TRUE(s["overload"].toBool()) << "the output power warning flag";
    EXPECT_EQ(s["countdownSeconds"].toInt(), 90);

    unit["flags"] = QJsonArray{};
    unit["failures"] = QJsonArray{"fan"};
    s = statePayload(unit);
    EXPECT_FALSE(s["overload"].toBool());
    EXPECT_TRUE(s["failure"].toBool());
    unit["failures"] = QJsonArray{"overload"};
    EXPECT_TRUE(statePayload(unit)["overload"].toBool());
}

TEST(MqttTopicsTest, IdsThatAreNotTopicSafeStayInsideTheirLevel) {
    UnitTopics t{"custovia", "homeassistant", "ups.lan", "A/B+#"};
    EXPECT_EQ(t.state(), "custovia/ups.lan/A_B__/state");
    EXPECT_EQ(t.command("mail-test"), "custovia/ups.lan/A_B__/command/mail-test");
    EXPECT_EQ(t.configTopic("sensor", "charge"),
              "homeassistant/sensor/custovia_ups_lan_A_B__/charge/config");
    EXPECT_EQ(topicLevel(""), "_");
    // Every topic discovery can publish is one the unit's removal clears.
    auto configs = discoveryConfigs(t, QJsonObject{{"name", "X"}}, true);
    auto topics = discoveryTopics(t);
    ASSERT_EQ(configs.size(), topics.size());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        EXPECT_EQ(configs[i].first, topics[i]);
    }
}

}  // namespace
