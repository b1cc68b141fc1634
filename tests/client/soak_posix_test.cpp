// Several hosts of one simulator, every fault kind injected at random, callers
// reading all the while and hosts disconnected and connected again. Reads
// always answer the last known data, disconnects return within a second and
// memory stays flat. CUSTOVIA_SOAK_SECONDS sets the length (default 15 s);
// scripts/soak runs the long form.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/custovia.h"
#include "sim/Simulator.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SOAK_SANITIZED 1
#endif
#endif

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace sim = custovia::sim;

constexpr int kHosts = 4;
constexpr int kDevices = 3;

double msSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// Resident memory of this process in KiB.
long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int soakSeconds() {
    const char* text = std::getenv("CUSTOVIA_SOAK_SECONDS");
    int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 15;
}

// One fault rule of any kind, on a random resource of a random host.
sim::FaultRule randomFault(std::mt19937& random, const std::vector<std::vector<std::string>>& ids) {
    static const sim::FaultKind kinds[] = {sim::FaultKind::Delay,     sim::FaultKind::Hang,
                                           sim::FaultKind::Status,    sim::FaultKind::Malformed,
                                           sim::FaultKind::Truncated, sim::FaultKind::Drop};
    static const int statuses[] = {400, 404, 500, 503};
    sim::FaultRule rule;
    rule.kind = kinds[random() % 6];
    rule.host = static_cast<int>(random() % kHosts);
    rule.count = 1 + static_cast<int>(random() % 8);
    rule.status = statuses[random() % 4];
    rule.delayMs = 50 + static_cast<int>(random() % 2000);
    const std::vector<std::string>& own = ids[rule.host];
    const std::string id = own[random() % own.size()];
    const std::string prefixes[] = {"", "device", "device/" + id, "notifycfg", "computer", "mon"};
    rule.prefix = prefixes[random() % 6];
    return rule;
}

struct Figures {
    std::mutex mutex;
    std::vector<std::string> problems;
    long problemCount = 0;
    double maxReadMs = 0;
    double maxDisconnectMs = 0;
    long reads = 0;
    long disconnects = 0;
    long faults = 0;

    void problem(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        if (problems.size() < 20) {
            problems.push_back(what);
        }
        ++problemCount;
    }
};

}  // namespace

TEST(ClientSoak, FaultsEverywhereReadsKeepAnsweringDisconnectsStayQuickMemoryStaysFlat) {
    const int seconds = soakSeconds();
    sim::Options options;
    options.hosts = kHosts;
    options.devices = kDevices;
    options.computers = 1;
    options.remoteDevices = 1;
    options.journalLimit = 500;
    sim::Simulator service(options);
    service.start();
    std::vector<std::vector<std::string>> ids;
    for (int i = 0; i < kHosts; ++i) {
        ids.push_back(service.deviceIds("localhost", i));
    }

    CustoviaHandle handle = openCli();
    std::vector<std::string> hosts;
    for (int i = 0; i < kHosts; ++i) {
        hosts.push_back(service.address(i));
        ASSERT_EQ(connectCli(handle, service.url(i).c_str()), 1);
    }
    // A host is "ready" once its first refresh is cached; from then on reads
    // must answer it until it is disconnected.
    std::vector<std::atomic<bool>> ready(kHosts);
    auto deadline = Clock::now() + 30s;
    for (int i = 0; i < kHosts; ++i) {
        while (getDeviceCount(handle, hosts[i].c_str(), nullptr, nullptr) != kDevices &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_EQ(getDeviceCount(handle, hosts[i].c_str(), nullptr, nullptr), kDevices);
        ready[i] = true;
    }

    Figures figures;
    std::atomic<bool> done{false};
    // Connecting and disconnecting must not overlap other calls on the handle.
    std::shared_mutex tableLock;

    auto reader = [&](unsigned seed) {
        std::mt19937 random(seed);
        while (!done) {
            const int i = static_cast<int>(random() % kHosts);
            const char* host = hosts[i].c_str();
            const std::string& id = ids[i][random() % ids[i].size()];
            std::shared_lock<std::shared_mutex> lock(tableLock);
            const bool mustAnswer = ready[i];
            const auto begin = Clock::now();
            CustoviaDevices devices;
            int32_t list = getDeviceList(handle, host, nullptr, &devices);
            custovia::Device device;
            int32_t one = getDevice(handle, host, nullptr, id.c_str(), &device);
            int32_t count = getDeviceCount(handle, host, nullptr, nullptr);
            CustoviaRegressives counters;
            int32_t regressives = getRegressiveCounterList(handle, host, nullptr, &counters);
            custovia::Computer computer;
            int32_t version = getVersion(handle, host, nullptr, &computer);
            custovia::NotifyConfig notify;
            int32_t settings = notifyConfig(handle, host, nullptr, &notify);
            const double ms = msSince(begin);
            lock.unlock();

            if (mustAnswer &&
                (list != 1 || devices.size() != kDevices || one != 1 || device.id != id ||
                 count != kDevices || regressives != 1 || version != 1 || settings != 1)) {
                figures.problem("host " + hosts[i] + " stopped answering: list " +
                                std::to_string(list) + " (" + std::to_string(devices.size()) +
                                " devices), device " + std::to_string(one) + ", count " +
                                std::to_string(count) + ", counters " +
                                std::to_string(regressives) + ", version " +
                                std::to_string(version) + ", notify " + std::to_string(settings));
            }
            // A host not yet refreshed is unknown (-302), or its computer is
            // cached before its devices (0) in the middle of the first cycle.
            if (!mustAnswer && count != kDevices && count != 0 && count != -302) {
                figures.problem("a host not yet refreshed answered " + std::to_string(count));
            }
            if (!mustAnswer && count == kDevices) {
                ready[i] = true;
            }
            {
                std::lock_guard<std::mutex> guard(figures.mutex);
                figures.maxReadMs = std::max(figures.maxReadMs, ms);
                ++figures.reads;
            }
            std::this_thread::sleep_for(50us);
        }
    };

    auto injector = [&] {
        std::mt19937 random(5);
        auto lastClear = Clock::now();
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 300));
            service.addFault(randomFault(random, ids));
            ++figures.faults;
            // Hanging requests stay until released; release them now and
            // then, as a service that recovers would.
            if (msSince(lastClear) > 2500 || service.faults().size() > 24) {
                service.clearFaults();
                lastClear = Clock::now();
            }
        }
        service.clearFaults();
    };

    auto churner = [&] {
        std::mt19937 random(9);
        while (!done) {
            const auto until = Clock::now() + std::chrono::milliseconds(1500 + random() % 2500);
            while (!done && Clock::now() < until) {
                std::this_thread::sleep_for(20ms);
            }
            if (done) {
                break;
            }
            const int i = static_cast<int>(random() % kHosts);
            std::unique_lock<std::shared_mutex> lock(tableLock);
            const auto begin = Clock::now();
            int32_t off = disconnectCli(handle, hosts[i].c_str());
            const double ms = msSince(begin);
            ready[i] = false;
            int32_t on = connectCli(handle, service.url(i).c_str());
            lock.unlock();
            if (off != 1 || on != 1) {
                figures.problem("reconnecting " + hosts[i] + ": disconnect " + std::to_string(off) +
                                ", connect " + std::to_string(on));
            }
            if (ms > 1000) {
                figures.problem("disconnecting " + hosts[i] + " took " + std::to_string(ms) +
                                " ms");
            }
            std::lock_guard<std::mutex> guard(figures.mutex);
            figures.maxDisconnectMs = std::max(figures.maxDisconnectMs, ms);
            ++figures.disconnects;
        }
    };

    std::vector<long> rss;
    std::vector<std::thread> threads;
    threads.emplace_back(reader, 1u);
    threads.emplace_back(reader, 2u);
    threads.emplace_back(injector);
    threads.emplace_back(churner);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        rss.push_back(residentKiB());
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(1s, end - Clock::now()));
    }
    done = true;
    for (std::thread& thread : threads) {
        thread.join();
    }

    // Final disconnects while every host's refresh hangs in a request.
    sim::FaultRule hang;
    hang.kind = sim::FaultKind::Hang;
    service.addFault(hang);
    const auto hung = Clock::now() + 10s;
    while (service.hangingCount() < kHosts && Clock::now() < hung) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(service.hangingCount(), kHosts);
    for (const std::string& host : hosts) {
        const auto begin = Clock::now();
        EXPECT_EQ(disconnectCli(handle, host.c_str()), 1);
        figures.maxDisconnectMs = std::max(figures.maxDisconnectMs, msSince(begin));
        ++figures.disconnects;
    }
    closeCli(handle);
    service.stop();

    // Memory after the first third (caches, connections and allocator pools
    // in place) against the highest sample of the rest.
    const std::size_t settled = rss.size() / 3;
    const long base = rss.empty() ? 0 : rss[settled];
    const long peak = rss.empty() ? 0 : *std::max_element(rss.begin() + settled, rss.end());
    std::printf(
        "soak_seconds: %d s\nsoak_reads: %ld reads\nsoak_read_max: %.1f ms\n"
        "soak_faults: %ld rules\nsoak_disconnects: %ld disconnects\n"
        "soak_disconnect_max: %.1f ms\nsoak_rss_settled: %ld KiB\nsoak_rss_peak: %ld KiB\n"
        "soak_rss_end: %ld KiB\n",
        seconds, figures.reads, figures.maxReadMs, figures.faults, figures.disconnects,
        figures.maxDisconnectMs, base, peak, rss.empty() ? 0 : rss.back());

    EXPECT_EQ(figures.problemCount, 0);
    for (const std::string& what : figures.problems) {
        ADD_FAILURE() << what;
    }
    EXPECT_GT(figures.reads, 0);
    EXPECT_LT(figures.maxDisconnectMs, 1000.0);
#ifndef SOAK_SANITIZED
    // Sanitizer builds keep freed memory in quarantine; there the leak check
    // at exit speaks instead.
    EXPECT_LT(peak - base, 16 * 1024)
        << "resident memory grew from " << base << " to " << peak << " KiB";
#endif
}
