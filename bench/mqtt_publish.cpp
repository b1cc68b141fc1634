// The gateway's MQTT publisher with many hosts of 4 units each, against a
// real mosquitto broker on 127.0.0.1: how fast the first discovery goes out,
// messages per second when every unit loses its mains at once, and the delay
// from a change event to the state message arriving at a subscriber: for
// every event of the outage handed over at once (the worst burst), and for
// the mains coming back with each host's events spread over one refresh
// period, as the library's per-host cycles deliver them. For the burst it
// also gives the CPU time of the publisher's threads, the broker and the
// subscriber, and the same messages sent ready made through a bare
// connection: the floor that broker, loopback and subscriber set.
//   bench_mqtt_publish [hosts]   (default 1000)
#include <QJsonArray>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

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
        auto change = [&](const std::string& h, tools::DeviceView& v) {
            v.device.status.opBattery = lost;
            v.device.status.noVInput = lost;
            v.device.vars.vInput = lost ? 0 : 230;
            for (const char* flag : {"opBattery", "noVInput"}) {
                CustoviaEvent e;
                e.kind = lost ? CustoviaEventKind::flagRaised : CustoviaEventKind::flagCleared;
                e.host = h;
                e.device = v.device.id;
                e.name = flag;
                events.push_back(e);
            }
        };
        if (!device.empty()) {
            change(host, units_.at(host).at(device));
            return events;
        }
        for (auto& h : units_) {
            for (auto& u : h.second) {
                change(h.first, u.second);
            }
        }
        return events;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::map<std::string, tools::DeviceView>> units_;
};

// Delays from each topic's hand-over time to its arrival, in milliseconds.
std::vector<double> delays(const std::map<std::string, bench::Clock::time_point>& from,
                           const std::map<std::string, bench::Clock::time_point>& to) {
    std::vector<double> out;
    for (const auto& a : to) {
        auto f = from.find(a.first);
        if (f != from.end()) {
            out.push_back(std::chrono::duration<double, std::milli>(a.second - f->second).count());
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int hosts = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int units = hosts * kUnits;
    World world(hosts);
    mqtt_test::Broker broker;
    mqtt_test::Subscriber sub(broker.port(), "custovia/+/+/state");

    // Arrival of each unit's first state on battery and, after it, back on
    // mains, and (in the last phase) of the bare transport's messages, on the
    // steady clock.
    enum Phase { kOutage, kRestore, kTransport };
    std::atomic<int> phase{kOutage};
    std::mutex mutex;
    std::map<std::string, bench::Clock::time_point> arrived, back, bare;
    std::atomic<int> states{0};
    sub.onMessage([&](const std::string& topic, const std::string& payload) {
        ++states;
        bool on = payload.find("\"onBattery\":true") != std::string::npos;
        std::lock_guard<std::mutex> lock(mutex);
        if (phase == kOutage && on) {
            arrived.emplace(topic, bench::Clock::now());
        } else if (phase == kRestore && !on) {
            back.emplace(topic, bench::Clock::now());
        } else if (phase == kTransport && on) {
            bare.emplace(topic, bench::Clock::now());
        }
    });
    auto count = [&](const std::map<std::string, bench::Clock::time_point>& m) {
        std::lock_guard<std::mutex> lock(mutex);
        return static_cast<int>(m.size());
    };
    if (!mqtt_test::waitUntil([&] { return mqtt_test::canConnect(broker.port()); })) {
        std::fprintf(stderr, "broker did not start\n");
        return 1;
    }
    // The threads before the publisher's: this one and the subscriber's.
    const std::map<long, double> ownThreads = bench::threadCpuMs();
    const long mainThread = static_cast<long>(getpid());
    auto publisherThread = [&](long t) { return !ownThreads.count(t); };
    auto subscriberThread = [&](long t) { return ownThreads.count(t) && t != mainThread; };

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
    const std::map<long, double> cpuBefore = bench::threadCpuMs();
    const double brokerBefore = bench::processCpuMs(broker.pid());
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
    if (!mqtt_test::waitUntil([&] { return count(arrived) >= units; }, 120)) {
        std::fprintf(stderr, "only %d of %d outage states arrived\n", count(arrived), units);
        return 1;
    }
    double outageMs = bench::millisecondsSince(begin);
    uint64_t outageMessages = publisher.stats().published - before;
    double publisherCpu = bench::threadCpuSince(cpuBefore, publisherThread);
    double subscriberCpu = bench::threadCpuSince(cpuBefore, subscriberThread);
    double brokerCpu = bench::processCpuMs(broker.pid()) - brokerBefore;
    std::vector<double> burst = delays(raised, arrived);
    // What the subscriber holds now: every unit's state on battery.
    const std::map<std::string, std::string> onBattery = sub.all();

    // Mains back, as the library would see it: each host's events when its
    // own refresh cycle (3 s, hosts spread over it) reads the change.
    phase = kRestore;
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
    if (!mqtt_test::waitUntil([&] { return count(back) >= units; }, 120)) {
        std::fprintf(stderr, "only %d of %d restored states arrived\n", count(back), units);
        return 1;
    }
    std::vector<double> spread = delays(raised, back);
    publisher.stop();

    // The floor under the outage: the same messages, ready made, published
    // from one thread in one loop through the publisher's broker connection,
    // with nothing read, compared or built.
    std::atomic<bool> up{false};
    mqtt::ConnectionCallbacks callbacks;
    callbacks.connected = [&] { up = true; };
    mqtt::Connection bareConnection(o, "custovia-bench-transport", "custovia/bench/status",
                                    callbacks);
    bareConnection.start();
    if (!mqtt_test::waitUntil([&] { return up.load(); })) {
        std::fprintf(stderr, "the transport connection did not come up\n");
        return 1;
    }
    phase = kTransport;
    const std::map<long, double> bareBefore = bench::threadCpuMs();
    const double brokerBareBefore = bench::processCpuMs(broker.pid());
    raised.clear();
    begin = bench::Clock::now();
    for (const auto& m : onBattery) {
        raised.emplace(m.first, bench::Clock::now());
        bareConnection.publish(m.first, m.second, 0, true);
    }
    if (!mqtt_test::waitUntil([&] { return count(bare) >= static_cast<int>(onBattery.size()); },
                              120)) {
        std::fprintf(stderr, "only %d of %zu transport messages arrived\n", count(bare),
                     onBattery.size());
        return 1;
    }
    double bareMs = bench::millisecondsSince(begin);
    // The sender: this thread and the connection's network thread.
    double bareCpu =
        bench::threadCpuSince(bareBefore, [&](long t) { return !subscriberThread(t); });
    double brokerBareCpu = bench::processCpuMs(broker.pid()) - brokerBareBefore;
    std::vector<double> bareDelays = delays(raised, bare);
    bareConnection.stop();

    std::size_t payloadBytes = 0;
    for (const auto& m : onBattery) {
        payloadBytes += m.second.size();
    }

    std::printf("mqtt_%d_units_first_publish_time: %.0f ms\n", units, startMs);
    std::printf("mqtt_%d_units_first_publish_rate: %.0f messages/s\n", units,
                startMessages / (startMs / 1000));
    std::printf("mqtt_%d_units_outage_rate: %.0f messages/s\n", units,
                outageMessages / (outageMs / 1000));
    std::printf("mqtt_%d_units_outage_time: %.0f ms\n", units, outageMs);
    std::printf("mqtt_burst_event_to_message_p50: %.1f ms\n", bench::median(burst));
    std::printf("mqtt_burst_event_to_message_p99: %.1f ms\n", bench::percentile(burst, 0.99));
    std::printf("mqtt_burst_publisher_cpu: %.0f ms\n", publisherCpu);
    std::printf("mqtt_burst_broker_cpu: %.0f ms\n", brokerCpu);
    std::printf("mqtt_burst_subscriber_cpu: %.0f ms\n", subscriberCpu);
    std::printf("mqtt_state_payload_mean: %.0f bytes\n",
                static_cast<double>(payloadBytes) / std::max<std::size_t>(1, onBattery.size()));
    std::printf("mqtt_transport_burst_p50: %.1f ms\n", bench::median(bareDelays));
    std::printf("mqtt_transport_burst_p99: %.1f ms\n", bench::percentile(bareDelays, 0.99));
    std::printf("mqtt_transport_burst_time: %.0f ms\n", bareMs);
    std::printf("mqtt_transport_burst_sender_cpu: %.0f ms\n", bareCpu);
    std::printf("mqtt_transport_burst_broker_cpu: %.0f ms\n", brokerBareCpu);
    std::printf("mqtt_event_to_message_p50: %.1f ms\n", bench::median(spread));
    std::printf("mqtt_event_to_message_p99: %.1f ms\n", bench::percentile(spread, 0.99));
    std::printf("mqtt_onEvent_max: %.1f us\n", handOverMaxUs);
    std::printf("mqtt_%zu_events_hand_over_time: %.1f ms\n", events.size(), handOverMs);
    std::printf("mqtt_%d_units_memory: %ld KiB\n", units, bench::residentKiB());
    return 0;
}
