// How long a change in the simulator takes to reach an event callback, with
// the refresh timer at its normal period: at most one period plus the cycle
// and the hand-over to the dispatcher thread.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"
#include "client/custovia.h"
#include "client/custovia_ext.h"

namespace {

struct Arrivals {
    std::mutex mutex;
    std::condition_variable changed;
    int onBattery = 0;
    int onMains = 0;
    bench::Clock::time_point last;

    static void CUSTOVIA_CALL onEvent(const CustoviaEvent* event, void* context) {
        auto* self = static_cast<Arrivals*>(context);
        if (event->name != "opBattery") {
            return;
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        (event->kind == CustoviaEventKind::flagRaised ? self->onBattery : self->onMains)++;
        self->last = bench::Clock::now();
        self->changed.notify_all();
    }
};

}  // namespace

int main() {
    const int devices = 100;
    custovia::sim::Simulator sim(bench::world(devices));
    sim.start();
    CustoviaHandle h = openCli();
    connectCli(h, sim.url().c_str());
    if (refreshHost(h, nullptr, 30000) != 1) {
        std::fprintf(stderr, "no first refresh\n");
        return 1;
    }
    Arrivals arrivals;
    addEventCallback(h, &Arrivals::onEvent, &arrivals);

    std::vector<double> latencies;
    for (int i = 0; i < 6; ++i) {
        const bool outage = i % 2 == 0;
        std::unique_lock<std::mutex> lock(arrivals.mutex);
        const int before = outage ? arrivals.onBattery : arrivals.onMains;
        const auto changed = bench::Clock::now();
        sim.setOutage(outage);
        // Every unit's event, the last one's arrival counts.
        if (!arrivals.changed.wait_for(lock, std::chrono::seconds(20), [&] {
                return (outage ? arrivals.onBattery : arrivals.onMains) - before == devices;
            })) {
            std::fprintf(stderr, "events missing\n");
            return 1;
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(arrivals.last - changed).count());
    }
    closeCli(h);
    std::printf("event_latency_100_devices_median: %.0f ms\n", bench::median(latencies));
    std::printf("event_latency_100_devices_max: %.0f ms\n", bench::percentile(latencies, 1.0));
    std::printf("event_latency_refresh_period: 3000 ms\n");
    return 0;
}
