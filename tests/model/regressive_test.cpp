// Countdowns against the real tick counter; waits poll with a deadline, not a machine's speed.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "JsonText.h"
#include "WaitFor.h"
#include "model/Regressive.h"
#include "tkl/System.h"

using custovia::Regressive;
using custovia::RegressiveCause;
using custovia::RegressiveCounter;

using testsupport::waitFor;

const char* const kIdle = "active=0, cause=4, value=-1, max=0, initial=0, inShutdown=0\n";

TEST(Regressive, RunsDownToZeroStaysThereAndPausesWithoutLosingTime) {
    Regressive r(RegressiveCause::Failure);
    EXPECT_EQ(r.toString(), kIdle);

    r.setInShutdown(true);
    r.start(40);
    EXPECT_FALSE(r.inShutdown());
    EXPECT_EQ(r.value(), 40);
    const uint32_t started = r.initial();
    r.start(100000);  // already running: no restart
    EXPECT_EQ(r.max(), 40u);
    EXPECT_EQ(r.initial(), started);

    // It only goes down, to 0, and stays there.
    int32_t last = r.value();
    ASSERT_TRUE(waitFor(
        [&] {
            r.update();
            EXPECT_GE(r.value(), 0);
            EXPECT_LE(r.value(), last);
            return (last = r.value()) == 0;
        },
        std::chrono::seconds(10)));
    r.update();
    EXPECT_EQ(r.value(), 0);

    r.stop();
    EXPECT_EQ(r.value(), -1);
    r.activate();
    EXPECT_EQ(r.value(), 0);
    r.clear();
    EXPECT_EQ(r.toString(), kIdle);
}

TEST(Regressive, RemainingTimeFollowsTheTickCounterAcrossItsWrap) {
    // Started 0x1000 ms before the 32-bit counter wrapped, with a length that
    // ends 60 s after "now": the remaining time is about 60 s, not 2^32 more.
    const uint32_t now = tkl::System::getTicks();
    Regressive wrapped(RegressiveCause::Manual, true, 0xFFFFF000u, 1, 0x1000u + now + 60000u,
                       false);
    wrapped.update();
    EXPECT_GT(wrapped.value(), 30000);
    EXPECT_LE(wrapped.value(), 60000);

    // A deadline long passed reads 0, not a negative or a huge number.
    Regressive late(RegressiveCause::Manual, true, now - 10000u, 1, 5000u, false);
    late.update();
    EXPECT_EQ(late.value(), 0);
}

TEST(Regressive, JsonFormDerivesActiveFromTheValue) {
    Regressive r;
    r.fromJson(parse("{\"cause\":3,\"active\":true,\"value\":1500.7,\"inShutdown\":1}"));
    EXPECT_EQ(r.causeName(), "LoBattery");
    EXPECT_EQ(r.toString(), "active=1, cause=3, value=1500, max=0, initial=0, inShutdown=1\n");
    EXPECT_EQ(r.toJson().toString(), "{\"active\":1,\"cause\":3,\"inShutdown\":1,\"value\":1500}");

    // Paused with time left: still written as active.
    r.stop();
    EXPECT_EQ(r.toJson().toString(), "{\"active\":1,\"cause\":3,\"inShutdown\":1,\"value\":1500}");

    EXPECT_EQ(Regressive().toJson().toString(), "{\"cause\":0,\"value\":-1}");
    r.fromJson(parse("{\"cause\":42}"));
    EXPECT_EQ(r.causeName(), "42");
    EXPECT_EQ(r.value(), -1);
}

TEST(RegressiveCounter, CurrentIsTheLeastTimeLeftAndTheLowerCauseOnATie) {
    // A new counter has no current countdown (its text is pinned by the monitor data tests).
    RegressiveCounter counter;
    EXPECT_EQ(counter.current().cause(), RegressiveCause::None);
    EXPECT_EQ(counter.current().value(), -1);
    EXPECT_FALSE(counter.isActive());
    EXPECT_FALSE(counter.isExpired());
    counter.setInShutdown(true);  // nothing runs: nothing to mark
    EXPECT_FALSE(counter.inShutdown());

    counter.start(RegressiveCause::Scheduled, 300000);
    counter.start(RegressiveCause::Failure, 200000);
    counter.start(RegressiveCause::EndAutonomy, 200000);
    EXPECT_EQ(counter.current().cause(), RegressiveCause::EndAutonomy);
    EXPECT_TRUE(counter.isActive());

    counter.setInShutdown(true);
    EXPECT_TRUE(counter.inShutdown());
    counter.stop(RegressiveCause::EndAutonomy);
    EXPECT_EQ(counter.current().cause(), RegressiveCause::Failure);
    EXPECT_FALSE(counter.inShutdown());

    counter.start(RegressiveCause::Manual, 30);
    counter.update();
    EXPECT_EQ(counter.current().cause(), RegressiveCause::Manual);
    EXPECT_TRUE(
        waitFor([&] { return counter.update(), counter.isExpired(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(counter.isExpired(RegressiveCause::Manual));
    EXPECT_FALSE(counter.isExpired(RegressiveCause::Failure));

    counter.stopAll();
    EXPECT_EQ(counter.current().cause(), RegressiveCause::None);
    counter.activateAll();
    EXPECT_EQ(counter.current().cause(), RegressiveCause::Manual);
    counter.clearAll();
    EXPECT_FALSE(counter.isActive());
}

TEST(RegressiveCounter, UnknownCauseThrowsAndChangesNothing) {
    RegressiveCounter counter;
    const std::string before = counter.toString();
    EXPECT_THROW(counter.start(RegressiveCause::None, 100), std::out_of_range);
    EXPECT_THROW(counter.isActive(static_cast<RegressiveCause>(6)), std::out_of_range);
    EXPECT_THROW(counter.clear(static_cast<RegressiveCause>(-1)), std::out_of_range);
    EXPECT_EQ(counter.toString(), before);
}
