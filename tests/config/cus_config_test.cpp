#include <gtest/gtest.h>

#include "JsonText.h"
#include "config/CusConfig.h"

using custovia::CusConfig;

TEST(CusConfig, DefaultTextAndJson) {
    CusConfig config;
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=1, theme=1, style=2}");
    EXPECT_EQ(config.toJson().toString(), "{\"detect\":1,\"id\":1,\"style\":2,\"theme\":1}");
}

TEST(CusConfig, FromJsonReadsMissingMembersAsZeroAndIgnoresId) {
    CusConfig config;
    config.fromJson(parse("{\"theme\":3}"));
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=0, theme=3, style=0}");

    config.id = 9;
    config.fromJson(parse("{\"id\":7,\"detect\":2,\"theme\":1,\"style\":2}"));
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=2, theme=1, style=2}");
}

TEST(CusConfig, FromJsonConvertsMistypedMembers) {
    CusConfig config;
    // true counts 1, a numeric string is parsed, fractions are cut toward
    // zero, negatives wrap, and numbers beyond 64 bits give 0.
    config.fromJson(parse("{\"detect\":true,\"theme\":\"2\",\"style\":2.9}"));
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=1, theme=2, style=2}");
    config.fromJson(parse("{\"detect\":-1,\"theme\":-0.5,\"style\":1e30}"));
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=4294967295, theme=0, style=0}");
    // Large values go out exact and read back the same.
    config.theme = 1234567;
    EXPECT_EQ(config.toJson().toString(),
              "{\"detect\":4294967295,\"id\":1,\"style\":0,\"theme\":1234567}");
    CusConfig copy;
    copy.fromJson(config.toJson());
    EXPECT_EQ(copy.toString(), config.toString());
    config.fromJson(parse("{\"detect\":[1],\"theme\":{},\"style\":null}"));
    EXPECT_EQ(config.toString(), "cusConfig: {id=1, detect=0, theme=0, style=0}");
}
