#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/DeviceConfig.h"
#include "tkl/Json.h"

using namespace custovia;

namespace {

tkl::JsonObject parse(const std::string& text) {
    tkl::JsonDocument document;
    document.fromJson(text);
    return document.object();
}

std::string compact(const tkl::JsonObject& json) {
    return tkl::JsonDocument(json).toJson(false);
}

const std::vector<std::string> kCapabilities = {
    "hasCBattery",        "hasChangeAutonomy", "hasFOutput",
    "hasFamily",          "hasICBattery",      "hasIOutput",
    "hasManualShutdown",  "hasStandBy",        "hasModel",
    "hasNightOff",        "hasNominalFOutput", "hasNominalPOutput",
    "hasNominalVBattery", "hasNominalVInput",  "hasNominalVOutput",
    "hasPOutput",         "hasPowerLook",      "hasSampIOutput",
    "hasSampVInput",      "hasSampVOutput",    "hasSetDischargeBattery",
    "hasSetICBattery",    "hasShutdownTimer",  "hasTemperature",
    "hasVBattery",        "hasVInput",         "hasVOutput",
    "hasVersion",         "hasWakeUp",         "hasSetLineSens"};

}  // namespace

TEST(DeviceCapabilities, EachFlagReadsAndWritesItsOwnKey) {
    for (const std::string& name : kCapabilities) {
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
    EXPECT_EQ(config.family, 2);
    EXPECT_EQ(config.model, 7);
    EXPECT_EQ(config.name, "SPS 700");
    EXPECT_TRUE(config.caps.hasSetLineSens);
    EXPECT_EQ(
        compact(config.toJson()),
        R"({"caps":{"hasSetLineSens":1,"hasStandby":1},"family":2,"model":7,"name":"SPS 700"})");

    // "AUTO" only until JSON is read.
    config.fromJson(parse(R"({"family":-3})"));
    EXPECT_EQ(config.name, "");
    EXPECT_EQ(config.model, 0);
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
    EXPECT_EQ(DeviceCapabilities().toString().substr(0, 48),
              "hasCBattery = 0, hasChangeAutonomy = 0, hasFOutp");
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

TEST(DeviceParts, NullTextsAndClear) {
    DevicePair pair;
    pair.set(nullptr, "v");
    EXPECT_EQ(pair.toString(), "\"\" = \"v\"");
    DeviceAlias alias;
    alias.set(static_cast<const char*>(nullptr), 0xABCDE, -1);
    EXPECT_EQ(alias.toString(), "\"\" = \"ABCDE\"");
    alias.clear();
    EXPECT_EQ(alias.bit, -1);
    DeviceRange range(5, 6);
    range.clear();
    EXPECT_EQ(range.toString(), "Start = 0000, Size = 0");
}
