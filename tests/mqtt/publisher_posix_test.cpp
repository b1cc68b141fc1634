// The MQTT publisher against a real mosquitto broker, fed by units of the
// test's own: a retained press that must not run, a removal whose messages a
// broken connection held, and a broker that wants TLS and a password.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>

#include "../TlsTestSupport.h"
#include "MqttTestSupport.h"
#include "mqtt/Discovery.h"
#include "mqtt/Publisher.h"

using namespace mqtt_test;
using custovia::mqtt::Options;
using custovia::mqtt::Publisher;

namespace {

// Units on host "h1" whose readings never change, listed until removed.
struct Units {
    static custovia::mqtt::UnitState unit(const std::string& id) {
        return {id, {{"id", QString::fromStdString(id)}, {"name", "UPS"}, {"charge", 100}}};
    }
    custovia::mqtt::Source source() {
        custovia::mqtt::Source s;
        s.hosts = [this] {
            std::lock_guard<std::mutex> lock(mutex);
            custovia::mqtt::HostState h{"h1", true, {}};
            for (const std::string& id : listed) {
                h.units.push_back(unit(id));
            }
            return std::vector<custovia::mqtt::HostState>{h};
        };
        s.unit = [](const std::string&, const std::string& device, custovia::mqtt::UnitState* out) {
            return *out = unit(device), true;
        };
        return s;
    }
    std::mutex mutex;
    std::vector<std::string> listed{"UPS-A", "UPS-B"};
};

Options options(const std::string& url) {
    Options o;
    o.url = url;
    o.intervalMs = 200;
    EXPECT_EQ(custovia::mqtt::load(o), "");
    return o;
}

TEST(MqttPublisherTest, ARetainedPressDoesNotRunAtStart) {
    Broker broker;
    Subscriber sub(broker.port());
    const std::string commands = "custovia/h1/UPS-A/command/";
    sub.publish(commands + "discharge", "PRESS", true);
    ASSERT_TRUE(waitUntil([&] { return sub.has(commands + "discharge"); }));
    Units units;
    std::mutex mutex;
    std::vector<std::string> ran;
    Publisher pub(options(broker.url()), units.source(),
                  [&](const std::string&, const std::string& device, const std::string& name) {
                      std::lock_guard<std::mutex> lock(mutex);
                      ran.push_back(device + " " + name);
                      return custovia::mqtt::CommandResult{1, "ok"};
                  });
    // The units are known before the broker hands over the retained press.
    ASSERT_EQ(pub.start(), "");
    // Subscribed before it publishes anything.
    ASSERT_TRUE(waitUntil([&] { return sub.has("custovia/h1/UPS-A/state"); }));
    sub.publish(commands + "mail-test", "PRESS");
    ASSERT_TRUE(waitUntil([&] { return sub.has(commands + "mail-test/result"); }));
    // Commands are handled in arrival order: the retained one came first.
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(ran, std::vector<std::string>{"UPS-A mail-test"});
}

// Regression: the empty messages that clear a removed unit went at most once,
// so a connection that broke while they were on their way lost them for good
// (the unit is not published again) and its configs stayed at the broker.
TEST(MqttPublisherTest, AUnitRemovedJustBeforeTheConnectionBreaksIsStillCleared) {
    TempDir saved;
    // Saving every second, the broker has the unit's configs again after the
    // crash below.
    Broker broker(
        "allow_anonymous true\npersistence true\nautosave_interval 1\n"
        "persistence_location " +
        saved.path() + "/\n");
    // Whether a new subscriber finds `topic` retained: its own message, once
    // back, comes after every retained one.
    auto retained = [&](const std::string& topic) {
        Subscriber sub(broker.port());
        EXPECT_TRUE(waitUntil([&] {
            sub.publish("sync", "x");
            return sub.has("sync");
        }));
        return !sub.last(topic).empty();
    };
    Units units;
    Publisher pub(options(broker.url()), units.source());
    ASSERT_EQ(pub.start(), "");
    const std::string charge = "homeassistant/sensor/custovia_h1_UPS-B/charge/config";
    const std::string state = "custovia/h1/UPS-B/state";
    ASSERT_TRUE(waitUntil([&] { return retained(charge) && retained(state); }));
    // The broker saves about every two seconds; the second save from now
    // began after the configs were retained.
    const std::string db = saved.path() + "/mosquitto.db";
    auto savedSince = [&](std::filesystem::file_time_type t) {
        std::error_code ec;
        return std::filesystem::last_write_time(db, ec) > t;  // min() while missing
    };
    const auto now = std::filesystem::file_time_type::clock::now();
    ASSERT_TRUE(waitUntil([&] { return savedSince(now); }));
    const auto first = std::filesystem::last_write_time(db);
    ASSERT_TRUE(waitUntil([&] { return savedSince(first); }));

    // After the first publication only the removal has anything to send:
    // every config of the unit and its state, handed to the connection but
    // never read by the stopped broker, whose crash resets the connection.
    broker.signal(SIGSTOP);
    const uint64_t before = pub.stats().published;
    {
        std::lock_guard<std::mutex> lock(units.mutex);
        units.listed.pop_back();  // UPS-B
    }
    const std::size_t clears =
        custovia::mqtt::discoveryTopics(custovia::mqtt::UnitTopics{}).size() + 1;
    ASSERT_TRUE(waitUntil([&] { return pub.stats().published >= before + clears; }));
    broker.stop(SIGKILL);
    broker.start();
    ASSERT_TRUE(retained(charge) || pub.stats().connections >= 2) << "nothing was saved";

    EXPECT_TRUE(waitUntil(
        [&] { return pub.stats().connections >= 2 && !retained(charge) && !retained(state); }, 30));
    EXPECT_TRUE(retained("homeassistant/sensor/custovia_h1_UPS-A/charge/config"));
}

// The CA file, the host name check and the password file.
TEST(MqttBrokerTlsTest, TheCaFileTheCertificatesNameAndThePasswordDecide) {
    tlstest::Certificates certs;
    TempDir dir;
    ASSERT_EQ(
        std::system(("mosquitto_passwd -c -b " + dir.path() + "/passwords gateway s3cret").c_str()),
        0);
    const struct {
        const tlstest::Certificates::Files& cert;
        const char* password;
        const char* logged;  // a refused or failed attempt, reported and retried
    } cases[] = {
        {certs.good, "s3cret", nullptr},
        {certs.good, "guess", "refused"},
        {certs.otherName, "s3cret", "reconnecting"},  // the handshake fails
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password + std::string(" ") + c.cert.cert);
        Broker broker("allow_anonymous false\npassword_file " + dir.path() + "/passwords\ncafile " +
                      certs.ca.cert + "\ncertfile " + c.cert.cert + "\nkeyfile " + c.cert.key +
                      "\n");
        Options o;
        o.url = "mqtts://127.0.0.1:" + std::to_string(broker.port());
        o.caFile = certs.ca.cert;
        o.user = "gateway";
        o.passwordFile = dir.file("password", c.password + std::string("\n"));
        ASSERT_EQ(custovia::mqtt::load(o), "");
        o.reconnectMaxSec = 1;
        std::atomic<int> reports{0};
        Publisher p(o, custovia::mqtt::Source());
        p.setLog([&](const std::string& line) {
            reports += c.logged && line.find(c.logged) != std::string::npos;
        });
        ASSERT_EQ(p.start(), "");
        if (!c.logged) {
            EXPECT_TRUE(waitUntil([&] { return p.stats().connected; }));
            continue;
        }
        EXPECT_TRUE(waitUntil([&] { return reports > 0; }));
        EXPECT_EQ(p.stats().connections, 0u);
    }
}

}  // namespace
