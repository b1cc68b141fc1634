// Callers read and command through the exported functions while refresh
// cycles run and a host connects and disconnects again and again. Built with
// ThreadSanitizer by scripts/tsan; in the normal build it checks that every
// call keeps answering what the contract says while all of this happens.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "WaitFor.h"
#include "client/custovia.h"
#include "client/custovia_ext.h"
#include "sim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using testsupport::waitFor;

// Failures seen by the worker threads, reported once they are joined.
class Problems {
public:
    void add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (list_.size() < 20) {
            list_.push_back(what);
        }
        ++count_;
    }
    void expectNone() const {
        EXPECT_EQ(count_, 0);
        for (const std::string& what : list_) {
            ADD_FAILURE() << what;
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::string> list_;
    int count_ = 0;
};

void expectStatus(Problems& problems, const char* call, int32_t status, int32_t expected) {
    if (status != expected) {
        problems.add(std::string(call) + " gave " + std::to_string(status) + ", expected " +
                     std::to_string(expected));
    }
}

constexpr int kDevices = 4;

}  // namespace

TEST(ClientConcurrency, CallersReadAndCommandWhileRefreshesRunAndHostsComeAndGo) {
    custovia::sim::Options options;
    options.hosts = 3;
    options.devices = kDevices;
    options.computers = 1;
    options.remoteDevices = 1;
    custovia::sim::Simulator sim(options);
    sim.start();
    // The third host answers slowly, so its refresh cycles last long enough
    // to be under way when it is disconnected.
    custovia::sim::FaultRule slow;
    slow.kind = custovia::sim::FaultKind::Delay;
    slow.delayMs = 40;
    slow.host = 2;
    sim.addFault(slow);

    // Handle `stable` keeps two hosts; handle `churn` connects and
    // disconnects the third. Calls on `churn` are serialised with its
    // connects and disconnects by the caller, as the interface requires.
    CustoviaHandle stable = openCli();
    CustoviaHandle churn = openCli();
    const std::vector<std::string> hosts = {sim.address(0), sim.address(1)};
    const std::string churnHost = sim.address(2);
    ASSERT_EQ(connectCli(stable, sim.url(0).c_str()), 1);
    ASSERT_EQ(connectCli(stable, sim.url(1).c_str()), 1);
    for (const std::string& host : hosts) {
        refreshHost(stable, host.c_str(), 15000);
        ASSERT_TRUE(waitFor(
            [&] { return getDeviceCount(stable, host.c_str(), nullptr, nullptr) == kDevices; },
            20s))
            << host;
    }
    std::vector<std::string> ids;
    ASSERT_EQ(getDeviceCount(stable, hosts[0].c_str(), nullptr, &ids), kDevices);

    Problems problems;
    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, commands{0}, churns{0}, churnRefreshed{0};
    std::shared_mutex churnLock;

    auto reader = [&](int seed) {
        std::mt19937 random(seed);
        while (!done) {
            const std::string& host = hosts[random() % hosts.size()];
            const char* h = host.c_str();
            const std::string& id = ids[random() % ids.size()];
            CustoviaDevices devices;
            expectStatus(problems, "getDeviceList", getDeviceList(stable, h, nullptr, &devices), 1);
            if (devices.size() != kDevices) {
                problems.add("getDeviceList answered " + std::to_string(devices.size()));
            }
            custovia::Device device;
            expectStatus(problems, "getDevice",
                         getDevice(stable, hosts[0].c_str(), nullptr, id.c_str(), &device), 1);
            if (device.id != id) {
                problems.add("getDevice answered the device " + device.id);
            }
            expectStatus(problems, "getDeviceCount", getDeviceCount(stable, h, "", nullptr),
                         kDevices);
            CustoviaRegressives counters;
            expectStatus(problems, "getRegressiveCounterList",
                         getRegressiveCounterList(stable, h, nullptr, &counters), 1);
            custovia::DeviceMailCfg mail;
            expectStatus(problems, "devMailConfig",
                         devMailConfig(stable, hosts[0].c_str(), nullptr, id.c_str(), &mail), 1);
            custovia::NotifyConfig notify;
            expectStatus(problems, "notifyConfig", notifyConfig(stable, h, nullptr, &notify), 1);
            CustoviaComputers computers;
            expectStatus(problems, "getComputerList", getComputerList(stable, h, &computers), 1);
            expectStatus(problems, "isConnected", isConnected(stable, h), 1);
            expectStatus(problems, "getHostCount", getHostCount(stable, nullptr), 2);
            ++reads;
        }
    };

    auto commander = [&] {
        std::mt19937 random(7);
        int round = 0;
        while (!done) {
            const char* h = hosts[random() % hosts.size()].c_str();
            std::string id;
            {
                std::vector<std::string> names;
                getDeviceCount(stable, h, nullptr, &names);
                id = names.empty() ? std::string() : names[random() % names.size()];
            }
            const std::string name = "rack " + std::to_string(++round);
            expectStatus(problems, "changeUserDevice",
                         changeUserDevice(stable, h, nullptr, id.c_str(), name.c_str(), "lab"), 1);
            expectStatus(
                problems, "changeColorDevice",
                changeColorDevice(stable, h, nullptr, id.c_str(), round % 256, 0, 9, false), 1);
            // A shutdown may be refused while one runs: never anything but
            // success or "not found".
            int32_t shut = manualDevShutdown(stable, h, nullptr, id.c_str());
            if (shut != 1 && shut != -302) {
                problems.add("manualDevShutdown gave " + std::to_string(shut));
            }
            int32_t cancel = cancelDevShutdown(stable, h, nullptr, id.c_str());
            if (cancel != 1 && cancel != -302) {
                problems.add("cancelDevShutdown gave " + std::to_string(cancel));
            }
            custovia::NotifyConfig notify;
            notify.valPercent = 10 + round % 50;
            expectStatus(problems, "updNotifyConfig", updNotifyConfig(stable, h, nullptr, &notify),
                         1);
            ++commands;
        }
    };

    auto churner = [&] {
        std::mt19937 random(11);
        while (!done) {
            {
                std::unique_lock<std::shared_mutex> lock(churnLock);
                expectStatus(problems, "connectCli", connectCli(churn, sim.url(2).c_str()), 1);
            }
            // Disconnect before, during or after the first refresh cycle
            // (about 3 s after connecting, and slow on this host).
            const auto until = Clock::now() + std::chrono::milliseconds(2500 + random() % 2500);
            while (!done && Clock::now() < until) {
                std::this_thread::sleep_for(20ms);
            }
            std::unique_lock<std::shared_mutex> lock(churnLock);
            expectStatus(problems, "disconnectCli", disconnectCli(churn, churnHost.c_str()), 1);
            ++churns;
        }
    };

    auto churnReader = [&] {
        while (!done) {
            std::shared_lock<std::shared_mutex> lock(churnLock);
            // Before the first cycle the host has nothing cached (-302);
            // during it, its computer without devices yet; after it, every
            // device. A disconnected host is unknown (-302).
            int32_t count = getDeviceCount(churn, churnHost.c_str(), nullptr, nullptr);
            if (count == kDevices) {
                ++churnRefreshed;
            }
            if (count != -302 && count != 0 && count != kDevices) {
                problems.add("getDeviceCount on the changing host gave " + std::to_string(count));
            }
            CustoviaDevices devices;
            int32_t list = getDeviceList(churn, nullptr, nullptr, &devices);
            if (list != -302 && !(list == 1 && (devices.empty() || devices.size() == kDevices))) {
                problems.add("getDeviceList on the changing host gave " + std::to_string(list) +
                             " with " + std::to_string(devices.size()) + " devices");
            }
            lock.unlock();
            std::this_thread::sleep_for(1ms);
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back(reader, 1);
    threads.emplace_back(reader, 2);
    threads.emplace_back(commander);
    threads.emplace_back(churner);
    threads.emplace_back(churnReader);
    // Runs until the changing host was disconnected twice, once at
    // least after a refresh had filled its cache, and every caller got through.
    EXPECT_TRUE(waitFor(
        [&] { return churns >= 2 && churnRefreshed > 0 && reads > 0 && commands > 0; }, 60s));
    done = true;
    for (std::thread& thread : threads) {
        thread.join();
    }

    problems.expectNone();

    // Every command reached the service and later refreshes saw them.
    EXPECT_GT(sim.journal().size(), 0u);
    closeCli(churn);
    EXPECT_EQ(disconnectCli(stable, nullptr), 1);
    EXPECT_EQ(disconnectCli(stable, nullptr), 1);
    closeCli(stable);
    sim.stop();
}
