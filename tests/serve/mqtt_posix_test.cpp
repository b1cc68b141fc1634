// custovia-serve publishing to a real MQTT broker: the units' state follows
// an outage, a button runs its command through the gateway's command path,
// a clean stop says "offline" and so does the broker, as the last will, for
// a gateway that vanished.
#include <gtest/gtest.h>

#include "MqttTestSupport.h"
#include "ServeTestSupport.h"
#include "sim/Simulator.h"

namespace {

using mqtt_test::Broker;
using mqtt_test::Subscriber;
using serve_test::Gateway;
using serve_test::TempDir;
using serve_test::waitUntil;

bool received(const custovia::sim::Simulator& sim, const std::string& method,
              const std::string& pathEnd) {
    for (const auto& e : sim.journal()) {
        if (e.method == method && e.path.size() >= pathEnd.size() &&
            e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0) {
            return true;
        }
    }
    return false;
}

TEST(ServeMqtt, StateOutageAndButtonsGoThroughTheGatewayAndItsStopsAreAnnounced) {
    custovia::sim::Options o;
    o.devices = 2;
    custovia::sim::Simulator sim(o);
    sim.start();
    Broker broker;
    Subscriber sub(broker.port());
    TempDir dir;
    const std::string id = sim.deviceIds().at(0);
    const std::string base = "custovia/127.0.0.1/" + id;

    {
        Gateway gateway({"--host", sim.url(), "--mqtt", broker.url(), "--token-file",
                         dir.file("token", "t0ken-for-the-test\n")});
        ASSERT_EQ(gateway.url.rfind("http://", 0), 0u) << gateway.process->err();
        ASSERT_TRUE(waitUntil([&] { return sub.has(base + "/state"); }, 30))
            << gateway.process->err();
        EXPECT_EQ(sub.last("custovia/status"), "online");
        EXPECT_EQ(sub.last("custovia/127.0.0.1/availability"), "online");
        EXPECT_FALSE(sub.json(base + "/state")["onBattery"].toBool());

        sim.setOutage(true);
        EXPECT_TRUE(waitUntil([&] { return sub.json(base + "/state")["onBattery"].toBool(); }))
            << sub.last(base + "/state");

        sub.publish(base + "/command/shutdown", "PRESS");
        EXPECT_TRUE(waitUntil([&] { return received(sim, "PUT", "/device/" + id + "/shutdown"); }));
        EXPECT_TRUE(waitUntil([&] { return sub.has(base + "/command/shutdown/result"); }));
        EXPECT_EQ(sub.json(base + "/command/shutdown/result")["status"].toInt(), 1);

        gateway.process->signal(SIGTERM);
        EXPECT_EQ(gateway.process->wait(10), 0) << gateway.process->err();
        EXPECT_TRUE(waitUntil([&] { return sub.last("custovia/status") == "offline"; }, 5));
    }

    // Killed without a goodbye, the broker says it for the gateway.
    Gateway vanished({"--host", sim.url(), "--mqtt", broker.url()});
    ASSERT_TRUE(waitUntil([&] { return sub.last("custovia/status") == "online"; }, 30))
        << vanished.process->err();
    vanished.process->signal(SIGKILL);
    vanished.process->wait(10);
    EXPECT_TRUE(waitUntil([&] { return sub.last("custovia/status") == "offline"; }, 60));
}

TEST(ServeMqtt, BadBrokerOptionsStopTheStartWithUsage) {
    int code = 0;
    serve_test::runProgram(CUSTOVIA_SERVE_PATH,
                           {"--host", "http://127.0.0.1:9", "--mqtt", "http://broker"}, &code);
    EXPECT_EQ(code, 2);
    serve_test::runProgram(CUSTOVIA_SERVE_PATH,
                           {"--host", "http://127.0.0.1:9", "--mqtt", "mqtts://b",
                            "--mqtt-password-file", "/etc/hostname"},
                           &code);
    EXPECT_EQ(code, 2) << "a password needs a user";
}

}  // namespace
