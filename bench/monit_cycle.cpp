// One refresh cycle of the monitoring client against the simulator: time and
// requests for 1, 10 and 100 devices, the TCP connections the client opens,
// and how long stop() takes while the service hangs in the middle of a cycle.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"
#include "monit/MonitClient.h"
#include "sim/Simulator.h"

namespace {

using bench::Clock;
using bench::median;
using bench::millisecondsSince;
using bench::world;

void cycles(int devices) {
    custovia::sim::Simulator sim(world(devices));
    sim.start();
    custovia::MonitClient client;
    client.setRefreshInterval(3600 * 1000);
    client.start(sim.url().c_str());

    // The first cycle also learns the interface and every model description.
    std::uint64_t seq = sim.lastSeq();
    Clock::time_point begin = Clock::now();
    client.refreshNow();
    double first = millisecondsSince(begin);
    std::size_t firstRequests = sim.journalSince(seq).size();

    const int runs = devices >= 100 ? 20 : 50;
    std::vector<double> times;
    seq = sim.lastSeq();
    for (int i = 0; i < runs; ++i) {
        begin = Clock::now();
        client.refreshNow();
        times.push_back(millisecondsSince(begin));
    }
    std::size_t requests = sim.journalSince(seq).size() / runs;
    long connections = client.connectionCount();
    std::size_t cached = client.getDevices().size();
    client.stop();
    sim.stop();

    std::string name = "monit_cycle_" + std::to_string(devices) + "_devices";
    std::printf("%s_first_time: %.2f ms\n", name.c_str(), first);
    std::printf("%s_first_requests: %zu requests\n", name.c_str(), firstRequests);
    std::printf("%s_time: %.2f ms\n", name.c_str(), median(times));
    std::printf("%s_requests: %zu requests\n", name.c_str(), requests);
    std::printf("%s_per_request: %.1f us\n", name.c_str(), median(times) * 1000.0 / requests);
    std::printf("%s_connections: %ld connections (over %d cycles)\n", name.c_str(), connections,
                runs + 1);
    if (cached != static_cast<std::size_t>(devices)) {
        std::printf("%s_error: %zu devices cached\n", name.c_str(), cached);
    }
}

void stopWhileHanging() {
    custovia::sim::Simulator sim(world(10));
    sim.start();
    bench::hangHalfway(sim);

    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
        custovia::MonitClient client;
        client.setRefreshInterval(1);
        client.start(sim.url().c_str());
        Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (sim.hangingCount() == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (sim.hangingCount() == 0) {
            std::printf("monit_stop_hanging_error: the service never hung\n");
            return;
        }
        Clock::time_point begin = Clock::now();
        client.stop();
        times.push_back(millisecondsSince(begin));
        // Let the simulator notice the closed connection before the next run.
        deadline = Clock::now() + std::chrono::seconds(10);
        while (sim.hangingCount() != 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    sim.stop();
    std::printf("monit_stop_hanging_time: %.2f ms\n", median(times));
    std::printf("monit_stop_hanging_max_time: %.2f ms\n",
                *std::max_element(times.begin(), times.end()));
}

}  // namespace

int main() {
    for (int devices : {1, 10, 100}) {
        cycles(devices);
    }
    stopWhileHanging();
    return 0;
}
