// The parts of a device record: measurements, status and failure flags, the
// model description and its capabilities.
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

// Reads each flag alone and checks that exactly that flag comes back, in the
// written JSON and under its own name in the text form: catches a key read
// into the wrong bit.
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

    vars.clear();
    vars.vInput = 230.5f;
    vars.icBattery = 3;
    vars.random = true;
    EXPECT_EQ(compact(vars.toJson()),
              R"({"cBattery":0,"fOutput":0,"iOutput":0,"icBattery":3,"ledBlue":0,"ledGreen":0,)"
              R"("ledRed":0,"nightoffTimer":-1,"nominalFOutput":0,"nominalPOutput":0,)"
              R"("nominalVBattery":0,"nominalVInput":0,"nominalVOutput":0,"pOutput":0,)"
              R"("random":1,"shutdownTimer":-1,"temperature":0,"vBattery":0,"vInput":230.5,)"
              R"("vOutput":0,"wakeupTimer":-1})");

    // A missing timer reads as 0, not as "not running".
    vars.fromJson(tkl::JsonObject());
    EXPECT_EQ(vars.shutdownTimer, 0);
    EXPECT_EQ(vars.nightoffTimer, 0);
    EXPECT_FALSE(vars.random);
}

TEST(DeviceFlags, FlagTextsAndValues) {
    DeviceFlags flags;
    flags.fromJson(parse(
        R"({"connected":"true","opBattery":"1","loBattery":true,"noBattery":"yes","noCalibrated":2})"));
    EXPECT_EQ(flags.toString(),
              "connected=1, inShutdown=0, opStartup=0, opBattery=1, opStandBy=0, opCheckup=0, "
              "opWarning=0, noVInput=0, loVInput=0, hiVInput=0, loFInput=0, hiFInput=0, "
              "noSyncInput=0, syncInput=0, noiseInput=0, hiPOutput=0, loBattery=1, maxBattery=0, "
              "noBattery=0, oldBattery=0, moreBattery=0, lessBattery=0, shutdownTimerActive=0, "
              "remoteControlActive=0, noCalibrated=1");
    DeviceFlags copy(flags);
    flags.clear();
    EXPECT_EQ(count(flags.toString(), "=1"), 0);
    EXPECT_EQ(count(copy.toString(), "=1"), 4);

    DeviceFailFlags failures;
    failures.fromJson(parse(R"({"fan":1,"abnormalVBattery":"TRUE"})"));
    EXPECT_EQ(failures.toString(),
              "overtemp=0, internal=0, overload=0, shortcircuit=0, inverter=0, fan=1, "
              "tiristor=0, endBattery=0, loVInput=0, abnormalVOutput=0, hiPOutput=0, "
              "abnormalVBattery=1");
}

TEST(DeviceFlags, EachFlagHasItsOwnKeyAndBit) {
    expectEachFlagMapsToItsOwnKey<DeviceFlags>(25);
    expectEachFlagMapsToItsOwnKey<DeviceFailFlags>(12);
}

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
