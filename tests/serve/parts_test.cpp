// The gateway's parts that need no service: the command line's texts, device
// ids and the metrics text of hand-made data.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ServeTestSupport.h"
#include "serve/Api.h"
#include "serve/Metrics.h"
#include "serve/Options.h"
#include "serve/SnapshotWorker.h"

using namespace custovia::serve;

namespace {

TEST(OptionsTest, ListenAddressesHostFilesDeviceIdsAndTheRefreshPeriod) {
    EXPECT_EQ(parseListen("[::1]:9470").host, "::1");
    EXPECT_EQ(parseListen(":9470").host, "0.0.0.0");
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", "h:65536", "h:12x", "h:123456"}) {
        EXPECT_THROW(parseListen(bad), StartError) << bad;
    }
    EXPECT_EQ(parseHostsText("# all\nhttp://a:1  # first\n\n  http://b:2\r\n#http://c:3\n"),
              (std::vector<std::string>{"http://a:1", "http://b:2"}));
    // Bad ids in a request's path are refused end to end; here the limits.
    EXPECT_TRUE(validDeviceId("ups-1.a_b:2"));
    EXPECT_FALSE(validDeviceId(std::string(65, 'a')));

    // Without --refresh a few hosts refresh at the library's 3 s, a thousand
    // at 20 s (50 host cycles a second); a period given is kept.
    auto period = [](std::vector<std::string> args) {
        args.insert(args.begin(), "custovia-serve");
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(&a[0]);
        }
        Options o;
        int code = -1;
        EXPECT_TRUE(parseOptions(static_cast<int>(argv.size()), argv.data(), &o, &code));
        EXPECT_EQ(o.mqtt.intervalMs, std::lround(o.refreshSeconds * 1000));
        return o.refreshSeconds;
    };
    serve_test::TempDir dir;
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += "http://h" + std::to_string(i) + ":1\n";
    }
    const std::string file = dir.file("hosts", many);
    EXPECT_EQ(period({"--host", "http://127.0.0.1:1"}), 3);
    EXPECT_EQ(period({"--hosts-file", file}), 20);
    EXPECT_EQ(period({"--hosts-file", file, "--refresh", "3"}), 3);
}

// Every caller gets a snapshot taken after its call began, however many ask
// at once; a failure reaches the caller; none is left waiting.
TEST(SnapshotWorkerTest, EachCallerGetsAFreshSnapshotAndFailuresReachIt) {
    std::atomic<int> taken{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> fail{false};
    SnapshotWorker worker([&] {
        released.wait();
        if (fail) {
            throw std::runtime_error("no memory");
        }
        custovia::tools::Snapshot s;
        s.timeMs = ++taken;
        return s;
    });
    std::vector<std::future<bool>> callers;
    for (int i = 0; i < 6; ++i) {
        callers.push_back(std::async(std::launch::async, [&] {
            const int before = taken.load();
            return worker.take()->timeMs > before;
        }));
    }
    release.set_value();
    for (auto& c : callers) {
        EXPECT_TRUE(c.get());
    }
    fail = true;
    EXPECT_THROW(worker.take(), std::runtime_error);
}

TEST(MetricsTest, LabelsNumbersAndPartsOfTheText) {
    using namespace custovia::tools;
    Snapshot s;
    s.timeMs = 50000;
    for (const char* key : {"up.example", "down.example"}) {
        HostView h;
        h.key = key;
        h.ready = h.hasHealth = true;
        h.health.reachable = key[0] == 'u';
        h.health.lastSuccessMs = 49000;
        h.health.cycles = 123456789012;
        ComputerView c;
        c.id = "localhost";
        for (const char* id : {"U-plain", "U-odd", "U-more"}) {
            DeviceView d;
            d.device.id = std::string(id) + (key[0] == 'u' ? "" : "-down");
            d.device.userName = "rack \"A\"\\left\nrow";
            d.device.vars.cBattery = 87.5;
            d.device.last = 49000;
            d.device.status.opBattery = true;
            if (d.device.id == "U-odd") {
                d.device.vars.cBattery = std::nan("");
                d.device.vars.vBattery = -0.0;
                d.device.vars.vInput = 1e20;
                d.device.vars.vOutput = 230.4567;
                d.device.vars.fOutput = 49.99999;
                d.device.vars.pOutput = 123456.789;
                d.device.vars.temperature = 1234567;
            }
            c.devices.push_back(d);
        }
        h.computers.push_back(c);
        s.hosts.push_back(h);
    }
    const std::string whole = metricsText(s);
    // The value of the first series of `family` with `label`.
    auto valueOf = [&](const char* family, const std::string& label = "device=\"U-odd\"") {
        for (const auto& v : serve_test::samples(whole, family)) {
            if (v.first.find(label) != std::string::npos) {
                return v.second;
            }
        }
        return std::string("(none)");
    };
    EXPECT_NE(
        whole.find("\ncustovia_battery_charge_ratio{host=\"up.example\",computer=\"localhost\","
                   "device=\"U-plain\"} 0.875\n"),
        std::string::npos);
    EXPECT_NE(whole.find("user_name=\"rack \\\"A\\\"\\\\left\\nrow\""), std::string::npos);
    // Numbers read as printf's %g writes them.
    const std::pair<const char*, const char*> values[] = {
        {"custovia_battery_charge_ratio", "NaN"},    {"custovia_battery_voltage_volts", "-0"},
        {"custovia_input_voltage_volts", "1e+20"},   {"custovia_output_voltage_volts", "230.457"},
        {"custovia_output_frequency_hertz", "50"},   {"custovia_output_power_watts", "123457"},
        {"custovia_temperature_celsius", "1234567"}, {"custovia_reading_age_seconds", "1"},
    };
    for (const auto& v : values) {
        EXPECT_EQ(valueOf(v.first), v.second) << v.first;
    }
    EXPECT_EQ(valueOf("custovia_host_cycles_total", ""), "123456789012");
    EXPECT_EQ(valueOf("custovia_host_last_success_age_seconds", ""), "1");
    EXPECT_EQ(valueOf("custovia_host_up", "up.example"), "1");
    EXPECT_EQ(valueOf("custovia_host_up", "down.example"), "0");
    EXPECT_EQ(valueOf("custovia_status_flag", "flag=\"opBattery\""), "1");
    EXPECT_EQ(valueOf("custovia_status_flag", "flag=\"loBattery\""), "0");
    // The units of a host that is down are not exported.
    EXPECT_EQ(whole.find("-down"), std::string::npos);
    // A family without samples is not declared; that each is declared once is promtool's check
    // in the gateway's tests.
    EXPECT_EQ(whole.find("custovia_countdown_seconds"), std::string::npos);

    // However small the parts, they join to the same text.
    auto shared = std::make_shared<const Snapshot>(s);
    for (std::size_t size : {1, 7, 100, 4096}) {
        MetricsWriter writer(shared);
        std::string joined, part;
        while (writer.next(part, size)) {
            EXPECT_FALSE(part.empty());
            joined += part;
            part.clear();
        }
        EXPECT_EQ(joined, whole) << size;
    }
}

}  // namespace
