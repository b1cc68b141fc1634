// CPU cost of idle timers and the time their stop takes.
//
// 100 timers with a 3000 ms period sit idle for 10 s; the process CPU time
// they use is printed, then the time stopping all of them takes. For
// comparison the same number of threads polling the clock in 1 ms sleeps (the
// shape of a timer loop without a condition variable) run for 2 s, and their
// CPU time is scaled to 10 s.
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "tkl/Thread.h"

namespace {

using bench::Clock;
using bench::millisecondsSince;

constexpr int timerCount = 100;
constexpr uint32_t period = 3000;

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

class IdleTimer : public tkl::Timer {
public:
    ~IdleTimer() override { stop(); }
    void onTimeout(tkl::Timer*) override { calls++; }
    std::atomic<int> calls{0};
};

// A timer loop that polls: read the clock, sleep 1 ms, until stopped.
void pollingLoop(const std::atomic<bool>& stop) {
    Clock::time_point last = Clock::now();
    while (!stop) {
        if (Clock::now() >= last + std::chrono::milliseconds(period)) {
            last = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

int main() {
    std::vector<std::unique_ptr<IdleTimer>> timers;
    for (int i = 0; i < timerCount; ++i) {
        timers.push_back(std::make_unique<IdleTimer>());
        timers.back()->start(period);
    }
    double cpuStart = cpuMilliseconds();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    double idleCpu = cpuMilliseconds() - cpuStart;

    Clock::time_point stopStart = Clock::now();
    double slowest = 0;
    for (auto& timer : timers) {
        Clock::time_point one = Clock::now();
        timer->stop();
        slowest = std::max(slowest, millisecondsSince(one));
    }
    double stopAll = millisecondsSince(stopStart);

    std::atomic<bool> stop{false};
    std::vector<std::thread> pollers;
    for (int i = 0; i < timerCount; ++i) {
        pollers.emplace_back(pollingLoop, std::cref(stop));
    }
    cpuStart = cpuMilliseconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double pollingCpu = (cpuMilliseconds() - cpuStart) * 5;
    Clock::time_point pollStopStart = Clock::now();
    stop = true;
    for (std::thread& poller : pollers) {
        poller.join();
    }
    double pollingStop = millisecondsSince(pollStopStart);

    std::printf("timers_idle_cpu_100x3000ms_10s: %.1f ms\n", idleCpu);
    std::printf("timers_polling_1ms_cpu_100_10s: %.1f ms\n", pollingCpu);
    std::printf("timers_stop_all_100: %.3f ms\n", stopAll);
    std::printf("timers_stop_slowest: %.3f ms\n", slowest);
    std::printf("timers_polling_1ms_stop_all_100: %.3f ms\n", pollingStop);
    return 0;
}
