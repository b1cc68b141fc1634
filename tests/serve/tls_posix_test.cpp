// custovia-serve against services that speak HTTPS: with --ca-file the
// gateway reads a service whose certificate that authority issued, and shows
// a service with a certificate of another authority as unreachable, with the
// reason in its health answer.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "../TlsTestSupport.h"
#include "ServeTestSupport.h"

using namespace serve_test;

namespace {

std::unique_ptr<custovia::sim::Simulator> httpsSimulator(const tlstest::Certificates::Files& cert) {
    custovia::sim::Options o;
    o.port = 0;
    o.devices = 2;
    o.tlsCert = cert.cert;
    o.tlsKey = cert.key;
    auto sim = std::make_unique<custovia::sim::Simulator>(o);
    sim->start();
    return sim;
}

QJsonObject firstHost(const Gateway& gateway) {
    auto r = gateway.client()->Get("/healthz");
    return r ? jsonOf(r->body)["hosts"].toArray()[0].toObject() : QJsonObject();
}

}  // namespace

TEST(GatewayTlsTest, TheCaFileDecidesWhichServicesAreRead) {
    tlstest::Certificates certs;
    auto trusted = httpsSimulator(certs.good);
    ASSERT_EQ(trusted->url().rfind("https://127.0.0.1:", 0), 0u);

    Gateway gateway({"--host", trusted->url(), "--ca-file", certs.ca.cert});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    EXPECT_TRUE(waitUntil([&] {
        auto r = gateway.client()->Get("/metrics");
        return r && r->body.find("custovia_battery_charge_ratio{") != std::string::npos;
    })) << gateway.process->err();
    EXPECT_EQ(firstHost(gateway)["hostState"].toString(), "fresh");

    // The same authority does not vouch for a certificate of another one.
    auto stranger = httpsSimulator(certs.selfSigned);
    Gateway refusing(
        {"--host", stranger->url(), "--ca-file", certs.ca.cert, "--unreachable-after", "1"});
    ASSERT_FALSE(refusing.url.empty()) << refusing.process->err();
    ASSERT_TRUE(waitUntil([&] { return firstHost(refusing)["hostState"] == "unreachable"; }))
        << refusing.process->err();
    QString reason = firstHost(refusing)["reason"].toString();
    EXPECT_TRUE(reason.contains("certificate", Qt::CaseInsensitive)) << reason.toStdString();
    EXPECT_EQ(refusing.client()->Get("/metrics")->body.find("custovia_battery_charge_ratio{"),
              std::string::npos);
}
