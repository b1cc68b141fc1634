#include <gtest/gtest.h>

#include "JsonText.h"
#include "config/NotifyConfig.h"

using namespace custovia;

TEST(NotifyConfig, DefaultTextAndJsonCarryTheTimeInMinutes) {
    NotifyConfig config;
    EXPECT_EQ(config.toString(),
              "notifyConfig: {id=1, option=1, value.Ref.Percent=10, value.Ref.Seconds=300000}");
    EXPECT_EQ(config.toJson().toString(),
              "{\"id\":1,\"option\":1,\"valPercent\":10,\"valSecond\":5}");
}

TEST(NotifyConfig, FromJsonConvertsMinutesToMilliseconds) {
    NotifyConfig config;
    config.id = 4;
    config.fromJson(parse("{\"id\":3,\"option\":2,\"valPercent\":20,\"valSecond\":3}"));
    EXPECT_EQ(config.toString(),
              "notifyConfig: {id=1, option=2, value.Ref.Percent=20, value.Ref.Seconds=180000}");
    EXPECT_EQ(config.toJson().toString(),
              "{\"id\":1,\"option\":2,\"valPercent\":20,\"valSecond\":3}");

    // Fractions: minutes are scaled before truncation, the other fields are
    // truncated as they come.
    config.fromJson(parse("{\"option\":1.5,\"valPercent\":\"15\",\"valSecond\":1.5}"));
    EXPECT_EQ(config.toString(),
              "notifyConfig: {id=1, option=1, value.Ref.Percent=15, value.Ref.Seconds=90000}");

    // Missing members give 0, not the defaults.
    config.fromJson(parse("{}"));
    EXPECT_EQ(config.toString(),
              "notifyConfig: {id=1, option=0, value.Ref.Percent=0, value.Ref.Seconds=0}");
}

TEST(NotifyConfig, ToJsonDropsPartialMinutes) {
    NotifyConfig config;
    config.valSecond = 59999;
    EXPECT_EQ(config.toJson().value("valSecond").toDouble(), 0.0);
    config.valSecond = 60000;
    EXPECT_EQ(config.toJson().value("valSecond").toDouble(), 1.0);
    config.valSecond = 4294967295u;
    EXPECT_EQ(config.toJson().value("valSecond").toDouble(), 71582.0);
}
