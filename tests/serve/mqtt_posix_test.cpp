// custovia-serve publishing to a real mosquitto broker: discovery configs as
// Home Assistant reads them, state, buttons that run commands only with a token
// file, removed and unreachable units, a broker down at start or restarted,
// and the gateway's status on a clean stop and as the last will of a killed one.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "MqttTestSupport.h"
#include "ServeTestSupport.h"

using namespace serve_test;
using mqtt_test::Broker;
using mqtt_test::Subscriber;

namespace {

class ServeMqttTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ids_.size(), 2u); }

    // The gateway on the simulator and the broker; with a token file its
    // buttons run commands.
    std::unique_ptr<Gateway> gateway(bool token) {
        std::vector<std::string> args{
            "--host", sim_->url(),           "--mqtt", broker_.url(), "--refresh",
            "1",      "--unreachable-after", "1"};
        if (token) {
            args.insert(args.end(), {"--token-file", dir_.file("token", "t0ken-for-the-test\n")});
        }
        auto g = std::make_unique<Gateway>(args);
        EXPECT_FALSE(g->url.empty()) << g->process->err();
        return g;
    }
    bool stops(Gateway& g, int sig) {
        g.process->signal(sig);
        return g.process->wait(Seconds(10)) == (sig == SIGTERM ? 0 : 128);
    }

    static std::string base(const std::string& id) { return "custovia/127.0.0.1/" + id; }
    static std::string config(const std::string& component, const std::string& id,
                              const std::string& key) {
        return "homeassistant/" + component + "/custovia_127_0_0_1_" + id + "/" + key + "/config";
    }

    std::unique_ptr<custovia::sim::Simulator> sim_ = startSimulator(1, 2);
    const std::vector<std::string> ids_ = sim_->deviceIds();
    Broker broker_;
    // Made anew after a broker restart rather than kept across it.
    std::unique_ptr<Subscriber> sub_ = std::make_unique<Subscriber>(broker_.port());
    TempDir dir_;
};

TEST_F(ServeMqttTest, DiscoveryStateAndButtonsThatRunOnlyWithATokenFile) {
    auto g = gateway(true);
    const std::string id = ids_[0], state = base(id) + "/state";
    ASSERT_TRUE(waitUntil(
        [&] { return sub_->has(state) && sub_->has(config("button", id, "mail_test")); }, 30))
        << g->process->err();
    EXPECT_EQ(sub_->last("custovia/127.0.0.1/availability"), "online");

    // The component, key, device class and unit of each entity; "-" for none.
    const QStringList entities =
        QString(
            "sensor charge battery %,sensor input_voltage voltage V,sensor load - %,"
            "sensor output_voltage voltage V,sensor battery_voltage voltage V,"
            "sensor output_power power W,sensor temperature temperature \u00B0C,"
            "sensor countdown duration s,binary_sensor on_battery - -,"
            "binary_sensor low_battery battery -,binary_sensor overload problem -,"
            "binary_sensor failure problem -,button shutdown,button cancel_shutdown,"
            "button discharge,button mail_test")
            .split(',');
    const QJsonArray availability{QJsonObject{{"topic", "custovia/status"}},
                                  QJsonObject{{"topic", "custovia/127.0.0.1/availability"}}};
    std::set<QString> uniqueIds;
    for (const QString& entity : entities) {
        SCOPED_TRACE(entity.toStdString());
        const QStringList e = QString(entity).replace("-", "").split(' ');
        const std::string topic = config(e[0].toStdString(), id, e[1].toStdString());
        const QJsonObject c = sub_->json(topic);
        EXPECT_EQ(sub_->qos(topic), 1) << "configs are sent at least once";
        EXPECT_FALSE(c["name"].toString().isEmpty());
        uniqueIds.insert(c["unique_id"].toString());
        EXPECT_EQ(c["availability"], availability);
        EXPECT_EQ(c["availability_mode"], "all");
        EXPECT_EQ(c["device"]["identifiers"][0], "custovia_127_0_0_1_" + QString(id.c_str()));
        EXPECT_FALSE(c["device"]["name"].toString().isEmpty());
        if (e[0] == "button") {
            EXPECT_EQ(c["command_topic"].toString().toStdString(),
                      base(id) + "/command/" + QString(e[1]).replace('_', '-').toStdString());
            EXPECT_EQ(c["payload_press"], "PRESS");
            continue;
        }
        EXPECT_EQ(c["state_topic"].toString().toStdString(), state);
        EXPECT_EQ(c["device_class"].toString(), e[2]);
        EXPECT_EQ(c["unit_of_measurement"].toString(), e[3]);
        EXPECT_TRUE(c["value_template"].toString().startsWith("{{")) << "a Jinja template";
    }
    EXPECT_EQ(uniqueIds.size(), static_cast<std::size_t>(entities.size()))
        << "every entity has its own unique_id";

    // The members the templates read are numbers; states go at most once.
    for (const char* member :
         {"charge", "vInput", "vOutput", "vBattery", "pOutput", "temperature"}) {
        EXPECT_TRUE(sub_->json(state)[member].isDouble()) << member;
    }
    EXPECT_EQ(sub_->qos(state), 0);

    sim_->setOutage(true);
    EXPECT_TRUE(waitUntil([&] { return sub_->json(state)["state"] == "onBattery"; }))
        << sub_->last(state);

    sub_->publish(base(id) + "/command/shutdown", "PRESS");
    EXPECT_TRUE(waitUntil(
        [&] { return sub_->json(base(id) + "/command/shutdown/result")["status"] == 1; }));
    EXPECT_TRUE(received(*sim_, "PUT", "/device/" + id + "/shutdown"));
    // Not a known unit, not a press or not a command: refused, nothing sent.
    const std::string refused[] = {base("NOSUCH") + "/command/discharge",
                                   base(id) + "/command/discharge", base(id) + "/command/format"};
    for (const std::string& topic : refused) {
        sub_->publish(topic, topic == refused[1] ? "please" : "PRESS");
    }
    for (const std::string& topic : refused) {
        EXPECT_TRUE(waitUntil([&] { return sub_->json(topic + "/result")["status"] == -202; }))
            << topic;
    }

    EXPECT_TRUE(stops(*g, SIGTERM)) << g->process->err();
    EXPECT_TRUE(waitUntil([&] { return sub_->last("custovia/status") == "offline"; }, 5));

    // Without a token file the buttons are cleared and a press runs nothing.
    g = gateway(false);
    ASSERT_TRUE(waitUntil([&] { return sub_->last("custovia/status") == "online"; }, 30));
    EXPECT_TRUE(waitUntil([&] { return sub_->last(config("button", id, "discharge")).empty(); }));
    EXPECT_FALSE(sub_->last(config("sensor", id, "charge")).empty());
    // A press, then the mains back: once that is published the press would
    // long have run.
    sub_->publish(base(id) + "/command/discharge", "PRESS");
    sim_->setOutage(false);
    EXPECT_TRUE(waitUntil([&] { return sub_->json(state)["onBattery"] == false; }));
    EXPECT_FALSE(received(*sim_, "PUT", "/device/" + id + "/discharge"));

    ASSERT_TRUE(stops(*g, SIGKILL));  // the broker says it for the gateway
    EXPECT_TRUE(waitUntil([&] { return sub_->last("custovia/status") == "offline"; }, 60));
}

TEST_F(ServeMqttTest, ABrokerDownAtStartOrRestartedGetsEverythingAndGoneUnitsAreCleared) {
    const std::string state = base(ids_[0]) + "/state",
                      charge = config("sensor", ids_[0], "charge");
    const std::string kept = config("sensor", ids_[1], "charge");
    auto restart = [&] {
        sub_.reset();
        broker_.stop();
    };
    auto everything = [&] {
        sub_ = std::make_unique<Subscriber>(broker_.port());
        return waitUntil(
            [&] {
                return !sub_->last(charge).empty() && sub_->has(state) &&
                       sub_->last("custovia/status") == "online";
            },
            40);
    };
    restart();
    auto g = gateway(false);  // serves although the broker does not answer
    broker_.start();
    EXPECT_TRUE(everything());

    // The broker keeps nothing over a restart; a change while it is away is
    // published once it is back, with everything else.
    restart();
    sim_->setOutage(true, ids_[0]);
    ASSERT_TRUE(waitUntil(
        [&] { return jsonOf(g->body("/api/v1/devices/" + ids_[0]))["state"] == "onBattery"; }));
    broker_.start();
    EXPECT_TRUE(everything());
    EXPECT_TRUE(sub_->json(state)["onBattery"].toBool());

    // A unit deleted at its service is cleared, the other stays.
    ChildProcess tool(CUSTOVIA_CLI_PATH, {"--host", sim_->url(), "delete", ids_[0], "--yes"});
    ASSERT_EQ(tool.wait(), 0) << tool.out() << tool.err();
    EXPECT_TRUE(waitUntil([&] {
        return sub_->last(charge).empty() && sub_->last(state).empty() && !sub_->last(kept).empty();
    }));
    sim_->stop();
    EXPECT_TRUE(
        waitUntil([&] { return sub_->last("custovia/127.0.0.1/availability") == "offline"; }, 30));
    EXPECT_FALSE(sub_->last(kept).empty()) << "an unreachable host's units are not removed";
}

}  // namespace
