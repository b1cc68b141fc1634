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

// The web settings' copy rules are checked through ClientConfig below; the
// broker record copies all of its own fields.
TEST(CloudSvcConfig, BrokerRecordCopiesAndResetsAllItsFields) {
    CloudSvcMqttConfig broker;
    const std::string defaults =
        "mqtt: {enable=1, brokerHost=\"test.mosquitto.org\", brokerPort=1883}";
    EXPECT_EQ(broker.toString(), defaults);
    CloudSvcMqttConfig source;
    source.enable = false;
    source.brokerHost = "mqtt.internal";
    source.brokerPort = 8883;
    broker.assign(source);
    EXPECT_EQ(broker.toString(), "mqtt: {enable=0, brokerHost=\"mqtt.internal\", brokerPort=8883}");
    broker.reset();
    EXPECT_EQ(broker.toString(), defaults);
}

TEST(ClientConfig, CopyAssignAndResetGoThroughEachMember) {
    ClientConfig source;
    source.notifysvc.webHost = "a";
    source.notifygui.webPort = 1;
    source.shutsvc.webHost = "b";
    source.cloudsvc.webHost = "cloud-gw";
    source.cloudsvc.webPort = 8443;
    source.cloudsvc.messageInterval = 7;
    source.cloudsvc.mqtt.brokerHost = "broker-b";
    source.logger.shutsvcFilename = "s.log";
    // A member changed in each part (every web field of the cloud part): a
    // copy that misses one shows it.
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

    // reset keeps the broker settings too.
    target.reset();
    EXPECT_EQ(target.toString(), ClientConfig().toString());
    EXPECT_EQ(target.cloudsvc.mqtt.brokerPort, 2000u);
}
