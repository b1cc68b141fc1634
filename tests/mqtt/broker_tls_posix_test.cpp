// The publisher's way to a broker that wants TLS and a password: the CA
// file, the host name check and the password file, against mosquitto with a
// certificate made by the test.
#include <gtest/gtest.h>

#include <atomic>

#include "MqttTestSupport.h"
#include "mqtt/Publisher.h"

using namespace mqtt_test;
using custovia::mqtt::Options;
using custovia::mqtt::Publisher;
using custovia::mqtt::Source;

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A CA, and a certificate for 127.0.0.1 (or `name`) signed by it.
void makeCertificates(const TempDir& dir, const std::string& name) {
    const std::string d = dir.path();
    ASSERT_TRUE(run("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=test-ca -keyout " +
                    d + "/ca.key -out " + d + "/ca.pem"));
    ASSERT_TRUE(run("openssl req -newkey rsa:2048 -nodes -subj /CN=" + name + " -keyout " + d +
                    "/server.key -out " + d + "/server.csr"));
    dir.file("ext.cnf",
             "subjectAltName=" + std::string(name == "127.0.0.1" ? "IP:" : "DNS:") + name + "\n");
    ASSERT_TRUE(run("openssl x509 -req -days 1 -in " + d + "/server.csr -CA " + d +
                    "/ca.pem -CAkey " + d + "/ca.key -CAcreateserial -extfile " + d +
                    "/ext.cnf -out " + d + "/server.pem"));
    ASSERT_TRUE(run("mosquitto_passwd -c -b " + d + "/passwords gateway s3cret"));
}

class TlsBroker {
public:
    explicit TlsBroker(const std::string& certName) {
        makeCertificates(dir_, certName);
        const std::string d = dir_.path();
        broker_.reset(new Broker("allow_anonymous false\npassword_file " + d +
                                 "/passwords\ncafile " + d + "/ca.pem\ncertfile " + d +
                                 "/server.pem\nkeyfile " + d + "/server.key\n"));
    }
    Options options(const std::string& password) const {
        Options o;
        o.url = "mqtts://127.0.0.1:" + std::to_string(broker_->port());
        o.caFile = dir_.path() + "/ca.pem";
        o.user = "gateway";
        o.passwordFile = dir_.file("password", password + "\n");
        EXPECT_EQ(custovia::mqtt::load(o), "");
        o.reconnectMaxSec = 1;
        return o;
    }

private:
    TempDir dir_;
    std::unique_ptr<Broker> broker_;
};

TEST(MqttBrokerTlsTest, ConnectsWithTheCaFileAndThePasswordFile) {
    TlsBroker broker("127.0.0.1");
    Publisher p(broker.options("s3cret"), Source());
    ASSERT_EQ(p.start(), "");
    EXPECT_TRUE(waitUntil([&] { return p.stats().connected; }));
}

TEST(MqttBrokerTlsTest, AWrongPasswordOrACertificateForAnotherNameIsRefused) {
    TlsBroker good("127.0.0.1");
    std::atomic<int> refusals{0};
    Publisher wrong(good.options("guess"), Source());
    wrong.setLog([&](const std::string& line) {
        if (line.find("refused") != std::string::npos) {
            ++refusals;
        }
    });
    ASSERT_EQ(wrong.start(), "");
    EXPECT_TRUE(waitUntil([&] { return refusals > 0; }));
    EXPECT_EQ(wrong.stats().connections, 0u);

    TlsBroker other("broker.example");
    std::atomic<int> failures{0};
    Publisher p(other.options("s3cret"), Source());
    p.setLog([&](const std::string& line) {
        if (line.find("reconnecting") != std::string::npos) {
            ++failures;
        }
    });
    ASSERT_EQ(p.start(), "");
    // The handshake fails: reported and retried, never connected.
    EXPECT_TRUE(waitUntil([&] { return failures > 0; }));
    EXPECT_EQ(p.stats().connections, 0u);
}

}  // namespace
