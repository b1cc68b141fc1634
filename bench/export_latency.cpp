// Read latency of the exported functions with 10 and 100 devices cached
// (getDeviceList, getDevice, getDeviceCount), and how long disconnectCli
// takes while the host's service hangs in the middle of a refresh.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"
#include "client/custovia.h"
#include "sim/Simulator.h"

namespace {

using bench::Clock;
using bench::microsecondsSince;
using bench::percentile;
using bench::world;

bool waitFor(CustoviaHandle handle, const char* host, int devices) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (getDeviceCount(handle, host, nullptr, nullptr) != devices) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

template <typename Call>
void measure(const std::string& name, int runs, Call call) {
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto begin = Clock::now();
        call(i);
        times.push_back(microsecondsSince(begin));
    }
    std::printf("%s: %.2f us\n", name.c_str(), percentile(times, 0.5));
    std::printf("%s_p99: %.2f us\n", name.c_str(), percentile(times, 0.99));
}

void reads(int devices) {
    custovia::sim::Simulator sim(world(devices));
    sim.start();
    CustoviaHandle handle = openCli();
    connectCli(handle, sim.url().c_str());
    const std::string host = sim.address();
    if (!waitFor(handle, host.c_str(), devices)) {
        std::printf("export_error: %d devices never cached\n", devices);
        closeCli(handle);
        return;
    }
    std::vector<std::string> ids;
    getDeviceCount(handle, host.c_str(), nullptr, &ids);

    {
        // Every measured call must succeed, or the figures mean nothing.
        CustoviaDevices list;
        custovia::Device device;
        if (getDeviceList(handle, host.c_str(), nullptr, &list) != 1 ||
            static_cast<int>(list.size()) != devices ||
            getDevice(handle, host.c_str(), nullptr, ids.at(0).c_str(), &device) != 1 ||
            device.id != ids[0]) {
            std::printf("export_error: the reads do not answer\n");
        }
    }
    const std::string suffix = "_" + std::to_string(devices) + "_devices";
    const int runs = devices >= 100 ? 2000 : 10000;
    measure("export_getDeviceList" + suffix, runs, [&](int) {
        CustoviaDevices list;
        getDeviceList(handle, host.c_str(), nullptr, &list);
    });
    measure("export_getDevice" + suffix, runs, [&](int i) {
        custovia::Device device;
        getDevice(handle, host.c_str(), nullptr, ids[i % ids.size()].c_str(), &device);
    });
    measure("export_getDeviceCount" + suffix, runs,
            [&](int) { getDeviceCount(handle, host.c_str(), nullptr, nullptr); });
    disconnectCli(handle, host.c_str());
    closeCli(handle);
    sim.stop();
}

void disconnectWhileHanging() {
    custovia::sim::Simulator sim(world(10));
    sim.start();
    bench::hangHalfway(sim);

    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        CustoviaHandle handle = openCli();
        connectCli(handle, sim.url().c_str());
        // The first refresh starts three seconds after connecting.
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (sim.hangingCount() == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (sim.hangingCount() == 0) {
            std::printf("export_disconnect_hanging_error: the service never hung\n");
            closeCli(handle);
            return;
        }
        const auto begin = Clock::now();
        disconnectCli(handle, nullptr);
        times.push_back(microsecondsSince(begin) / 1000.0);
        closeCli(handle);
        sim.releaseHangs();
        const auto settle = Clock::now() + std::chrono::seconds(10);
        while (sim.hangingCount() != 0 && Clock::now() < settle) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    sim.stop();
    std::printf("export_disconnect_hanging: %.2f ms\n", percentile(times, 0.5));
    std::printf("export_disconnect_hanging_max: %.2f ms\n",
                *std::max_element(times.begin(), times.end()));
}

}  // namespace

int main() {
    reads(10);
    reads(100);
    disconnectWhileHanging();
    return 0;
}
