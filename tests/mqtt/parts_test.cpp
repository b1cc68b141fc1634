// The MQTT publisher's pure parts: the command-line options, what the state
// object adds to a unit's JSON form, and topic levels.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <fstream>

#include "mqtt/Discovery.h"
#include "mqtt/MqttOptions.h"

using namespace custovia::mqtt;

namespace {

TEST(MqttOptionsTest, BrokerAddressesAndTheirDefaultPorts) {
    const struct {
        const char* url;
        const char* host;
        int port;
        bool tls;
    } good[] = {
        {"mqtt://broker.lan", "broker.lan", 1883, false},
        {"mqtts://10.0.0.2:8884/", "10.0.0.2", 8884, true},
        {"mqtts://b", "b", 8883, true},
        {"mqtt://[::1]:1999", "::1", 1999, false},
    };
    for (const auto& g : good) {
        Options o;
        o.url = g.url;
        EXPECT_EQ(load(o), "") << g.url;
        EXPECT_EQ(o.host, g.host);
        EXPECT_EQ(o.port, g.port) << g.url;
        EXPECT_EQ(o.tls, g.tls) << g.url;
    }
    for (const char* bad : {"http://h", "mqtt://", "mqtt://h:0", "mqtt://h:65536", "mqtt://h:x",
                            "mqtt://h/topic", "mqtt://user@h", "mqtt://[::1"}) {
        Options o;
        o.url = bad;
        EXPECT_NE(load(o), "") << bad;
    }
}

TEST(MqttOptionsTest, PasswordFilesAndPrefixes) {
    const std::string file = testing::TempDir() + "mqtt-password";
    std::ofstream(file) << "s3cret\r\nsecond line\n";
    Options o;
    o.url = "mqtt://b";
    o.user = "gw";
    o.passwordFile = file;
    EXPECT_EQ(load(o), "");
    EXPECT_EQ(o.password, "s3cret") << "first line, without its line end";

    // Each change alone makes the options unusable; a password without a user is refused end
    // to end, where its message is pinned.
    Options missing = o, unreadableCa = o;
    missing.passwordFile = file + ".missing";
    unreadableCa.url = "mqtts://b";
    unreadableCa.caFile = file + ".missing";
    for (Options bad : {missing, unreadableCa}) {
        EXPECT_NE(load(bad), "");
    }
    for (const char* prefix : {"", "/a", "a/", "a//b", "a/+", "#"}) {
        Options p = o, d = o;
        p.prefix = prefix;
        d.discoveryPrefix = prefix;
        EXPECT_NE(load(p), "") << prefix;
        EXPECT_NE(load(d), "") << prefix;
    }
    std::remove(file.c_str());
}

TEST(MqttStateTest, DerivedMembersFollowFlagsFailuresAndCountdown) {
    const struct {
        QJsonArray flags, failures;
        bool onBattery, lowBattery, overload, failure;
    } cases[] = {
        {{"connected", "opBattery"}, {}, true, false, false, false},
        {{"loBattery", "hiPOutput"}, {}, false, true, true, false},  // the power warning
        {{}, {"fan"}, false, false, false, true},
        {{}, {"overload"}, false, false, true, true},
    };
    for (const auto& c : cases) {
        QJsonObject s = statePayload(QJsonObject{
            {"id", "U1"}, {"ageMs", 1200}, {"flags", c.flags}, {"failures", c.failures}});
        SCOPED_TRACE(QJsonDocument(s).toJson().toStdString());
        EXPECT_EQ(s["onBattery"].toBool(), c.onBattery);
        EXPECT_EQ(s["lowBattery"].toBool(), c.lowBattery);
        EXPECT_EQ(s["overload"].toBool(), c.overload);
        EXPECT_EQ(s["failure"].toBool(), c.failure);
        EXPECT_FALSE(s.contains("ageMs"));
    }
    QJsonObject unit{{"countdown", QJsonValue()}};
    EXPECT_TRUE(statePayload(unit)["countdownSeconds"].isNull());
    unit["countdown"] = QJsonObject{{"cause", "battery"}, {"remainingMs", 89600}};
    EXPECT_EQ(statePayload(unit)["countdownSeconds"].toInt(), 90);
}

TEST(MqttTopicsTest, IdsThatAreNotTopicSafeStayInsideTheirLevel) {
    UnitTopics t{"custovia", "homeassistant", "ups.lan", "A/B+#"};
    EXPECT_EQ(t.state(), "custovia/ups.lan/A_B__/state");
    EXPECT_EQ(t.command("mail-test"), "custovia/ups.lan/A_B__/command/mail-test");
    EXPECT_EQ(t.configTopic("sensor", "charge"),
              "homeassistant/sensor/custovia_ups_lan_A_B__/charge/config");
    EXPECT_EQ(topicLevel(""), "_");
    // Every topic discovery can publish is one the unit's removal clears.
    std::vector<std::string> published;
    for (const auto& c : discoveryConfigs(t, QJsonObject{{"name", "X"}}, true)) {
        published.push_back(c.first);
    }
    EXPECT_EQ(published, discoveryTopics(t));
}

}  // namespace
