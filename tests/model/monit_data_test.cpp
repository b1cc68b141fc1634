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

// The four results of a comparison as one text: flags raised, flags cleared,
// failures raised, failures cleared.
std::string results(const MonitFlagsComparator& cmp) {
    return cmp.flagsOn().toString() + " | " + cmp.flagsOff().toString() + " | " +
           cmp.failOn().toString() + " | " + cmp.failOff().toString();
}

}  // namespace

TEST(MonitFlagsComparator, ReportsEachFlagThatChangedInTheRightDirection) {
    // Every one of the flags is compared; a flag set on both sides is no
    // change, and a new comparison forgets the previous result.
    Device none;
    Device all;
    all.status = allSet<DeviceFlags>();
    all.failures = allSet<DeviceFailFlags>();
    Device statusOnly;
    statusOnly.status = all.status;
    Device failuresOnly;
    failuresOnly.failures = all.failures;
    const std::string flags = all.status.toString();
    const std::string noFlags = DeviceFlags().toString();
    const std::string fails = all.failures.toString();
    const std::string noFails = DeviceFailFlags().toString();

    MonitFlagsComparator cmp;
    cmp.compare(none, all);
    EXPECT_EQ(results(cmp), flags + " | " + noFlags + " | " + fails + " | " + noFails);
    cmp.compare(all, none);
    EXPECT_EQ(results(cmp), noFlags + " | " + flags + " | " + noFails + " | " + fails);
    cmp.compare(statusOnly, failuresOnly);
    EXPECT_EQ(results(cmp), noFlags + " | " + flags + " | " + fails + " | " + noFails);
    MonitFlagsComparator copy(cmp);
    cmp.compare(all, all);
    EXPECT_EQ(results(cmp), noFlags + " | " + noFlags + " | " + noFails + " | " + noFails);
    EXPECT_EQ(results(copy), noFlags + " | " + flags + " | " + fails + " | " + noFails);
    copy.clear();
    EXPECT_EQ(results(copy), results(cmp));
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
