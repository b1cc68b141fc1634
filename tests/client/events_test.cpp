// Change events end to end: changes made in the simulator (or through the
// library's commands) reach the callers of waitEvents() and the registered
// callbacks. Cycles are run by refreshHost, so each step's events are known.
#include <atomic>
#include <condition_variable>
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

struct Connected {
    explicit Connected(int devices) : sim(simOptions(devices)) {
        sim.start();
        EXPECT_EQ(connectCli(h, sim.url().c_str()), 1);
        ids = sim.deviceIds();
        appeared = cycleEvents(h);
    }
    custovia::sim::Simulator sim;
    Handle h;
    std::vector<std::string> ids;
    CustoviaEvents appeared;
};

TEST(Events, OutageCountdownSettingsAndRemovalAreReportedOnceEach) {
    Connected c(3);
    const std::set<std::string> all(c.ids.begin(), c.ids.end());
    // The first cycle announces the units and nothing of their state.
    ASSERT_EQ(c.appeared.size(), 3u);
    EXPECT_EQ(devicesWith(c.appeared, "deviceAppeared", ""), all);
    uint64_t seq = 0;
    for (const auto& event : c.appeared) {
        EXPECT_EQ(event.seq, ++seq);
        EXPECT_EQ(event.host + " " + event.computer, c.sim.address() + " localhost");
        EXPECT_GT(event.timeMs, 0);
        EXPECT_EQ(event.lost, 0u);
    }
    EXPECT_TRUE(cycleEvents(c.h).empty()) << "an unchanged state gives no event";

    c.sim.setOutage(true);
    CustoviaEvents outage = cycleEvents(c.h);
    EXPECT_EQ(devicesWith(outage, "flagRaised", "opBattery"), all);
    for (const auto& event : outage) {
        if (event.name == "opBattery") {
            EXPECT_EQ(event.kind, CustoviaEventKind::flagRaised);
            EXPECT_EQ(event.oldValue, "0");
            EXPECT_EQ(event.newValue, "1");
            custovia::Device unit;
            ASSERT_EQ(getDevice(c.h, nullptr, nullptr, event.device.c_str(), &unit), 1);
            EXPECT_EQ(event.text, unit.userName + " (" + unit.id + ") is on battery");
        }
        EXPECT_GT(event.seq, seq);
        seq = event.seq;
    }
    c.sim.setOutage(false);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "flagCleared", "opBattery"), all);

    const std::string& unit = c.ids.front();
    ASSERT_EQ(manualDevShutdown(c.h, nullptr, nullptr, unit.c_str()), 1);
    CustoviaEvents started = cycleEvents(c.h);
    ASSERT_EQ(devicesWith(started, "countdownStarted", "countdown"), std::set<std::string>{unit});
    ASSERT_EQ(cancelDevShutdown(c.h, nullptr, nullptr, unit.c_str()), 1);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "countdownStopped", "countdown"),
              std::set<std::string>{unit});

    custovia::DeviceShutCfg shutdown;
    ASSERT_EQ(devShutdownConfig(c.h, nullptr, nullptr, unit.c_str(), &shutdown), 1);
    shutdown.counterManual += 60;
    ASSERT_EQ(updDevShutdownConfig(c.h, nullptr, nullptr, unit.c_str(), &shutdown), 1);
    CustoviaEvents settings = cycleEvents(c.h);
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].kind, CustoviaEventKind::settingsChanged);
    EXPECT_EQ(settings[0].name, "shutdown.counterManual");
    EXPECT_EQ(settings[0].newValue, std::to_string(shutdown.counterManual));

    ASSERT_EQ(deleteDevice(c.h, nullptr, nullptr, unit.c_str()), 1);
    EXPECT_EQ(devicesWith(cycleEvents(c.h), "deviceRemoved", ""), std::set<std::string>{unit});
}

TEST(Events, AFullQueueDropsTheOldestAndTheNextEventCountsThem) {
    Connected c(4);
    ASSERT_EQ(setEventQueueLimit(c.h, 0), -202);
    ASSERT_EQ(setEventQueueLimit(c.h, 2), 1);
    c.sim.setOutage(true);
    ASSERT_EQ(refreshHost(c.h, nullptr, 10000), 1);
    c.sim.setOutage(false);
    ASSERT_EQ(refreshHost(c.h, nullptr, 10000), 1);
    CustoviaEvents kept;
    ASSERT_EQ(waitEvents(c.h, &kept, 0), 2);
    // At least the four raised and four cleared flags were produced.
    EXPECT_GE(kept[0].lost, 6u);
    EXPECT_EQ(kept[1].lost, 0u);
    EXPECT_EQ(kept[1].seq, kept[0].seq + 1);
    EXPECT_GE(kept[0].seq, 4u + 8u - 1u);
    // Nothing is left; an empty wait returns after its time-out.
    EXPECT_EQ(waitEvents(c.h, &kept, 20), 0);
    EXPECT_EQ(waitEvents(c.h, &kept, -1), -202);
    EXPECT_EQ(waitEvents(c.h, nullptr, 0), -202);
}

// A callback's record of what it got, and a gate that holds it while closed.
struct Listener {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CustoviaEvent> events;
    bool gateOpen = true;
    bool inside = false;
    int throwsLeft = 0;

    static void CUSTOVIA_CALL onEvent(const CustoviaEvent* event, void* context) {
        auto* self = static_cast<Listener*>(context);
        std::unique_lock<std::mutex> lock(self->mutex);
        self->inside = true;
        self->changed.notify_all();
        self->changed.wait(lock, [self] { return self->gateOpen; });
        self->events.push_back(*event);
        self->inside = false;
        self->changed.notify_all();
        if (self->throwsLeft > 0) {
            --self->throwsLeft;
            throw std::runtime_error("listener failed");
        }
    }
    bool waitUntil(const std::function<bool()>& condition) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(15), condition);
    }
    void setGate(bool open) {
        std::lock_guard<std::mutex> lock(mutex);
        gateOpen = open;
        changed.notify_all();
    }
};

TEST(EventCallbacks, RunInOrderSurviveAThrowHoldOnlyTheirHandleAndRemovingOrClosingWaits) {
    Connected a(2);
    auto b = std::make_unique<Connected>(2);
    Listener blocked;
    Listener free;
    free.throwsLeft = 1;
    ASSERT_EQ(addEventCallback(a.h, nullptr, nullptr), -202);
    const int32_t idA = addEventCallback(a.h, &Listener::onEvent, &blocked);
    ASSERT_GE(idA, 1);
    ASSERT_GE(addEventCallback(b->h, &Listener::onEvent, &free), 1);

    blocked.setGate(false);
    a.sim.setOutage(true);
    ASSERT_EQ(refreshHost(a.h, nullptr, 10000), 1);
    ASSERT_TRUE(blocked.waitUntil([&] { return blocked.inside; }));

    // Handle b's events arrive while a's callback is held; the first call
    // throws and the second still comes.
    b->sim.setOutage(true);
    ASSERT_EQ(refreshHost(b->h, nullptr, 10000), 1);
    ASSERT_TRUE(free.waitUntil([&] { return free.events.size() >= 2; }));
    EXPECT_LT(free.events[0].seq, free.events[1].seq);

    // Removing the held callback cannot return before its call has ended.
    auto removed = std::async(std::launch::async, [&] { return removeEventCallback(a.h, idA); });
    blocked.setGate(true);
    EXPECT_EQ(removed.get(), 1);
    EXPECT_FALSE(blocked.inside);
    EXPECT_EQ(removeEventCallback(a.h, idA), -302);

    // Closing a handle while a call is held waits for it as well.
    free.setGate(false);
    b->sim.setOutage(false);
    ASSERT_EQ(refreshHost(b->h, nullptr, 10000), 1);
    ASSERT_TRUE(free.waitUntil([&] { return free.inside; }));
    auto closed = std::async(std::launch::async, [&] { b.reset(); });
    free.setGate(true);
    closed.get();
    EXPECT_FALSE(free.inside);
}

// A callback that unregisters itself and disconnects its host from the
// dispatcher thread must not wait for itself.
struct SelfRemover {
    CustoviaHandle handle = nullptr;
    int32_t id = 0;
    std::atomic<int> calls{0};
    std::atomic<int> results{0};

    static void CUSTOVIA_CALL onEvent(const CustoviaEvent*, void* context) {
        auto* self = static_cast<SelfRemover*>(context);
        if (self->calls++ == 0) {
            self->results =
                removeEventCallback(self->handle, self->id) + disconnectCli(self->handle, nullptr);
        }
    }
};

TEST(EventCallbacks, ACallbackMayUnregisterItselfAndDisconnect) {
    Connected c(2);
    SelfRemover self;
    self.handle = c.h;
    self.id = addEventCallback(c.h, &SelfRemover::onEvent, &self);
    c.sim.setOutage(true);
    ASSERT_EQ(refreshHost(c.h, nullptr, 10000), 1);
    ASSERT_TRUE(waitFor([&] { return self.results == 2; }));
    EXPECT_EQ(self.calls, 1) << "no call after unregistering";
    EXPECT_EQ(getHostCount(c.h, nullptr), 0);
}

}  // namespace
