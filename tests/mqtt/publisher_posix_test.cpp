// The MQTT publisher against a real mosquitto broker, fed from a library
// handle connected to the simulator: discovery configs as Home Assistant
// reads them, state on change, availability, commands, removed units, a
// broker restart and a connection broken while a removal is on its way.
#include <gtest/gtest.h>

#include <QJsonArray>

#include <mutex>
#include <set>

#include "MqttTestSupport.h"
#include "client/custovia.h"
#include "common/Snapshot.h"
#include "mqtt/Publisher.h"
#include "mqtt/SnapshotSource.h"
#include "sim/Simulator.h"

using namespace mqtt_test;
using custovia::mqtt::CommandResult;
using custovia::mqtt::Options;
using custovia::mqtt::Publisher;
using custovia::mqtt::Source;

namespace {

// A library handle connected to the simulator, with the gateway's source and
// command path on top.
class LibrarySource {
public:
    explicit LibrarySource(const std::string& url) : handle_(openCli()) {
        connectCli(handle_, url.c_str());
        CustoviaNames names;
        getHostCount(handle_, &names);
        host_ = names.empty() ? std::string() : names.front();
    }
    ~LibrarySource() { closeCli(handle_); }

    // The gateway's source. Until the library reports host health, a host
    // counts as reachable while its units' readings are fresh.
    Source source() {
        custovia::tools::HostRef ref;
        ref.key = host_;
        return custovia::mqtt::snapshotSource(handle_, {ref}, [this](const std::string& host) {
            CustoviaDevices devices;
            getDeviceList(handle_, host.c_str(), nullptr, &devices);
            int64_t newest = 0;
            for (const auto& d : devices) {
                newest = std::max(newest, d.second.last);
            }
            return newest == 0 || custovia::tools::nowMs() - newest < 7000;
        });
    }

    // The commands of the HTTP interface, through the library.
    CommandResult command(const std::string& host, const std::string& device,
                          const std::string& name) {
        auto run = name == "shutdown"          ? manualDevShutdown
                   : name == "cancel-shutdown" ? cancelDevShutdown
                   : name == "discharge"       ? manualDevDischarge
                                               : manualDevMailTest;
        int32_t status = run(handle_, host.c_str(), nullptr, device.c_str());
        return CommandResult{status, status == 1 ? "done" : "failed"};
    }

    CustoviaHandle handle() const { return handle_; }
    const std::string& host() const { return host_; }

private:
    CustoviaHandle handle_;
    std::string host_;
};

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        custovia::sim::Options o;
        o.devices = 2;
        o.computers = 0;
        sim_.reset(new custovia::sim::Simulator(o));
        sim_->start();
        lib_.reset(new LibrarySource(sim_->url()));
        ids_ = sim_->deviceIds();
        ASSERT_EQ(ids_.size(), 2u);
    }

    Options options() const {
        Options o;
        o.url = broker_.url();
        o.intervalMs = 300;
        EXPECT_EQ(custovia::mqtt::load(o), "");
        return o;
    }

    std::unique_ptr<Publisher> publisher(bool commands) {
        custovia::mqtt::CommandHandler handler;
        if (commands) {
            handler = [this](const std::string& h, const std::string& d, const std::string& n) {
                return lib_->command(h, d, n);
            };
        }
        std::unique_ptr<Publisher> p(new Publisher(options(), lib_->source(), handler));
        EXPECT_EQ(p->start(), "");
        return p;
    }

    std::string base(const std::string& id) const { return "custovia/127.0.0.1/" + id; }
    std::string node(const std::string& id) const { return "custovia_127_0_0_1_" + id; }
    std::string config(const std::string& component, const std::string& id,
                       const std::string& key) const {
        return "homeassistant/" + component + "/" + node(id) + "/" + key + "/config";
    }

    bool received(const std::string& method, const std::string& path) const {
        for (const auto& e : sim_->journal()) {
            if (e.method == method && e.path.size() >= path.size() &&
                e.path.compare(e.path.size() - path.size(), path.size(), path) == 0) {
                return true;
            }
        }
        return false;
    }

    Broker broker_;
    std::unique_ptr<custovia::sim::Simulator> sim_;
    std::unique_ptr<LibrarySource> lib_;
    std::vector<std::string> ids_;
};

TEST_F(MqttPublisherTest, DiscoveryConfigsCarryWhatHomeAssistantReads) {
    Subscriber sub(broker_.port());
    auto pub = publisher(true);
    const std::string id = ids_[0];
    const std::string state = base(id) + "/state";
    ASSERT_TRUE(
        waitUntil([&] { return sub.has(state) && sub.has(config("button", id, "mail_test")); }));
    EXPECT_EQ(sub.last("custovia/status"), "online");
    EXPECT_EQ(sub.last("custovia/127.0.0.1/availability"), "online");

    struct Expect {
        const char* component;
        const char* key;
        const char* deviceClass;  // "" for none
        const char* unit;
    };
    const Expect sensors[] = {
        {"sensor", "charge", "battery", "%"},
        {"sensor", "input_voltage", "voltage", "V"},
        {"sensor", "output_voltage", "voltage", "V"},
        {"sensor", "battery_voltage", "voltage", "V"},
        {"sensor", "output_power", "power", "W"},
        {"sensor", "load", "", "%"},
        {"sensor", "temperature", "temperature",
         "\xC2\xB0"
         "C"},
        {"sensor", "countdown", "duration", "s"},
        {"binary_sensor", "on_battery", "", ""},
        {"binary_sensor", "low_battery", "battery", ""},
        {"binary_sensor", "overload", "problem", ""},
        {"binary_sensor", "failure", "problem", ""},
    };
    std::set<QString> uniqueIds;
    for (const Expect& e : sensors) {
        SCOPED_TRACE(e.key);
        QJsonObject c = sub.json(config(e.component, id, e.key));
        ASSERT_FALSE(c.isEmpty());
        EXPECT_FALSE(c["name"].toString().isEmpty());
        uniqueIds.insert(c["unique_id"].toString());
        EXPECT_EQ(c["state_topic"].toString().toStdString(), state);
        EXPECT_EQ(c["device_class"].toString(), e.deviceClass);
        EXPECT_EQ(c["unit_of_measurement"].toString(), e.unit);
        EXPECT_TRUE(c["value_template"].toString().startsWith("{{")) << "a Jinja template";
        QJsonArray availability = c["availability"].toArray();
        ASSERT_EQ(availability.size(), 2);
        EXPECT_EQ(availability[0].toObject()["topic"].toString(), "custovia/status");
        EXPECT_EQ(availability[1].toObject()["topic"].toString(),
                  "custovia/127.0.0.1/availability");
        EXPECT_EQ(c["availability_mode"].toString(), "all");
        QJsonObject device = c["device"].toObject();
        EXPECT_EQ(device["identifiers"].toArray().first().toString().toStdString(), node(id));
        EXPECT_FALSE(device["name"].toString().isEmpty());
    }
    EXPECT_EQ(uniqueIds.size(), std::size(sensors)) << "every entity has its own unique_id";

    // The templates' members are in the state object, with numbers where a
    // sensor has a unit.
    QJsonObject s = sub.json(state);
    for (const char* member :
         {"charge", "vInput", "vOutput", "vBattery", "pOutput", "temperature"}) {
        EXPECT_TRUE(s[member].isDouble()) << member;
    }
    for (const char* member : {"onBattery", "lowBattery", "overload", "failure"}) {
        EXPECT_TRUE(s[member].isBool()) << member;
    }
    EXPECT_TRUE(s.contains("countdownSeconds"));
    EXPECT_FALSE(s.contains("ageMs")) << "a retained age would be stale at once";

    for (const char* command : {"shutdown", "cancel-shutdown", "discharge", "mail-test"}) {
        std::string key = command;
        std::replace(key.begin(), key.end(), '-', '_');
        QJsonObject b = sub.json(config("button", id, key));
        EXPECT_EQ(b["command_topic"].toString().toStdString(), base(id) + "/command/" + command);
        EXPECT_EQ(b["payload_press"].toString(), "PRESS");
        EXPECT_FALSE(b["unique_id"].toString().isEmpty());
    }
}

TEST_F(MqttPublisherTest, StateFollowsAnOutageAndCommandsReachTheService) {
    Subscriber sub(broker_.port());
    auto pub = publisher(true);
    const std::string id = ids_[1];
    const std::string state = base(id) + "/state";
    ASSERT_TRUE(waitUntil([&] { return sub.has(state); }));
    EXPECT_FALSE(sub.json(state)["onBattery"].toBool());

    sim_->setOutage(true);
    EXPECT_TRUE(waitUntil([&] { return sub.json(state)["onBattery"].toBool(); }))
        << sub.last(state);
    EXPECT_EQ(sub.json(state)["state"].toString(), "onBattery");

    sub.publish(base(id) + "/command/shutdown", "PRESS");
    EXPECT_TRUE(waitUntil([&] { return received("PUT", "/device/" + id + "/shutdown"); }));
    EXPECT_TRUE(waitUntil([&] { return sub.has(base(id) + "/command/shutdown/result"); }));
    EXPECT_EQ(sub.json(base(id) + "/command/shutdown/result")["status"].toInt(), 1);

    // Not a command for a known unit, or not a press: refused with a reason,
    // nothing sent to the service.
    sub.publish(base("NOSUCH") + "/command/discharge", "PRESS");
    sub.publish(base(id) + "/command/discharge", "please");
    sub.publish(base(id) + "/command/format-disk", "PRESS");
    EXPECT_TRUE(waitUntil([&] {
        return sub.has(base("NOSUCH") + "/command/discharge/result") &&
               sub.has(base(id) + "/command/discharge/result") &&
               sub.has(base(id) + "/command/format-disk/result");
    }));
    EXPECT_EQ(sub.json(base(id) + "/command/discharge/result")["status"].toInt(), -202);
    EXPECT_FALSE(received("PUT", "/device/" + id + "/discharge"));
}

TEST_F(MqttPublisherTest, ARetainedCommandDoesNotRunAtStart) {
    const std::string id = ids_[0];
    Subscriber sub(broker_.port());
    ASSERT_TRUE(waitUntil([&] {
        CustoviaDevices devices;
        return getDeviceList(lib_->handle(), lib_->host().c_str(), nullptr, &devices) == 1 &&
               devices.size() == 2;
    }));
    sub.publish(base(id) + "/command/discharge", "PRESS", true);
    ASSERT_TRUE(waitUntil([&] { return sub.has(base(id) + "/command/discharge"); }));
    // The publisher knows the unit when the broker hands it the retained press.
    auto pub = publisher(true);
    ASSERT_TRUE(waitUntil([&] { return sub.has(base(id) + "/state"); }));
    sub.publish(base(id) + "/command/mail-test", "PRESS");
    ASSERT_TRUE(waitUntil([&] { return sub.has(base(id) + "/command/mail-test/result"); }));
    // Commands are handled in arrival order: the retained one came first.
    EXPECT_FALSE(received("PUT", "/device/" + id + "/discharge"));
    sub.publish(base(id) + "/command/discharge", "", true);
}

TEST_F(MqttPublisherTest, WithoutCommandsButtonsOfAnEarlierRunAreCleared) {
    const std::string id = ids_[0];
    const std::string button = config("button", id, "shutdown");
    {
        Subscriber sub(broker_.port());
        auto pub = publisher(true);
        ASSERT_TRUE(waitUntil([&] { return !sub.last(button).empty(); }));
    }
    Subscriber sub(broker_.port());
    ASSERT_TRUE(waitUntil([&] { return !sub.last(button).empty(); })) << "retained from before";
    auto pub = publisher(false);
    EXPECT_TRUE(waitUntil([&] { return sub.has(button) && sub.last(button).empty(); }));
    EXPECT_FALSE(sub.last(config("sensor", id, "charge")).empty());
}

TEST_F(MqttPublisherTest, RemovedUnitIsClearedAndAStoppedServiceGoesOffline) {
    Subscriber sub(broker_.port());
    auto pub = publisher(false);
    const std::string gone = ids_[0];
    const std::string charge = config("sensor", gone, "charge");
    ASSERT_TRUE(waitUntil([&] { return !sub.last(charge).empty(); }));

    ASSERT_EQ(deleteDevice(lib_->handle(), lib_->host().c_str(), nullptr, gone.c_str()), 1);
    // Every topic of the unit is cleared, in no particular order.
    EXPECT_TRUE(waitUntil([&] {
        return sub.has(charge) && sub.last(charge).empty() &&
               sub.last(config("binary_sensor", gone, "failure")).empty() &&
               sub.last(base(gone) + "/state").empty();
    }));
    EXPECT_FALSE(sub.last(config("sensor", ids_[1], "charge")).empty()) << "the other unit stays";

    sim_->stop();
    EXPECT_TRUE(
        waitUntil([&] { return sub.last("custovia/127.0.0.1/availability") == "offline"; }, 30));
    EXPECT_FALSE(sub.last(config("sensor", ids_[1], "charge")).empty())
        << "an unreachable host's units are not removed";
}

TEST_F(MqttPublisherTest, EverythingComesBackAfterTheBrokerRestarts) {
    auto pub = publisher(false);
    const std::string state = base(ids_[0]) + "/state";
    {
        Subscriber sub(broker_.port());
        ASSERT_TRUE(waitUntil([&] { return sub.has(state); }));
    }
    broker_.stop();
    ASSERT_TRUE(waitUntil([&] { return !pub->stats().connected; }));
    // Changes while the broker is away are published once it is back.
    sim_->setOutage(true);
    ASSERT_TRUE(waitUntil([&] {
        custovia::Device d;
        getDevice(lib_->handle(), lib_->host().c_str(), nullptr, ids_[0].c_str(), &d);
        return static_cast<bool>(d.status.opBattery);
    }));
    broker_.start();
    Subscriber sub(broker_.port());
    EXPECT_TRUE(waitUntil(
        [&] {
            return sub.json(state)["onBattery"].toBool() &&
                   !sub.last(config("sensor", ids_[0], "charge")).empty();
        },
        40));
    EXPECT_EQ(sub.last("custovia/status"), "online");
    EXPECT_GE(pub->stats().connections, 2u);
}

TEST_F(MqttPublisherTest, ABrokerThatIsDownAtStartIsReachedLater) {
    broker_.stop();
    auto pub = publisher(false);  // returns at once although nobody answers
    EXPECT_FALSE(pub->stats().connected);
    broker_.start();
    Subscriber sub(broker_.port());
    EXPECT_TRUE(waitUntil([&] { return sub.has(base(ids_[0]) + "/state"); }, 40));
    EXPECT_EQ(sub.last("custovia/status"), "online");
}

TEST_F(MqttPublisherTest, ACleanStopSaysOffline) {
    Subscriber sub(broker_.port());
    auto pub = publisher(false);
    ASSERT_TRUE(waitUntil([&] { return sub.last("custovia/status") == "online"; }));
    pub->stop();
    EXPECT_TRUE(waitUntil([&] { return sub.last("custovia/status") == "offline"; }, 5));
}

// Regression: the empty messages that clear a removed unit went at most once,
// so a connection that broke while they were on their way lost them for good
// (the unit is not published again) and its configs stayed at the broker.
TEST(MqttPublisherRelayTest, AUnitRemovedJustBeforeTheConnectionBreaksIsStillCleared) {
    Broker broker;
    Relay relay(broker.port());
    Subscriber sub(broker.port());
    // Two units whose readings never change: after the first publication only
    // the removal has anything to send.
    std::mutex mutex;
    std::vector<std::string> listed{"UPS-A", "UPS-B"};
    auto unit = [](const std::string& id) {
        return custovia::mqtt::UnitState{
            id, QJsonObject{{"id", QString::fromStdString(id)}, {"name", "UPS"}, {"charge", 100}}};
    };
    Source source;
    source.hosts = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        custovia::mqtt::HostState h;
        h.host = "h1";
        for (const std::string& id : listed) {
            h.units.push_back(unit(id));
        }
        return std::vector<custovia::mqtt::HostState>{h};
    };
    source.unit = [&](const std::string&, const std::string& device,
                      custovia::mqtt::UnitState* out) {
        *out = unit(device);
        return true;
    };
    Options o;
    o.url = relay.url();
    o.intervalMs = 200;
    ASSERT_EQ(custovia::mqtt::load(o), "");
    Publisher pub(o, source);
    ASSERT_EQ(pub.start(), "");
    const std::string charge = "homeassistant/sensor/custovia_h1_UPS-B/charge/config";
    const std::string state = "custovia/h1/UPS-B/state";
    ASSERT_TRUE(waitUntil([&] { return !sub.last(charge).empty() && sub.has(state); }));

    relay.hold();
    const uint64_t before = pub.stats().published;
    {
        std::lock_guard<std::mutex> lock(mutex);
        listed.pop_back();
    }
    // Every config of the unit and its state, handed to the connection but
    // held on the way to the broker.
    const std::size_t clears =
        custovia::mqtt::discoveryTopics(custovia::mqtt::UnitTopics{}).size() + 1;
    ASSERT_TRUE(waitUntil([&] { return pub.stats().published >= before + clears; }));
    EXPECT_FALSE(sub.last(charge).empty());
    relay.cut();

    EXPECT_TRUE(waitUntil(
        [&] {
            return relay.connections() >= 2 && sub.last(charge).empty() && sub.last(state).empty();
        },
        30));
    EXPECT_FALSE(sub.last("homeassistant/sensor/custovia_h1_UPS-A/charge/config").empty());
}

}  // namespace
