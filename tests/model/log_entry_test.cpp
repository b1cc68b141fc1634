// Event history entries: the service's form, the written form and the text
// form in local time (each test sets the zone it formats in).
#include <gtest/gtest.h>

#include <string>

#include "TimeZone.h"
#include "model/LogEntry.h"
#include "tkl/Json.h"

using custovia::DeviceFailFlags;
using custovia::DeviceFlags;
using custovia::DeviceVars;
using custovia::LogEntry;

namespace {

const std::string serviceEntry =
    "{\"id\":\"AB12345678\",\"event\":17,\"dateTime\":1614853230123.9,"
    "\"vars\":{\"vInput\":230.5,\"cBattery\":87},"
    "\"flags\":{\"opBattery\":1,\"connected\":true},\"fail\":{\"overload\":true}}";

LogEntry readEntry(const std::string& text) {
    tkl::JsonDocument doc;
    doc.fromJson(text);
    LogEntry entry;
    entry.fromJson(doc.object());
    return entry;
}

std::string subRecords(const LogEntry& e) {
    return "vars: {" + e.vars.toString() + "}, flags: {" + e.flags.toString() + "}, fail: {" +
           e.fail.toString() + "}";
}

}  // namespace

TEST(LogEntry, ReadsEachSubObjectIntoItsOwnRecord) {
    const LogEntry entry = readEntry(serviceEntry);
    EXPECT_FLOAT_EQ(entry.vars.vInput, 230.5f);
    EXPECT_TRUE(entry.flags.opBattery);
    EXPECT_TRUE(entry.flags.connected);
    EXPECT_FALSE(entry.flags.loBattery);
    EXPECT_TRUE(entry.fail.overload);
    EXPECT_FALSE(entry.fail.overtemp);

    // A later read starts from scratch, and a missing event reads as 0.
    const LogEntry bare = readEntry("{\"id\":\"X\"}");
    EXPECT_EQ(bare.event, 0);
    EXPECT_FALSE(bare.flags.opBattery);
    EXPECT_FALSE(bare.fail.overload);
}

TEST(LogEntry, TextShowsLocalTimeAndOnlyKnownParts) {
    const LogEntry entry = readEntry(serviceEntry);
    {
        ScopedTimeZone utc("UTC0");
        EXPECT_EQ(entry.toString(), "id=AB12345678, dateTime=2021/03/04 10:20:30.123, event=17, " +
                                        subRecords(entry));
    }
    ScopedTimeZone minusThree(kMinusThree);
    EXPECT_EQ(entry.toString(),
              "id=AB12345678, dateTime=2021/03/04 07:20:30.123, event=17, " + subRecords(entry));

    const LogEntry empty;
    EXPECT_EQ(empty.toString(), "id=<unknown>, vars: {" + DeviceVars().toString() + "}, flags: {" +
                                    DeviceFlags().toString() + "}, fail: {" +
                                    DeviceFailFlags().toString() + "}");
}

TEST(LogEntry, WritesIdOnlyWithTenCharactersAndRoundTrips) {
    LogEntry entry = readEntry(serviceEntry);
    const tkl::JsonObject json = entry.toJson();
    EXPECT_EQ(json.value("id").toString(), "AB12345678");
    EXPECT_EQ(json.value("event").toString(), "17");
    EXPECT_EQ(json.value("dateTime").toString(), "1614853230123");
    // The sub-records come back through the written form.
    EXPECT_EQ(readEntry(json.toString()).toString(), LogEntry(entry).toString());

    entry.id = "AB1234567";
    EXPECT_FALSE(entry.toJson().contains("id"));
    entry.id = "AB123456789";
    EXPECT_FALSE(entry.toJson().contains("id"));
    EXPECT_EQ(LogEntry().toJson().value("event").toString(), "-1");
}
