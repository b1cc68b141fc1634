#include <gtest/gtest.h>

#include "config/MonitConfig.h"

using namespace custovia;

TEST(MonitConfig, DefaultText) {
    EXPECT_EQ(MonitConfig().toString(),
              "monitconfig: {monit: {monit.enable=1, rs232.enable=1}, "
              "web: {tcp.port=4470, udp.port=4470}, "
              "log: {hist.hours=1, hist.days=1, hist.months=1, event.months=6}, "
              "debug: {devicemonit.filename=cussvc.log, devicemonit.level=FATAL, "
              "devicemanager.filename=device.log, devicemanager.level=FATAL, "
              "serialhid.filename=serialhid.log, serialhid.level=FATAL}, }");
}

TEST(MonitConfig, LoggerTextShowsEachChannelsOwnLevel) {
    MonitLoggerConfig logger;
    logger.devicemonitLevel = 0;
    logger.devicemanagerLevel = 3;
    logger.serialhidLevel = 9;  // outside the level range: shown as TRACE
    logger.serialhidFilename = "/var/log/hid.log";
    EXPECT_EQ(logger.toString(),
              "debug: {devicemonit.filename=cussvc.log, devicemonit.level=TRACE, "
              "devicemanager.filename=device.log, devicemanager.level=WARNING, "
              "serialhid.filename=/var/log/hid.log, serialhid.level=TRACE}");
}

TEST(MonitConfig, AssignCopiesEveryMemberAndResetRestoresDefaults) {
    MonitConfig source;
    source.general.rs232Enable = false;
    source.server.udpPort = 5000;
    source.log.eventMonths = 12;
    source.logger.devicemanagerLevel = 2;
    // One member changed in each part: a copy that misses one shows it.
    const std::string expected = source.toString();
    EXPECT_NE(expected, MonitConfig().toString());

    MonitConfig target;
    target.assign(source);
    EXPECT_EQ(target.toString(), expected);
    MonitConfig copy(source);
    EXPECT_EQ(copy.toString(), expected);

    target.reset();
    EXPECT_EQ(target.toString(), MonitConfig().toString());
}
