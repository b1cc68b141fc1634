// Callers read and command through the exported functions while refresh
// cycles run and a host connects and disconnects again and again. Built with
// ThreadSanitizer by scripts/tsan; in the normal build it checks that every
// call keeps answering what the contract says while all of this happens.
#include <atomic>
#include <random>
#include <shared_mutex>

#include "ClientFixture.h"

using clienttest::codes;
using namespace std::chrono_literals;

TEST(ClientConcurrency, CallersReadAndCommandWhileRefreshesRunAndHostsComeAndGo) {
    constexpr int kDevices = 4;
    custovia::sim::Options options = clienttest::simOptions(kDevices, 3);
    options.realTime = true;
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
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(connectCli(stable, sim.url(i).c_str()), 1);
        ASSERT_TRUE(clienttest::waitForDevices(stable, hosts[i].c_str(), kDevices)) << hosts[i];
    }
    std::vector<std::string> ids;
    ASSERT_EQ(getDeviceCount(stable, hosts[0].c_str(), nullptr, &ids), kDevices);

    clienttest::Problems problems;
    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, commands{0}, churns{0}, churnRefreshed{0};
    std::shared_mutex churnLock;

    // Each read answers 1 (counts: the number of devices or hosts).
    auto reader = [&](int seed) {
        std::mt19937 random(seed);
        while (!done) {
            const char* h = hosts[random() % hosts.size()].c_str();
            const std::string& id = ids[random() % ids.size()];
            CustoviaDevices devices;
            custovia::Device device;
            CustoviaRegressives counters;
            custovia::DeviceMailCfg mail;
            custovia::NotifyConfig notify;
            CustoviaComputers computers;
            problems.expect(
                "getDeviceList, its size, getDevice, its id, getDeviceCount, "
                "getRegressiveCounterList, devMailConfig, notifyConfig, getComputerList, "
                "isConnected, getHostCount",
                codes({getDeviceList(stable, h, nullptr, &devices),
                       static_cast<long long>(devices.size()),
                       getDevice(stable, hosts[0].c_str(), nullptr, id.c_str(), &device),
                       device.id == id, getDeviceCount(stable, h, "", nullptr),
                       getRegressiveCounterList(stable, h, nullptr, &counters),
                       devMailConfig(stable, hosts[0].c_str(), nullptr, id.c_str(), &mail),
                       notifyConfig(stable, h, nullptr, &notify),
                       getComputerList(stable, h, &computers), isConnected(stable, h),
                       getHostCount(stable, nullptr)}),
                codes({1, kDevices, 1, 1, kDevices, 1, 1, 1, 1, 1, 2}));
            ++reads;
        }
    };

    auto commander = [&] {
        std::mt19937 random(7);
        for (int round = 1; !done; ++round) {
            const char* h = hosts[random() % hosts.size()].c_str();
            std::vector<std::string> names;
            getDeviceCount(stable, h, nullptr, &names);
            const std::string id = names.empty() ? std::string() : names[random() % names.size()];
            const std::string name = "rack " + std::to_string(round);
            custovia::NotifyConfig notify;
            notify.valPercent = 10 + round % 50;
            problems.expect(
                "changeUserDevice, changeColorDevice, updNotifyConfig",
                codes({changeUserDevice(stable, h, nullptr, id.c_str(), name.c_str(), "lab"),
                       changeColorDevice(stable, h, nullptr, id.c_str(), round % 256, 0, 9, false),
                       updNotifyConfig(stable, h, nullptr, &notify)}),
                "1 1 1");
            // A shutdown may be refused while one runs: never anything but
            // success or "not found".
            for (int32_t result : {manualDevShutdown(stable, h, nullptr, id.c_str()),
                                   cancelDevShutdown(stable, h, nullptr, id.c_str())}) {
                if (result != 1 && result != -302) {
                    problems.add("a shutdown command gave " + std::to_string(result));
                }
            }
            ++commands;
        }
    };

    auto churner = [&] {
        std::mt19937 random(11);
        while (!done) {
            {
                std::unique_lock<std::shared_mutex> lock(churnLock);
                problems.expect("connectCli", codes({connectCli(churn, sim.url(2).c_str())}), "1");
            }
            // Disconnect before, during or after the first refresh cycle
            // (about 3 s after connecting, and slow on this host).
            clienttest::waitFor([&] { return done.load(); },
                                std::chrono::milliseconds(2500 + random() % 2500));
            std::unique_lock<std::shared_mutex> lock(churnLock);
            problems.expect("disconnectCli", codes({disconnectCli(churn, churnHost.c_str())}), "1");
            ++churns;
        }
    };

    auto churnReader = [&] {
        while (!done) {
            std::shared_lock<std::shared_mutex> lock(churnLock);
            // Before the first cycle the host has nothing cached (-302);
            // during it, its computer without devices yet; after it, every
            // device. A disconnected host is unknown (-302).
            const int32_t count = getDeviceCount(churn, churnHost.c_str(), nullptr, nullptr);
            churnRefreshed += count == kDevices ? 1 : 0;
            if (count != -302 && count != 0 && count != kDevices) {
                problems.add("getDeviceCount on the changing host gave " + std::to_string(count));
            }
            CustoviaDevices devices;
            const int32_t list = getDeviceList(churn, nullptr, nullptr, &devices);
            if (list != -302 && !(list == 1 && (devices.empty() || devices.size() == kDevices))) {
                problems.add("getDeviceList on the changing host gave " +
                             codes({list, static_cast<long long>(devices.size())}));
            }
            lock.unlock();
            std::this_thread::sleep_for(1ms);
        }
    };

    std::thread threads[] = {std::thread(reader, 1), std::thread(reader, 2), std::thread(commander),
                             std::thread(churner), std::thread(churnReader)};
    // Runs until the changing host was disconnected twice, once at
    // least after a refresh had filled its cache, and every caller got through.
    EXPECT_TRUE(clienttest::waitFor(
        [&] { return churns >= 2 && churnRefreshed > 0 && reads > 0 && commands > 0; }, 60s));
    done = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    problems.expectNone();

    closeCli(churn);
    EXPECT_EQ(disconnectCli(stable, nullptr), 1);
    EXPECT_EQ(disconnectCli(stable, nullptr), 1);
    closeCli(stable);
}
