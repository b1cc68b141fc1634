// Event history entries (text in the local time of a zone each test sets), the monitor
// snapshot and the flag comparison between two device states.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "JsonText.h"
#include "TimeZone.h"
#include "model/LogEntry.h"
#include "model/MonitData.h"
#include "model/MonitFlagsComparator.h"

using namespace custovia;

namespace {

const std::string serviceEntry =
    "{\"id\":\"AB12345678\",\"event\":17,\"dateTime\":1614853230123.9,"
    "\"vars\":{\"vInput\":230.5,\"cBattery\":87},"
    "\"flags\":{\"opBattery\":1,\"connected\":true},\"fail\":{\"overload\":true}}";

std::string subRecords(const LogEntry& e) {
    return "vars: {" + e.vars.toString() + "}, flags: {" + e.flags.toString() + "}, fail: {" +
           e.fail.toString() + "}";
}

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

// A comparison's results as one text: flags raised, cleared, failures raised, cleared.
std::string results(const MonitFlagsComparator& cmp) {
    return cmp.flagsOn().toString() + " | " + cmp.flagsOff().toString() + " | " +
           cmp.failOn().toString() + " | " + cmp.failOff().toString();
}

}  // namespace

TEST(LogEntry, ReadsEachSubObjectIntoItsOwnRecordWritesAndShowsIt) {
    ScopedTimeZone minusThree(kMinusThree);
    LogEntry entry, back;
    entry.fromJson(parse(serviceEntry));
    EXPECT_FLOAT_EQ(entry.vars.vInput, 230.5f);
    EXPECT_TRUE(entry.flags.opBattery && entry.flags.connected && entry.fail.overload);
    EXPECT_FALSE(entry.flags.loBattery || entry.fail.overtemp);
    // Everything, the sub-records too, comes back through the written form.
    back.fromJson(parse(entry.toJson().toString()));
    EXPECT_EQ(back.toString(), entry.toString());

    // The text shows the local time and only the known parts.
    EXPECT_EQ(entry.toString(),
              "id=AB12345678, dateTime=2021/03/04 07:20:30.123, event=17, " + subRecords(entry));
    EXPECT_EQ(LogEntry().toString(), "id=<unknown>, " + subRecords(LogEntry()));

    // The id is written only with ten characters.
    entry.id = "AB1234567";
    EXPECT_FALSE(entry.toJson().contains("id"));
    entry.id = "AB123456789";
    EXPECT_FALSE(entry.toJson().contains("id"));

    // A later read starts from scratch, and a missing event reads as 0.
    entry.fromJson(parse("{\"id\":\"X\"}"));
    EXPECT_EQ(entry.event, 0);
    EXPECT_FALSE(entry.flags.opBattery || entry.fail.overload);
    EXPECT_EQ(LogEntry().toJson().value("event").toString(), "-1");
}

TEST(MonitFlagsComparator, ReportsEachFlagThatChangedInTheRightDirection) {
    // Every flag is compared; set on both sides is no change; a new comparison forgets the last.
    Device none, all, statusOnly, failuresOnly;
    all.status = allSet<DeviceFlags>();
    all.failures = allSet<DeviceFailFlags>();
    statusOnly.status = all.status;
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

    EXPECT_EQ(data.regressiveCounter.str(),
              "\nregressive: [{cause=Manual, value=-1}, {cause=EndAutonomy, value=-1}, "
              "{cause=LoBattery, value=-1}, {cause=Failure, value=-1}, {cause=Scheduled, "
              "value=-1}]\n");
    // The cause of the last countdown stays.
    EXPECT_EQ(data.actualRegressive.str(),
              "active=0, cause=4, value=-1, max=0, initial=0, inShutdown=0\n");
    EXPECT_EQ(std::tie(data.actualState.id, data.shutCfg.counterManual, data.remoteCtrlTimer),
              std::make_tuple("", 20u, -1));

    EXPECT_EQ(std::tie(copy.actualState.id, copy.shutCfg.counterManual, copy.remoteCtrlTimer),
              std::make_tuple("UPS-1", 99u, 5000));
    EXPECT_EQ(copy.regressiveCounter.current().cause(), RegressiveCause::LoBattery);
    EXPECT_EQ(copy.actualRegressive.value(), 3000);
}
