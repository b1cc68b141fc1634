// The settings records: their text and JSON forms and their copy rules.
#include <gtest/gtest.h>

#include "JsonText.h"
#include "config/ClientConfig.h"
#include "config/CusConfig.h"
#include "config/DetectionConfig.h"
#include "config/MonitConfig.h"
#include "config/NotifyConfig.h"

using namespace custovia;

TEST(NotifySvcConfig, JsonFormAndConditionalMembers) {
    NotifySvcConfig config;
    EXPECT_EQ(config.toJson().toString(),
              "{\"messageInterval\":3000,\"webHost\":\"localhost\",\"webPort\":4470}");

    config.webPort = 70000;
    config.messageInterval = 0;
    EXPECT_EQ(config.toJson().toString(), "{\"webHost\":\"localhost\"}");
    config.webHost.clear();
    config.webPort = 65535;
    EXPECT_EQ(config.toJson().toString(), "{\"webPort\":65535}");

    config.fromJson(parse(R"({"webHost":"srv-1","webPort":"8080","messageInterval":250.7})"));
    EXPECT_EQ(config.toString(),
              "notifysvc: {web.host=srv-1, web.port=8080, message.interval=250}");
}

// One member changed in each part (every web field of the cloud part), so that a copy missing one
// shows it. The broker settings are copied by neither the copy nor assign, nor reset.
TEST(ClientConfig, TextCopyAssignAndReset) {
    ClientConfig source;
    source.notifysvc.webHost = "a";
    source.notifygui.webPort = 1;
    source.shutsvc.webHost = "b";
    source.cloudsvc.webHost = "cloud-gw";
    source.cloudsvc.webPort = 8443;
    source.cloudsvc.messageInterval = 7;
    source.cloudsvc.mqtt.brokerHost = "broker-b";
    source.logger.monitclientLevel = 0;
    source.logger.notifysvcLevel = 1;
    source.logger.notifyguiLevel = 2;
    source.logger.shutsvcLevel = 3;
    source.logger.cloudsvcLevel = 4;
    source.logger.cloudsvcFilename = "cloud.txt";
    const std::string expected =
        "clientconfig: {notifysvc: {web.host=a, web.port=4470, message.interval=3000}, "
        "notifygui: {web.host=localhost, web.port=1, message.interval=3000}, "
        "shutsvc: {web.host=b, web.port=4470}, "
        "cloudsvc: {web.host=cloud-gw, web.port=8443, message.interval=7}, "
        "debug: {monitclient.filename=client.log, monitclient.level=TRACE, "
        "notifysvc.filename=notifysvc.log, notifysvc.level=DEBUG, "
        "notifygui.filename=notifygui.log, notifygui.level=INFO, "
        "shutsvc.filename=shutsvc.log, shutsvc.level=WARNING, "
        "cloudsvc.filename=cloud.txt, cloudsvc.level=ERROR}}";
    EXPECT_EQ(source.toString(), expected);

    ClientConfig copy(source);
    EXPECT_EQ(copy.toString(), expected);
    EXPECT_EQ(copy.cloudsvc.mqtt.brokerHost, CloudSvcMqttConfig().brokerHost);

    ClientConfig target;
    target.cloudsvc.mqtt.brokerPort = 2000;
    target.assign(source);
    EXPECT_EQ(target.toString(), expected);
    EXPECT_EQ(target.cloudsvc.mqtt.brokerPort, 2000u);
    EXPECT_EQ(target.cloudsvc.mqtt.brokerHost, CloudSvcMqttConfig().brokerHost);
    target.reset();
    EXPECT_EQ(target.toString(), ClientConfig().toString());
    EXPECT_EQ(target.cloudsvc.mqtt.brokerPort, 2000u);

    // The broker record copies and resets all of its own fields.
    target.cloudsvc.mqtt.assign(source.cloudsvc.mqtt);
    EXPECT_EQ(target.cloudsvc.mqtt.toString(),
              "mqtt: {enable=1, brokerHost=\"broker-b\", brokerPort=1883}");
    target.cloudsvc.mqtt.enable = false;
    target.cloudsvc.mqtt.reset();
    EXPECT_EQ(target.cloudsvc.mqtt.toString(),
              "mqtt: {enable=1, brokerHost=\"test.mosquitto.org\", brokerPort=1883}");
}

// Missing members read as 0, not the defaults; the id is never read; true is 1, numeric text is
// parsed, fractions cut toward zero, negatives wrap; beyond 64 bits and other types give 0.
TEST(CusConfig, FromJsonConvertsEachMember) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"theme":3})", "detect=0, theme=3, style=0"},
        {R"({"id":7,"detect":2,"theme":1,"style":2})", "detect=2, theme=1, style=2"},
        {R"({"detect":true,"theme":"2","style":2.9})", "detect=1, theme=2, style=2"},
        {R"({"detect":-1,"theme":-0.5,"style":1e30})", "detect=4294967295, theme=0, style=0"},
        {R"({"detect":[1],"theme":{},"style":null})", "detect=0, theme=0, style=0"},
    };
    for (const auto& [json, text] : cases) {
        CusConfig config;
        config.id = 9;
        config.fromJson(parse(json));
        EXPECT_EQ(config.toString(), std::string("cusConfig: {id=1, ") + text + "}");
    }
    CusConfig config;
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=1, theme=1, style=2}");
    config.theme = 1234567;  // large values go out exact
    EXPECT_EQ(config.toJson().toString(), R"({"detect":1,"id":1,"style":2,"theme":1234567})");
}

// The time travels in whole minutes and is kept in milliseconds.
TEST(NotifyConfig, FromJsonConvertsMinutesToMilliseconds) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"id":3,"option":2,"valPercent":20,"valSecond":3})",
         "option=2, value.Ref.Percent=20, value.Ref.Seconds=180000"},
        // Minutes are scaled before truncation, the other fields as they come.
        {R"({"option":1.5,"valPercent":"15","valSecond":1.5})",
         "option=1, value.Ref.Percent=15, value.Ref.Seconds=90000"},
    };
    for (const auto& [json, text] : cases) {
        NotifyConfig config;
        config.id = 4;
        config.fromJson(parse(json));
        EXPECT_EQ(config.toString(), std::string("notifyConfig: {id=1, ") + text + "}");
    }
    NotifyConfig config;
    EXPECT_EQ(config.toString(),
              "notifyConfig: {id=1, option=1, value.Ref.Percent=10, value.Ref.Seconds=300000}");
    EXPECT_EQ(config.toJson().toString(), R"({"id":1,"option":1,"valPercent":10,"valSecond":5})");
    // Partial minutes are dropped.
    for (const auto& [ms, minutes] :
         {std::pair<uint32_t, double>{59999, 0}, {60000, 1}, {4294967295u, 71582}}) {
        config.valSecond = ms;
        EXPECT_EQ(config.toJson().value("valSecond").toDouble(), minutes) << ms;
    }
}

// One member changed in each part: a copy that misses one shows it.
TEST(MonitConfig, TextAssignCopyAndReset) {
    MonitConfig source;
    source.general.rs232Enable = false;
    source.server.udpPort = 5000;
    source.log.eventMonths = 12;
    source.logger.devicemonitLevel = 0;
    source.logger.devicemanagerLevel = 3;
    source.logger.serialhidLevel = 9;  // outside the level range: shown as TRACE
    source.logger.serialhidFilename = "/var/log/hid.log";
    const std::string expected =
        "monitconfig: {monit: {monit.enable=1, rs232.enable=0}, "
        "web: {tcp.port=4470, udp.port=5000}, "
        "log: {hist.hours=1, hist.days=1, hist.months=1, event.months=12}, "
        "debug: {devicemonit.filename=cussvc.log, devicemonit.level=TRACE, "
        "devicemanager.filename=device.log, devicemanager.level=WARNING, "
        "serialhid.filename=/var/log/hid.log, serialhid.level=TRACE}, }";
    EXPECT_EQ(source.toString(), expected);

    MonitConfig target;
    target.assign(source);
    EXPECT_EQ(target.toString(), expected);
    target.reset();
    EXPECT_EQ(target.toString(), MonitConfig().toString());
}

TEST(DetectionConfig, TextListsCdcThenHidThenSerialAndAssignReplacesLists) {
    DetectionConfig source;
    EXPECT_EQ(source.toString(), "");
    source.cdc.emplace_back(0x403, 0x6001);
    source.hid.emplace_back(0x0665, 0x5161);
    source.hid.emplace_back(0x1abcd, 0xa);  // longer numbers are not cut
    source.serial.emplace_back();
    source.serial.emplace_back(9600, 7, 2, 1, 500);
    const std::string text =
        "USB/CDC:\n\tVID = 0403, PID = 6001\n"
        "USB/HID:\n\tVID = 0665, PID = 5161\n\tVID = 1ABCD, PID = 000A\n"
        "Serial :\n\tBaudrate = 2400, Databits = 8, Stopbits = 1, Parity = 0, Timeout = 40\n"
        "\tBaudrate = 9600, Databits = 7, Stopbits = 2, Parity = 1, Timeout = 500\n";
    EXPECT_EQ(source.toString(), text);

    // Assigning replaces the lists instead of merging them.
    DetectionConfig target;
    target.hid.emplace_back(9, 9);
    target.cdc.emplace_back(8, 8);
    target.serial.emplace_back();
    target.assign(source);
    EXPECT_EQ(target.toString(), text);
    // Assigning a record to itself must not empty it.
    target.assign(target);
    EXPECT_EQ(target.toString(), text);
    target.reset();
    EXPECT_EQ(target.toString(), "");
}
