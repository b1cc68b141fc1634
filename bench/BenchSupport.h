// Helpers shared by the benchmarks: elapsed times on the steady clock, order
// statistics of a series of measurements, the process's resident memory and
// the CPU time of processes and threads.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

inline double microsecondsSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
}

// The value below which `fraction` of the (non-empty) series lies.
inline double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(values.size() * fraction))];
}

inline double median(std::vector<double> values) {
    return percentile(std::move(values), 0.5);
}

// Resident memory of this process in KiB.
inline long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Time on a CPU of each thread of a process, by thread id, in milliseconds
// (the scheduler's own count in nanoseconds, finer than the clock ticks of
// /proc/.../stat); `pid` 0 is this process.
inline std::map<long, double> threadCpuMs(pid_t pid = 0) {
    const std::string tasks =
        pid == 0 ? std::string("/proc/self/task") : "/proc/" + std::to_string(pid) + "/task";
    std::map<long, double> threads;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') {
                continue;
            }
            std::ifstream f(tasks + "/" + e->d_name + "/schedstat");
            double ns = 0;
            if (f >> ns) {
                threads[std::atol(e->d_name)] = ns / 1e6;
            }
        }
        closedir(dir);
    }
    return threads;
}

// Time on a CPU of a whole process in milliseconds.
inline double processCpuMs(pid_t pid) {
    double sum = 0;
    for (const auto& t : threadCpuMs(pid)) {
        sum += t.second;
    }
    return sum;
}

// Time on a CPU since `before` (from threadCpuMs()) of this process's
// threads for which `counts(thread id)` is true, in milliseconds. A thread
// started after `before` counts from its start.
template <typename Counts>
double threadCpuSince(const std::map<long, double>& before, Counts counts) {
    double sum = 0;
    for (const auto& t : threadCpuMs()) {
        if (!counts(t.first)) {
            continue;
        }
        auto b = before.find(t.first);
        sum += t.second - (b == before.end() ? 0 : b->second);
    }
    return sum;
}

}  // namespace bench
