// The gateway's MQTT publisher with many hosts of 4 units each, against a
// real mosquitto broker on 127.0.0.1: how fast the first discovery goes out,
// messages per second when every unit loses its mains at once, and the delay
// from a change event to the state message arriving at a subscriber: for
// every event of the outage handed over at once (the worst burst), and for
// the mains coming back with each host's events spread over one refresh
// period, as the library's per-host cycles deliver them.
//   bench_mqtt_publish [hosts]   (default 1000)
#include <QJsonArray>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "BenchSupport.h"
#include "MqttTestSupport.h"
#include "common/SnapshotJson.h"
#include "mqtt/Publisher.h"

using namespace custovia;

namespace {

constexpr int kUnits = 4;

// The units' JSON forms in memory, as the gateway's snapshot would give them.
class World {
public:
    explicit World(int hosts) {
        for (int h = 0; h < hosts; ++h) {
            std::string host =
                "127.0." + std::to_string(h / 250) + "." + std::to_string(h % 250 + 1);
            for (int u = 0; u < kUnits; ++u) {
                tools::DeviceView v;
                v.device.id = "SIM" + std::to_string(1000000 + h * kUnits + u);
                v.device.name = "UPS " + std::to_string(u + 1);
                v.device.family = 1;
                v.device.model = 3;
                v.device.version = "2.1";
                v.device.status.connected = true;
                v.device.vars.vInput = 230;
                v.device.vars.vOutput = 230;
                v.device.vars.cBattery = 100;
                v.device.vars.pOutput = 420;
                v.device.vars.nominalPOutput = 1000;
                v.device.vars.temperature = 31;
                v.device.last = tools::nowMs();
                units_[host][v.device.id] = v;
            }
        }
    }

    mqtt::Source source() {
        mqtt::Source s;
        s.hosts = [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            std::vector<mqtt::HostState> hosts;
            for (const auto& h : units_) {
                mqtt::HostState hs;
                hs.host = h.first;
                for (const auto& u : h.second) {
                    hs.units.push_back(mqtt::UnitState{
                        u.first, tools::deviceJson(u.second, false, tools::nowMs())});
                }
                hosts.push_back(std::move(hs));
            }
            return hosts;
        };
        s.unit = [this](const std::string& host, const std::string& device, mqtt::UnitState* out) {
            std::lock_guard<std::mutex> lock(mutex_);
            out->device = device;
            out->json = tools::deviceJson(units_.at(host).at(device), false, tools::nowMs());
            return true;
        };
        return s;
    }

    // Mains lost (or back) on one unit, or on every unit when `device` is
    // empty: the events the library would raise for it.
    std::vector<CustoviaEvent> setMains(bool lost, const std::string& host = std::string(),
                                        const std::string& device = std::string()) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<CustoviaEvent> events;
        for (auto& h : units_) {
            for (auto& u : h.second) {
                if (!device.empty() && (h.first != host || u.first != device)) {
                    continue;
                }
                u.second.device.status.opBattery = lost;
                u.second.device.status.noVInput = lost;
                u.second.device.vars.vInput = lost ? 0 : 230;
                for (const char* flag : {"opBattery", "noVInput"}) {
                    CustoviaEvent e;
                    e.kind = lost ? CustoviaEventKind::flagRaised : CustoviaEventKind::flagCleared;
                    e.host = h.first;
                    e.device = u.first;
                    e.name = flag;
                    events.push_back(e);
                }
            }
        }
        return events;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::map<std::string, tools::DeviceView>> units_;
};

}  // namespace

int main(int argc, char** argv) {
    const int hosts = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int units = hosts * kUnits;
    World world(hosts);
    mqtt_test::Broker broker;
    mqtt_test::Subscriber sub(broker.port(), "custovia/+/+/state");

    // Arrival of each unit's first state on battery and, after it, back on
    // mains, on the steady clock.
    std::mutex mutex;
    std::map<std::string, bench::Clock::time_point> arrived, back;
    std::atomic<int> states{0};
    sub.onMessage([&](const std::string& topic, const std::string& payload) {
        ++states;
        bool on = payload.find("\"onBattery\":true") != std::string::npos;
        std::lock_guard<std::mutex> lock(mutex);
        if (on) {
            arrived.emplace(topic, bench::Clock::now());
        } else if (arrived.count(topic)) {
            back.emplace(topic, bench::Clock::now());
        }
    });
    if (!mqtt_test::waitUntil([&] { return mqtt_test::canConnect(broker.port()); })) {
        std::fprintf(stderr, "broker did not start\n");
        return 1;
    }

    mqtt::Options o;
    o.url = broker.url();
    o.intervalMs = 3000;
    mqtt::load(o);
    mqtt::Publisher publisher(o, world.source());
    auto begin = bench::Clock::now();
    publisher.start();
    if (!mqtt_test::waitUntil([&] { return states >= units; }, 120)) {
        std::fprintf(stderr, "only %d of %d states arrived\n", states.load(), units);
        return 1;
    }
    double startMs = bench::millisecondsSince(begin);
    uint64_t startMessages = publisher.stats().published;

    // The outage: every event handed over at once, the worst burst there is.
    std::vector<CustoviaEvent> events = world.setMains(true);
    uint64_t before = publisher.stats().published;
    begin = bench::Clock::now();
    std::map<std::string, bench::Clock::time_point> raised;
    double handOverMaxUs = 0;
    for (const CustoviaEvent& e : events) {
        auto t = bench::Clock::now();
        raised.emplace("custovia/" + e.host + "/" + e.device + "/state", t);
        publisher.onEvent(e);
        handOverMaxUs = std::max(handOverMaxUs, bench::microsecondsSince(t));
    }
    double handOverMs = bench::millisecondsSince(begin);
    if (!mqtt_test::waitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return static_cast<int>(arrived.size()) >= units;
            },
            120)) {
        std::fprintf(stderr, "only %zu of %d outage states arrived\n", arrived.size(), units);
        return 1;
    }
    double outageMs = bench::millisecondsSince(begin);
    uint64_t outageMessages = publisher.stats().published - before;

    std::vector<double> delays;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& a : arrived) {
            delays.push_back(
                std::chrono::duration<double, std::milli>(a.second - raised[a.first]).count());
        }
    }

    // Mains back, as the library would see it: each host's events when its
    // own refresh cycle (3 s, hosts spread over it) reads the change.
    const std::vector<CustoviaEvent> sequence = events;
    raised.clear();
    begin = bench::Clock::now();
    for (std::size_t i = 0; i < sequence.size(); i += 2) {
        auto due =
            begin + std::chrono::microseconds(static_cast<int64_t>(3e6 * i / sequence.size()));
        std::this_thread::sleep_until(due);
        raised.emplace("custovia/" + sequence[i].host + "/" + sequence[i].device + "/state",
                       bench::Clock::now());
        for (const CustoviaEvent& e : world.setMains(false, sequence[i].host, sequence[i].device)) {
            publisher.onEvent(e);
        }
    }
    if (!mqtt_test::waitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return static_cast<int>(back.size()) >= units;
            },
            120)) {
        std::fprintf(stderr, "only %zu of %d restored states arrived\n", back.size(), units);
        return 1;
    }
    std::vector<double> spread;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& a : back) {
            spread.push_back(
                std::chrono::duration<double, std::milli>(a.second - raised[a.first]).count());
        }
    }
    publisher.stop();

    std::printf("mqtt_%d_units_first_publish_time: %.0f ms\n", units, startMs);
    std::printf("mqtt_%d_units_first_publish_rate: %.0f messages/s\n", units,
                startMessages / (startMs / 1000));
    std::printf("mqtt_%d_units_outage_rate: %.0f messages/s\n", units,
                outageMessages / (outageMs / 1000));
    std::printf("mqtt_%d_units_outage_time: %.0f ms\n", units, outageMs);
    std::printf("mqtt_burst_event_to_message_p50: %.1f ms\n", bench::median(delays));
    std::printf("mqtt_burst_event_to_message_p99: %.1f ms\n", bench::percentile(delays, 0.99));
    std::printf("mqtt_event_to_message_p50: %.1f ms\n", bench::median(spread));
    std::printf("mqtt_event_to_message_p99: %.1f ms\n", bench::percentile(spread, 0.99));
    std::printf("mqtt_onEvent_max: %.1f us\n", handOverMaxUs);
    std::printf("mqtt_%zu_events_hand_over_time: %.1f ms\n", events.size(), handOverMs);
    std::printf("mqtt_%d_units_memory: %ld KiB\n", units, bench::residentKiB());
    return 0;
}
