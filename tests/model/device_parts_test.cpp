// The parts of a device record: measurements, flags, the model description and its capabilities.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JsonText.h"
#include "model/DeviceConfig.h"
#include "model/DeviceVars.h"

using namespace custovia;

namespace {

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Each flag read alone comes back alone, in the JSON and under its own name in the text form:
// catches a key read into the wrong bit.
template <typename Flags>
void expectEachFlagMapsToItsOwnKey(int expected) {
    const tkl::JsonObject none = Flags().toJson();
    ASSERT_EQ(none.size(), expected);
    for (const std::string& name : none.keys()) {
        tkl::JsonObject one = none;
        one.insert(name, tkl::JsonValue(1));
        Flags flags;
        flags.fromJson(one);
        EXPECT_EQ(compact(flags.toJson()), compact(one)) << name;
        const std::string text = ", " + flags.toString();
        EXPECT_EQ(count(text, "=1"), 1) << name;
        EXPECT_NE(text.find(", " + name + "=1"), std::string::npos) << name;
    }
}

}  // namespace

TEST(DeviceVars, ReadsServiceFormAndWritesEveryKey) {
    DeviceVars vars;
    vars.fromJson(parse(R"({"vInput":127,"vOutput":230.5,"iOutput":1.2,"pOutput":40,"fOutput":50,
        "vBattery":27.3,"cBattery":99.6,"temperature":31.5,"shutdownTimer":120,"wakeupTimer":-1,
        "nominalVInput":230,"nominalVOutput":230,"nominalPOutput":1000,"nominalFOutput":50,
        "nominalVBattery":24,"ledRed":255,"ledGreen":"16","ledBlue":-7.9,"random":true,
        "icBattery":2})"));
    EXPECT_EQ(vars.toString(),
              "vInput=127.0, vOutput=230.5, iOutput=1.2, pOutput=40.0, fOutput=50.0, "
              "vBattery=27.3, cBattery=100, temperature=31.5, icBattery=2, shutdownTimer=120, "
              "wakeupTimer=-1, nightoffTimer=0, nominalVInput=230, nominalVOutput=230, "
              "nominalPOutput=1000, nominalFOutput=50, nominalVBattery=24, ledRed=255, "
              "ledGreen=16, ledBlue=-7, random=1");

    // Everything comes back through the written form.
    vars.nightoffTimer = 30;
    DeviceVars back;
    back.fromJson(vars.toJson());
    EXPECT_EQ(back.toString(), vars.toString());
}

// Which JSON values count as true is pinned by the JSON value tests.
TEST(DeviceFlags, EachFlagHasItsOwnKeyAndBit) {
    expectEachFlagMapsToItsOwnKey<DeviceFlags>(25);
    expectEachFlagMapsToItsOwnKey<DeviceFailFlags>(12);
}

TEST(DeviceCapabilities, EachFlagReadsAndWritesItsOwnKey) {
    // The names in the order of the text form ("name = 0, ...").
    std::vector<std::string> names;
    const std::string all = DeviceCapabilities().toString() + ", ";
    for (std::size_t at = 0, eq; (eq = all.find(" = ", at)) != std::string::npos;
         at = all.find(", ", eq) + 2)
        names.push_back(all.substr(at, eq - at));
    ASSERT_EQ(names.size(), 30u);
    for (const std::string& name : names) {
        DeviceCapabilities caps;
        caps.fromJson(parse("{\"" + name + "\":true}"));
        const std::string text = ", " + caps.toString();
        EXPECT_EQ(count(text, " = 1"), 1) << name;
        EXPECT_NE(text.find(", " + name + " = 1"), std::string::npos) << name;
        const std::string written = name == "hasStandBy" ? "hasStandby" : name;
        EXPECT_EQ(compact(caps.toJson()), "{\"" + written + "\":1}");
    }

    // Stand-by is written under a key that does not read back as stand-by.
    DeviceCapabilities caps;
    caps.fromJson(parse(R"({"hasStandBy":1,"hasVInput":"TRUE","hasWakeUp":"yes"})"));
    EXPECT_EQ(compact(caps.toJson()), R"({"hasStandby":1,"hasVInput":1})");
    caps.fromJson(caps.toJson());
    EXPECT_FALSE(caps.hasStandBy);
    EXPECT_TRUE(caps.hasVInput);
}

TEST(DeviceConfig, ServiceFormTextAndAssign) {
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

    // The text lists every part; assign replaces everything.
    DeviceConfig source;
    source.fromJson(parse(R"({"family":2,"model":7,"name":"SPS","caps":{"hasVInput":1}})"));
    source.ranges.emplace_back(0x10, 16);
    source.ranges.emplace_back(0x12345, 2);
    source.aliases["b"] = DeviceAlias("bit", 0x20, 0);
    source.aliases["a"] = DeviceAlias("word", 0x1F);
    source.consts["k"] = DevicePair("k", "v");
    source.vars["x"] = DevicePair("x", "1");
    const std::string text =
        "\nFamily = 2\nModel  = 7\nName   = SPS\nCaps   : {" + source.caps.toString() +
        "}\nRanges : [{Start = 0010, Size = 16},{Start = 12345, Size = 2}]\n"
        "Aliases: [{\"word\" = \"001F\"},{\"bit\" = \"0020\", bit = 0}]\n"
        "Consts : [{\"k\" = \"v\"}]\nVars   : [{\"x\" = \"1\"}]\nFlags  : []\nActions: []\n";
    EXPECT_EQ(source.toString(), text);

    DeviceConfig target;
    target.actions["stale"] = DevicePair("stale", "");
    target.assign(source);
    EXPECT_EQ(target.toString(), text);
    target.assign(target);
    EXPECT_EQ(target.toString(), text);

    // JSON never carries the register-level description.
    target.fromJson(target.toJson());
    EXPECT_TRUE(target.ranges.empty());
    EXPECT_TRUE(target.vars.empty());
}
