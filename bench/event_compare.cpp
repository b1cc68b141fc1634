// The cost of finding a cycle's changes at 100 devices (the copy of the
// cache's units and settings and their comparison with the previous cycle)
// against the cycle's own time: for a quiet cycle, where nothing changed,
// and for one where a flag of every unit changed.
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"
#include "monit/MonitChanges.h"
#include "monit/MonitClient.h"

namespace {

// The same work as a cycle's end, on the cached data. `flip` turns the
// units' on-battery flag on and off from one round to the next.
std::vector<double> rounds(custovia::MonitClient& client, bool flip, std::size_t* found) {
    custovia::DeviceMap units = client.getDevices();
    custovia::MonitChanges changes;
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        custovia::MonitView view;
        const auto begin = bench::Clock::now();
        for (auto& unit : units) {
            unit.second.status.opBattery = flip && i % 2 == 1;
            view.devices.emplace(unit.first, unit.second);
            view.countdowns.emplace(unit.first, client.getRegressive(unit.first.c_str()));
            auto& settings = view.settings[unit.first];
            settings["mail"] = client.getMailConfig(unit.first.c_str()).toJson();
            settings["dialer"] = client.getDialerConfig(unit.first.c_str()).toJson();
            settings["shutdown"] = client.getShutdownConfig(unit.first.c_str()).toJson();
        }
        *found += changes.update(std::move(view), 0).size();
        if (i > 0) {
            times.push_back(bench::microsecondsSince(begin));
        }
    }
    return times;
}

}  // namespace

int main() {
    const int devices = 100;
    custovia::sim::Simulator sim(bench::world(devices));
    sim.start();
    custovia::MonitClient client;
    client.setRefreshInterval(3600 * 1000);
    client.start(sim.url().c_str());
    client.refreshNow();

    std::vector<double> cycles;
    for (int i = 0; i < 20; ++i) {
        const auto begin = bench::Clock::now();
        client.refreshNow();
        cycles.push_back(bench::millisecondsSince(begin));
    }
    std::size_t quietEvents = 0;
    std::size_t busyEvents = 0;
    const double quiet = bench::median(rounds(client, false, &quietEvents));
    const double busy = bench::median(rounds(client, true, &busyEvents));
    client.stop();
    const double cycle = bench::median(cycles) * 1000.0;
    std::printf("event_compare_100_devices_cycle_time: %.0f us\n", cycle);
    std::printf("event_compare_100_devices_quiet_time: %.0f us\n", quiet);
    std::printf("event_compare_100_devices_quiet_share: %.1f %%\n", 100.0 * quiet / cycle);
    std::printf("event_compare_100_devices_busy_time: %.0f us\n", busy);
    std::printf("event_compare_100_devices_busy_share: %.1f %%\n", 100.0 * busy / cycle);
    std::printf("event_compare_100_devices_busy_events: %zu events\n", busyEvents - devices);
    return quietEvents == static_cast<std::size_t>(devices) ? 0 : 1;
}
