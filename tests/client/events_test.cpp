// Change events end to end: changes made in the simulator (or through the
// library's commands) reach the callers of waitEvents() and the registered
// callbacks. Cycles are run by refreshHost, so each step's events are known.
#include <atomic>
#include <future>
#include <set>
#include <stdexcept>

#include "ClientFixture.h"

namespace {

using namespace clienttest;

// The events of the next cycle of the handle's first host.
CustoviaEvents cycleEvents(CustoviaHandle h) {
    EXPECT_EQ(refreshHost(h, nullptr, 10000), 1);
    CustoviaEvents events;
    waitEvents(h, &events, 0);
    return events;
}

std::set<std::string> devicesWith(const CustoviaEvents& events, const std::string& kind,
                                  const std::string& name) {
    std::set<std::string> devices;
    for (const auto& event : events) {
        if (event.kindName == kind && event.name == name) {
            devices.insert(event.device);
        }
    }
    return devices;
}

TEST(Events, OutageCountdownSettingsAndRemovalAreReportedOnceEachAndAFullQueueDropsTheOldest) {
    Connected c(3);
    const std::vector<std::string> ids = c.sim.deviceIds();
    const std::set<std::string> all(ids.begin(), ids.end()), one{ids.front()};
    // The first cycle announces the units and nothing of their state.
    ASSERT_EQ(c.appeared.size(), 3u);
    EXPECT_EQ(devicesWith(c.appeared, "deviceAppeared", ""), all);
    uint64_t seq = 0;
    for (const auto& event : c.appeared) {
        EXPECT_EQ(event.seq, ++seq);
        EXPECT_EQ(event.host + " " + event.computer, c.sim.address() + " localhost");
        EXPECT_GT(event.timeMs, 0);
    }
    EXPECT_TRUE(cycleEvents(c.h).empty()) << "an unchanged state gives no event";

    c.sim.setOutage(true);
    CustoviaEvents outage = cycleEvents(c.h);
    EXPECT_EQ(devicesWith(outage, "flagRaised", "opBattery"), all);
    for (const auto& event : outage) {
        if (event.name == "opBattery") {
            EXPECT_EQ(event.kind, CustoviaEventKind::flagRaised);
            EXPECT_EQ(event.oldValue + " " + event.newValue, "0 1");
            custovia::Device unit;
            ASSERT_EQ(getDevice(c.h, nullptr, nullptr, event.device.c_str(), &unit), 1);
            EXPECT_EQ(event.text, unit.userName + " (" + unit.id + ") is on battery");
        }
        EXPECT_GT(event.seq, seq);
        seq = event.seq;
    }
    c.sim.setOutage(false);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "flagCleared", "opBattery"), all);

    const char* unit = ids.front().c_str();
    ASSERT_EQ(manualDevShutdown(c.h, nullptr, nullptr, unit), 1);
    ASSERT_EQ(devicesWith(cycleEvents(c.h), "countdownStarted", "countdown"), one);
    ASSERT_EQ(cancelDevShutdown(c.h, nullptr, nullptr, unit), 1);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "countdownStopped", "countdown"), one);

    custovia::DeviceShutCfg shutdown;
    ASSERT_EQ(devShutdownConfig(c.h, nullptr, nullptr, unit, &shutdown), 1);
    shutdown.counterManual += 60;
    ASSERT_EQ(updDevShutdownConfig(c.h, nullptr, nullptr, unit, &shutdown), 1);
    CustoviaEvents settings = cycleEvents(c.h);
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].kind, CustoviaEventKind::settingsChanged);
    EXPECT_EQ(settings[0].name, "shutdown.counterManual");
    EXPECT_EQ(settings[0].newValue, std::to_string(shutdown.counterManual));

    ASSERT_EQ(deleteDevice(c.h, nullptr, nullptr, unit), 1);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "deviceRemoved", ""), one);

    // A full queue drops the oldest events and the next one counts them: the
    // two units left raise and clear at least four flags.
    ASSERT_EQ(codes({setEventQueueLimit(c.h, 0), setEventQueueLimit(c.h, 2)}), "-202 1");
    c.sim.setOutage(true);
    ASSERT_EQ(refreshHost(c.h, nullptr, 10000), 1);
    c.sim.setOutage(false);
    ASSERT_EQ(refreshHost(c.h, nullptr, 10000), 1);
    CustoviaEvents kept;
    ASSERT_EQ(waitEvents(c.h, &kept, 0), 2);
    EXPECT_GE(kept[0].lost, 2u);
    EXPECT_GT(kept[0].seq, seq + 7 + kept[0].lost) << "the dropped events kept their numbers";
    EXPECT_EQ(kept[1].lost, 0u);
    EXPECT_EQ(kept[1].seq, kept[0].seq + 1);
    // Nothing is left: an empty wait returns after its time-out.
    EXPECT_EQ(codes({waitEvents(c.h, &kept, 20), waitEvents(c.h, &kept, -1),
                     waitEvents(c.h, nullptr, 0)}),
              "0 -202 -202");
}

// A callback's record of what it got; while the test holds `gate`, a call
// waits inside.
struct Listener {
    std::mutex gate;
    std::vector<CustoviaEvent> events;  // guarded by gate
    std::atomic<bool> inside{false};
    int throwsLeft = 0;

    static void CUSTOVIA_CALL onEvent(const CustoviaEvent* event, void* context) {
        auto* self = static_cast<Listener*>(context);
        self->inside = true;
        std::lock_guard<std::mutex> pass(self->gate);
        self->events.push_back(*event);
        self->inside = false;
        if (self->throwsLeft > 0) {
            --self->throwsLeft;
            throw std::runtime_error("listener failed");
        }
    }
};

TEST(EventCallbacks,
     RunInOrderSurviveAThrowHoldOnlyTheirHandleRemovingOrClosingWaitsAndMayRemoveThemselves) {
    Connected a(2);
    auto b = std::make_unique<Connected>(2);
    Listener blocked, free;
    free.throwsLeft = 1;
    ASSERT_EQ(addEventCallback(a.h, nullptr, nullptr), -202);
    const int32_t idA = addEventCallback(a.h, &Listener::onEvent, &blocked);
    ASSERT_GE(idA, 1);
    ASSERT_GE(addEventCallback(b->h, &Listener::onEvent, &free), 1);

    blocked.gate.lock();
    a.sim.setOutage(true);
    ASSERT_EQ(refreshHost(a.h, nullptr, 10000), 1);
    ASSERT_TRUE(waitFor([&] { return blocked.inside.load(); }));

    // Handle b's events arrive while a's callback is held; the first call
    // throws and the second still comes.
    b->sim.setOutage(true);
    ASSERT_EQ(refreshHost(b->h, nullptr, 10000), 1);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(free.gate);
        return free.events.size() >= 2 && free.events[0].seq < free.events[1].seq;
    }));

    // Removing the held callback cannot return before its call has ended.
    auto removed = std::async(std::launch::async, [&] { return removeEventCallback(a.h, idA); });
    blocked.gate.unlock();
    EXPECT_EQ(removed.get(), 1);
    EXPECT_FALSE(blocked.inside);
    EXPECT_EQ(removeEventCallback(a.h, idA), -302);

    // Closing a handle while a call is held waits for it as well.
    free.gate.lock();
    b->sim.setOutage(false);
    ASSERT_EQ(refreshHost(b->h, nullptr, 10000), 1);
    ASSERT_TRUE(waitFor([&] { return free.inside.load(); }));
    auto closed = std::async(std::launch::async, [&] { b.reset(); });
    free.gate.unlock();
    closed.get();
    EXPECT_FALSE(free.inside);

    // A callback that unregisters itself and disconnects its host from the
    // dispatcher thread does not wait for itself.
    struct SelfRemover {
        CustoviaHandle handle;
        int32_t id = 0;
        std::atomic<int> calls{0}, results{0};
        static void CUSTOVIA_CALL onEvent(const CustoviaEvent*, void* context) {
            auto* self = static_cast<SelfRemover*>(context);
            if (self->calls++ == 0) {
                self->results = removeEventCallback(self->handle, self->id) +
                                disconnectCli(self->handle, nullptr);
            }
        }
    } self{a.h};
    self.id = addEventCallback(a.h, &SelfRemover::onEvent, &self);
    a.sim.setOutage(false);
    ASSERT_EQ(refreshHost(a.h, nullptr, 10000), 1);
    ASSERT_TRUE(waitFor([&] { return self.results == 2; }));
    EXPECT_EQ(self.calls, 1) << "no call after unregistering";
    EXPECT_EQ(getHostCount(a.h, nullptr), 0);
}

}  // namespace
