#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JsonText.h"
#include "model/DeviceConfig.h"

using namespace custovia;

namespace {

// The capability names in the order of the text form ("name = 0, ...").
std::vector<std::string> capabilityNames() {
    std::vector<std::string> names;
    const std::string text = DeviceCapabilities().toString();
    for (std::string::size_type at = 0; at < text.size();) {
        const auto equals = text.find(" = ", at);
        names.push_back(text.substr(at, equals - at));
        const auto comma = text.find(", ", equals);
        at = comma == std::string::npos ? text.size() : comma + 2;
    }
    return names;
}

}  // namespace

TEST(DeviceCapabilities, EachFlagReadsAndWritesItsOwnKey) {
    const std::vector<std::string> names = capabilityNames();
    ASSERT_EQ(names.size(), 30u);
    EXPECT_EQ(names[7], "hasStandBy");
    for (const std::string& name : names) {
        DeviceCapabilities caps;
        caps.fromJson(parse("{\"" + name + "\":true}"));
        const std::string text = caps.toString();
        EXPECT_NE(text.find(name + " = 1"), std::string::npos) << name;
        EXPECT_EQ(text.find(" = 1"), text.find(name + " = 1") + name.size()) << name;
        EXPECT_EQ(text.find(" = 1", text.find(" = 1") + 1), std::string::npos) << name;
        const std::string written = name == "hasStandBy" ? "hasStandby" : name;
        EXPECT_EQ(compact(caps.toJson()), "{\"" + written + "\":1}");
    }
}

TEST(DeviceCapabilities, StandByKeyDiffersBetweenReadingAndWriting) {
    DeviceCapabilities caps;
    caps.fromJson(parse(R"({"hasStandby":true})"));
    EXPECT_FALSE(caps.hasStandBy);
    EXPECT_EQ(compact(caps.toJson()), "{}");
    caps.fromJson(parse(R"({"hasStandBy":1,"hasVInput":"TRUE","hasWakeUp":"yes"})"));
    EXPECT_TRUE(caps.hasStandBy);
    EXPECT_EQ(compact(caps.toJson()), R"({"hasStandby":1,"hasVInput":1})");
    // What was written does not read back as stand-by.
    DeviceCapabilities back;
    back.fromJson(caps.toJson());
    EXPECT_FALSE(back.hasStandBy);
    EXPECT_TRUE(back.hasVInput);
}

TEST(DeviceConfig, DefaultsAndServiceForm) {
    DeviceConfig config;
    EXPECT_EQ(compact(config.toJson()), R"({"caps":{},"name":"AUTO"})");

    config.fromJson(parse(R"({"family":2,"model":7.8,"name":"SPS 700",
                              "caps":{"hasStandBy":true,"hasSetLineSens":1}})"));
    EXPECT_EQ(
        compact(config.toJson()),
        R"({"caps":{"hasSetLineSens":1,"hasStandby":1},"family":2,"model":7,"name":"SPS 700"})");

    // "AUTO" only until JSON is read.
    config.fromJson(parse(R"({"family":-3})"));
    EXPECT_EQ(compact(config.toJson()), R"({"caps":{},"model":0})");
}

TEST(DeviceConfig, TextListsEveryPart) {
    DeviceConfig config;
    config.family = 2;
    config.model = 7;
    config.name = "SPS";
    config.caps.hasVInput = true;
    config.ranges.emplace_back(0x10, 16);
    config.ranges.emplace_back(0x12345, 2);
    config.aliases["b"] = DeviceAlias("bit", 0x20, 0);
    config.aliases["a"] = DeviceAlias("word", 0x1F);
    config.consts["k"] = DevicePair("k", "v");
    EXPECT_EQ(config.toString(),
              "\nFamily = 2\nModel  = 7\nName   = SPS\nCaps   : {" + config.caps.toString() +
                  "}\nRanges : [{Start = 0010, Size = 16},{Start = 12345, Size = 2}]\n"
                  "Aliases: [{\"word\" = \"001F\"},{\"bit\" = \"0020\", bit = 0}]\n"
                  "Consts : [{\"k\" = \"v\"}]\nVars   : []\nFlags  : []\nActions: []\n");
    EXPECT_EQ(DeviceConfig().toString().substr(0, 39),
              "\nFamily = -1\nModel  = -1\nName   = AUTO\n");
}

TEST(DeviceConfig, AssignReplacesEverythingAndSurvivesSelfAssignment) {
    DeviceConfig source;
    source.name = "A";
    source.ranges.emplace_back(1, 2);
    source.vars["x"] = DevicePair("x", "1");
    DeviceConfig target;
    target.actions["stale"] = DevicePair("stale", "");
    target.assign(source);
    EXPECT_TRUE(target.actions.empty());
    EXPECT_EQ(target.toString(), source.toString());
    DeviceConfig copy(source);
    EXPECT_EQ(copy.toString(), source.toString());

    target.assign(target);
    EXPECT_EQ(target.toString(), source.toString());

    // JSON never carries the register-level description.
    target.fromJson(target.toJson());
    EXPECT_TRUE(target.ranges.empty());
    EXPECT_TRUE(target.vars.empty());
}
