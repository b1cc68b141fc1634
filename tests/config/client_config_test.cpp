#include <gtest/gtest.h>

#include "JsonText.h"
#include "config/ClientConfig.h"

using namespace custovia;

TEST(NotifySvcConfig, JsonRoundTripAndConditionalMembers) {
    NotifySvcConfig config;
    EXPECT_EQ(config.toJson().toString(),
              "{\"messageInterval\":3000,\"webHost\":\"localhost\",\"webPort\":4470}");

    config.webPort = 70000;
    config.messageInterval = 0;
    EXPECT_EQ(config.toJson().toString(), "{\"webHost\":\"localhost\"}");
    config.webHost.clear();
    config.webPort = 65535;
    EXPECT_EQ(config.toJson().toString(), "{\"webPort\":65535}");

    config.fromJson(parse("{}"));
    EXPECT_EQ(config.toString(), "notifysvc: {web.host=, web.port=0, message.interval=0}");
    config.fromJson(
        parse("{\"webHost\":\"srv-1\",\"webPort\":\"8080\","
              "\"messageInterval\":250.7}"));
    EXPECT_EQ(config.toString(),
              "notifysvc: {web.host=srv-1, web.port=8080, message.interval=250}");
    NotifySvcConfig back;
    back.fromJson(config.toJson());
    EXPECT_EQ(back.toString(), config.toString());
}

TEST(ClientConfig, DefaultText) {
    EXPECT_EQ(ClientConfig().toString(),
              "clientconfig: {notifysvc: {web.host=localhost, web.port=4470, "
              "message.interval=3000}, "
              "notifygui: {web.host=localhost, web.port=4470, message.interval=3000}, "
              "shutsvc: {web.host=localhost, web.port=4470}, "
              "cloudsvc: {web.host=localhost, web.port=4470, message.interval=3000}, "
              "debug: {monitclient.filename=client.log, monitclient.level=FATAL, "
              "notifysvc.filename=notifysvc.log, notifysvc.level=FATAL, "
              "notifygui.filename=notifygui.log, notifygui.level=FATAL, "
              "shutsvc.filename=shutsvc.log, shutsvc.level=FATAL, "
              "cloudsvc.filename=cloudsvc.log, cloudsvc.level=FATAL}}");
}

TEST(ClientConfig, LoggerTextShowsEachProgramsOwnLevel) {
    ClientLoggerConfig logger;
    logger.monitclientLevel = 0;
    logger.notifysvcLevel = 1;
    logger.notifyguiLevel = 2;
    logger.shutsvcLevel = 3;
    logger.cloudsvcLevel = 4;
    logger.cloudsvcFilename = "cloud.txt";
    EXPECT_EQ(logger.toString(),
              "debug: {monitclient.filename=client.log, monitclient.level=TRACE, "
              "notifysvc.filename=notifysvc.log, notifysvc.level=DEBUG, "
              "notifygui.filename=notifygui.log, notifygui.level=INFO, "
              "shutsvc.filename=shutsvc.log, shutsvc.level=WARNING, "
              "cloudsvc.filename=cloud.txt, cloudsvc.level=ERROR}");
}

TEST(CloudSvcConfig, CopyAssignAndResetLeaveBrokerSettingsAlone) {
    CloudSvcConfig source;
    source.webHost = "cloud-gw";
    source.webPort = 8443;
    source.messageInterval = 10000;
    source.mqtt.enable = false;
    source.mqtt.brokerHost = "mqtt.internal";
    source.mqtt.brokerPort = 8883;
    const std::string sourceText =
        "cloudsvc: {web.host=cloud-gw, web.port=8443, message.interval=10000}";
    const std::string sourceMqtt =
        "mqtt: {enable=0, brokerHost=\"mqtt.internal\", brokerPort=8883}";
    const std::string defaultMqtt = CloudSvcMqttConfig().toString();
    EXPECT_EQ(source.toString(), sourceText);
    EXPECT_EQ(source.mqtt.toString(), sourceMqtt);

    // A copy starts with the default broker settings.
    CloudSvcConfig copy(source);
    EXPECT_EQ(copy.toString(), sourceText);
    EXPECT_EQ(copy.mqtt.toString(), defaultMqtt);

    // assign and reset keep the target's own broker settings.
    CloudSvcConfig target;
    target.mqtt.brokerPort = 1884;
    target.assign(source);
    EXPECT_EQ(target.toString(), sourceText);
    EXPECT_EQ(target.mqtt.brokerPort, 1884u);
    EXPECT_EQ(target.mqtt.brokerHost, CloudSvcMqttConfig().brokerHost);
    source.reset();
    EXPECT_EQ(source.toString(), CloudSvcConfig().toString());
    EXPECT_EQ(source.mqtt.toString(), sourceMqtt);

    // The broker record itself copies all three fields.
    CloudSvcMqttConfig broker;
    broker.assign(source.mqtt);
    EXPECT_EQ(broker.toString(), sourceMqtt);
    broker.reset();
    EXPECT_EQ(broker.toString(), defaultMqtt);
}

TEST(ClientConfig, CopyAssignAndResetGoThroughEachMember) {
    ClientConfig source;
    source.notifysvc.webHost = "a";
    source.notifygui.webPort = 1;
    source.shutsvc.webHost = "b";
    source.cloudsvc.messageInterval = 7;
    source.cloudsvc.mqtt.brokerHost = "broker-b";
    source.logger.shutsvcFilename = "s.log";
    // One member changed in each part: a copy that misses one shows it.
    const std::string expected = source.toString();
    EXPECT_NE(expected, ClientConfig().toString());

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
}
