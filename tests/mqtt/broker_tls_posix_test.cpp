// The publisher's way to a broker that wants TLS and a password: the CA
// file, the host name check and the password file, against mosquitto with
// certificates made by the test.
#include <gtest/gtest.h>

#include <atomic>

#include "../TlsTestSupport.h"
#include "MqttTestSupport.h"
#include "mqtt/Publisher.h"

using namespace mqtt_test;

namespace {

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
        custovia::mqtt::Options o;
        o.url = "mqtts://127.0.0.1:" + std::to_string(broker.port());
        o.caFile = certs.ca.cert;
        o.user = "gateway";
        o.passwordFile = dir.file("password", c.password + std::string("\n"));
        ASSERT_EQ(custovia::mqtt::load(o), "");
        o.reconnectMaxSec = 1;
        std::atomic<int> reports{0};
        custovia::mqtt::Publisher p(o, custovia::mqtt::Source());
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
