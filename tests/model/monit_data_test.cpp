// The monitor snapshot and the flag comparison between two device states.
#include <gtest/gtest.h>

#include <string>

#include "model/MonitData.h"
#include "model/MonitFlagsComparator.h"
#include "tkl/Json.h"

using custovia::Device;
using custovia::DeviceFailFlags;
using custovia::DeviceFlags;
using custovia::MonitData;
using custovia::MonitFlagsComparator;
using custovia::Regressive;
using custovia::RegressiveCause;

namespace {

// A flag record with every flag its JSON form knows set.
template <typename Flags>
Flags allSet() {
    tkl::JsonObject json;
    for (const std::string& key : Flags().toJson().keys())
        json.insert(key, tkl::JsonValue(1));
    Flags flags;
    flags.fromJson(json);
    return flags;
}

const std::string idleCounter =
    "\nregressive: [{cause=Manual, value=-1}, {cause=EndAutonomy, value=-1}, "
    "{cause=LoBattery, value=-1}, {cause=Failure, value=-1}, {cause=Scheduled, value=-1}]\n";

}  // namespace

TEST(MonitFlagsComparator, ReportsEachFlagThatChangedInTheRightDirection) {
    Device before;
    Device after;
    MonitFlagsComparator cmp;
    cmp.compare(before, after);
    EXPECT_EQ(cmp.flagsOn().toJson(), DeviceFlags().toJson());
    EXPECT_EQ(cmp.failOff().toJson(), DeviceFailFlags().toJson());

    after.status.opBattery = true;
    before.failures.overload = true;
    before.status.connected = true;
    after.status.connected = true;
    cmp.compare(before, after);
    DeviceFlags expectOn;
    expectOn.opBattery = true;
    DeviceFailFlags expectOff;
    expectOff.overload = true;
    EXPECT_EQ(cmp.flagsOn().toJson(), expectOn.toJson());
    EXPECT_EQ(cmp.flagsOff().toJson(), DeviceFlags().toJson());
    EXPECT_EQ(cmp.failOff().toJson(), expectOff.toJson());
    EXPECT_EQ(cmp.failOn().toJson(), DeviceFailFlags().toJson());

    // Every one of the flags is compared, and a new comparison forgets the
    // previous result.
    Device none;
    Device all;
    all.status = allSet<DeviceFlags>();
    all.failures = allSet<DeviceFailFlags>();
    cmp.compare(none, all);
    EXPECT_EQ(cmp.flagsOn().toJson(), all.status.toJson());
    EXPECT_EQ(cmp.failOn().toJson(), all.failures.toJson());
    EXPECT_EQ(cmp.flagsOff().toJson(), DeviceFlags().toJson());
    cmp.compare(all, none);
    EXPECT_EQ(cmp.flagsOff().toJson(), all.status.toJson());
    EXPECT_EQ(cmp.failOff().toJson(), all.failures.toJson());
    EXPECT_EQ(cmp.flagsOn().toJson(), DeviceFlags().toJson());
    EXPECT_EQ(cmp.failOn().toJson(), DeviceFailFlags().toJson());

    MonitFlagsComparator copy(cmp);
    cmp.clear();
    EXPECT_EQ(copy.flagsOff().toJson(), all.status.toJson());
    EXPECT_EQ(cmp.flagsOff().toJson(), DeviceFlags().toJson());
}

TEST(MonitData, TextListsEveryPartInOrder) {
    const MonitData data;
    EXPECT_EQ(data.toString(),
              "actualState: {" + Device().str() + "},\n" + "oldState: {" + data.oldState.str() +
                  "},\n" + "config: {" + data.config.str() + "},\n" + "shutCfg: {" +
                  custovia::DeviceShutCfg().str() + "},\n" + "actualRegressive: {" +
                  Regressive().str() + "},\n" + "oldRegressive: {" + Regressive().str() + "},\n" +
                  "regressiveCounter: {" + idleCounter + "},\n" + "remoteCtrlTimer = -1");
}

TEST(MonitData, ClearKeepsCountdownEntriesAndCopiesAreIndependent) {
    MonitData data;
    data.actualState.id = "UPS-1";
    data.shutCfg.counterManual = 99;
    data.regressiveCounter.start(RegressiveCause::LoBattery, 60000);
    data.actualRegressive = Regressive(RegressiveCause::Failure, true, 5, 3000, 4000, true);
    data.remoteCtrlTimer = 5000;

    MonitData copy(data);
    data.clear();

    EXPECT_EQ(data.regressiveCounter.str(), idleCounter);
    EXPECT_EQ(data.regressiveCounter.entries().size(), 5u);
    EXPECT_EQ(data.remoteCtrlTimer, -1);
    EXPECT_EQ(data.actualRegressive.cause(), RegressiveCause::Failure);
    EXPECT_EQ(data.actualRegressive.str(),
              "active=0, cause=4, value=-1, max=0, initial=0, inShutdown=0\n");
    EXPECT_EQ(data.shutCfg.counterManual, 20u);
    EXPECT_TRUE(data.actualState.id.empty());

    EXPECT_EQ(copy.actualState.id, "UPS-1");
    EXPECT_EQ(copy.shutCfg.counterManual, 99u);
    EXPECT_EQ(copy.regressiveCounter.current().cause(), RegressiveCause::LoBattery);
    EXPECT_EQ(copy.actualRegressive.value(), 3000);
    EXPECT_EQ(copy.remoteCtrlTimer, 5000);
}
