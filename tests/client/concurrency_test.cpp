// Callers read and command while refresh cycles run and a host connects and
// disconnects again and again (scripts/tsan builds it with ThreadSanitizer).
#include <atomic>
#include <random>

#include "ClientFixture.h"

using clienttest::codes;
using namespace std::chrono_literals;

TEST(ClientConcurrency, CallersReadAndCommandWhileRefreshesRunAndHostsComeAndGo) {
    constexpr int kDevices = 4;
    custovia::sim::Options options = clienttest::simOptions(kDevices, 3);
    options.realTime = true;
    custovia::sim::Simulator sim(options);
    sim.start();
    // The third host answers slowly, so that its cycles are under way when it
    // is disconnected.
    sim.addFault(clienttest::fault("delay=40", 2));

    // `stable` keeps two hosts; `churn` connects and disconnects the third.
    clienttest::Handle stable, churn;
    const std::vector<std::string> hosts = {sim.address(0), sim.address(1)};
    const std::string churnHost = sim.address(2);
    std::vector<std::string> ids[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(connectCli(stable, sim.url(i).c_str()), 1);
        ASSERT_TRUE(clienttest::waitForDevices(stable, hosts[i].c_str(), kDevices)) << hosts[i];
        ASSERT_EQ(getDeviceCount(stable, hosts[i].c_str(), nullptr, &ids[i]), kDevices);
    }

    clienttest::Problems problems;
    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, commands{0}, churns{0}, churnRefreshed{0};

    auto reader = [&](int seed) {
        std::mt19937 random(seed);
        while (!done) {
            const int i = random() % 2;
            const char* h = hosts[i].c_str();
            const std::string& id = ids[i][random() % kDevices];
            custovia::DeviceMailCfg mail;
            CustoviaComputers computers;
            problems.expect("the reads of " + hosts[i] + ", mail, computers, connected, hosts",
                            clienttest::cachedReads(stable, h, id) + " " +
                                codes({devMailConfig(stable, h, nullptr, id.c_str(), &mail),
                                       getComputerList(stable, h, &computers),
                                       isConnected(stable, h), getHostCount(stable, nullptr)}),
                            clienttest::allAnswered(kDevices) + " 1 1 1 2");
            ++reads;
        }
    };

    auto commander = [&](int seed) {
        std::mt19937 random(seed);
        for (int round = 1; !done; ++round) {
            const int i = random() % 2;
            const char* h = hosts[i].c_str();
            const std::string& id = ids[i][random() % kDevices];
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

    // Disconnects before, during or after the first refresh cycle (about 3 s
    // after connecting, and slow on this host).
    auto churner = [&] {
        std::mt19937 random(11);
        while (!done) {
            problems.expect("connectCli", codes({connectCli(churn, sim.url(2).c_str())}), "1");
            clienttest::waitFor([&] { return done.load(); },
                                std::chrono::milliseconds(2500 + random() % 2500));
            churnRefreshed +=
                getDeviceCount(churn, churnHost.c_str(), nullptr, nullptr) == kDevices;
            problems.expect("disconnectCli", codes({disconnectCli(churn, churnHost.c_str())}), "1");
            ++churns;
        }
    };

    // Two commanders, so that commands of several threads meet the refresh on
    // each stable host's one connection.
    std::thread threads[] = {std::thread(reader, 1), std::thread(reader, 2),
                             std::thread(commander, 7), std::thread(commander, 8),
                             std::thread(churner)};
    // Until the changing host was disconnected twice, once at least after a
    // refresh had filled its cache, and every caller got through.
    EXPECT_TRUE(clienttest::waitFor(
        [&] { return churns >= 2 && churnRefreshed > 0 && reads > 0 && commands > 0; }, 60s));
    done = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    problems.expectNone();
    // Every command and refresh of a stable host went over the one connection
    // its first request opened (the record is updated at a cycle's end).
    for (const std::string& host : hosts) {
        CustoviaHostHealth health;
        EXPECT_EQ(codes({refreshHost(stable, host.c_str(), 10000),
                         getHostHealth(stable, host.c_str(), &health), health.connections}),
                  "1 1 1")
            << host;
    }
    EXPECT_EQ(codes({disconnectCli(stable, nullptr), disconnectCli(stable, nullptr)}), "1 1");
}
