// `custovia events` without a service: the hold filter, the lines, and the program per event.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>

#include "../LoopbackTestSupport.h"
#include "../TextChecks.h"
#include "cli/Events.h"
#include "cli/Process.h"

using namespace custovia::cli;

namespace {

CustoviaEvent event(uint64_t seq, CustoviaEventKind kind, const std::string& name, int64_t timeMs) {
    CustoviaEvent e;
    e.seq = seq;
    e.kind = kind;
    e.kindName = kind == CustoviaEventKind::flagRaised    ? "flagRaised"
                 : kind == CustoviaEventKind::flagCleared ? "flagCleared"
                                                          : "deviceAppeared";
    e.timeMs = timeMs;
    e.host = "127.0.0.1";
    e.computer = "localhost";
    e.device = "SIM1";
    e.name = name;
    return e;
}

TEST(EventHoldTest, AShortBlipIsSuppressedAndALongOneReportedOnceItHeld) {
    HoldFilter hold(10000);
    using K = CustoviaEventKind;
    auto add = [&](uint64_t seq, K kind, const char* name, int64_t t) {
        return hold.add(event(seq, kind, name, t), t);
    };
    // Held for the full time: reported then, and its end reported too.
    EXPECT_TRUE(add(1, K::flagRaised, "opBattery", 30000).empty());
    EXPECT_EQ(hold.nextDueIn(30000), 10000);
    EXPECT_TRUE(hold.due(39999).empty());
    auto due = hold.due(40000);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].seq, 1u);
    auto cleared = add(2, K::flagCleared, "opBattery", 50000);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].seq, 2u);

    // A blip reports neither end and leaves nothing held; other kinds pass at once, with the
    // blip's lost count.
    auto blip = event(3, K::flagRaised, "loBattery", 60000);
    blip.lost = 7;
    EXPECT_TRUE(hold.add(blip, 60000).empty());
    EXPECT_TRUE(add(4, K::flagCleared, "loBattery", 61000).empty());
    EXPECT_EQ(hold.nextDueIn(61000), -1);
    auto next = add(5, K::deviceAppeared, "", 62000);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].lost, 7u);

    HoldFilter none(0);
    EXPECT_EQ(none.add(event(6, K::flagRaised, "opBattery", 0), 0).size(), 1u);
}

TEST(EventProgramTest, TheProgramGetsTheEventAndItsFailuresAreReported) {
    loopback_test::TempDir dir;
    std::string record = dir.script(
        "record", "echo \"$CUSTOVIA_EVENT|$CUSTOVIA_DEVICE|$CUSTOVIA_HOST|$CUSTOVIA_TEXT|$0\" > '" +
                      dir.path() + "/got'");
    auto e = event(1, CustoviaEventKind::flagRaised, "opBattery", 1000);
    e.text = "UPS 1 (SIM1) is on battery; $(no shell) 'quoted'";
    EXPECT_TRUE(runProgram(record, eventEnvironment(e), 10000).started);
    EXPECT_EQ(dir.read("got"), "flagRaised|SIM1|127.0.0.1|" + e.text + "|" + record + "\n");

    ProgramResult missing = runProgram(dir.path() + "/no-such-program", {}, 10000);
    EXPECT_HAS(programFailure(missing, 10000), "could not start");

    // A program that hangs, with a child of its own, is ended at the time-out.
    ProgramResult hung = runProgram(dir.script("hang", "sleep 60 & sleep 60"), {}, 300);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_HAS(programFailure(hung, 300), "timed out after 0.3 s");
}

TEST(EventStreamTest, AFailingProgramDoesNotStopTheStream) {
    loopback_test::TempDir dir;
    std::string program = dir.script(
        "count", "echo $CUSTOVIA_SEQ >> '" + dir.path() + "/seen'; exit $((CUSTOVIA_SEQ % 2))");
    int calls = 0;
    EventSource source = [&](CustoviaEvents* out, int32_t) {
        ++calls;
        out->push_back(event(static_cast<uint64_t>(calls), CustoviaEventKind::deviceAppeared, "",
                             1000 * calls));
        return 1;
    };
    EventOptions options;
    options.json = true;
    options.count = 3;
    options.exec = program;
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(streamEvents(source, options, out, err, stop), 0);
    EXPECT_EQ(dir.read("seen"), "1\n2\n3\n");
    // A failure names the event and how the program ended; a success says nothing.
    EXPECT_HAS(err.str(), "for event 1 (deviceAppeared): exited with status 1");
    EXPECT_EQ(err.str().find("for event 2"), std::string::npos);
    const std::string lines = out.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);

    // A source that fails ends the stream with its status.
    EventSource broken = [](CustoviaEvents*, int32_t) { return -302; };
    EXPECT_EQ(streamEvents(broken, EventOptions(), out, err, stop), -302);
}

}  // namespace
