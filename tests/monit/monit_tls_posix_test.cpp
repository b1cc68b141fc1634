// The monitoring client over HTTPS with certificate checks: each refused
// certificate fails the request with -320 and a log line naming the TLS
// error; an accepted one keeps its connection for every request.
#include <gtest/gtest.h>

#include "../TlsSuite.h"
#include "SimClient.h"
#include "tkl/Exception.h"

using custovia::MonitClient;
using custovia::sim::CertificateFiles;
using custovia::sim::Simulator;

namespace {

custovia::sim::Options tlsOptions(const CertificateFiles& files) {
    custovia::sim::Options o = montest::simOptions();
    o.tlsCert = files.cert;
    o.tlsKey = files.key;
    return o;
}

}  // namespace

using MonitTls = tlstest::Suite;

TEST_F(MonitTls, EachRefusedCertificateFailsWith320AndTheTlsErrorInTheLog) {
    tlstest::ErrorLog log(certs->folder);
    struct Case {
        const CertificateFiles* files;
        const char* ca;
        const char* reason;
    };
    for (const Case& c :
         {Case{&certs->expired, certs->ca.cert.c_str(), "certificate has expired"},
          Case{&certs->otherName, certs->ca.cert.c_str(), "subject name matches target host"},
          Case{&certs->selfSigned, certs->ca.cert.c_str(), "self-signed certificate"},
          Case{&certs->good, certs->otherCa.cert.c_str(), "unable to get local issuer"}}) {
        SCOPED_TRACE(c.reason);
        Simulator sim(tlsOptions(*c.files));
        sim.start();
        MonitClient client;
        client.setRefreshInterval(3600 * 1000);
        client.setTlsVerification(c.ca, true);
        client.start(sim.url().c_str());
        try {
            client.getApiUri();
            ADD_FAILURE() << "accepted";
        } catch (const tkl::IOException& e) {
            EXPECT_EQ(e.code(), -320);
            EXPECT_EQ(e.message(), "Error posting HTTP data in cURL. Code: 60");
        }
        EXPECT_NE(log.text().find(c.reason), std::string::npos) << log.text();
        EXPECT_TRUE(sim.journal().empty());
        client.stop();
    }
}

TEST_F(MonitTls, AnAcceptedServiceIsRefreshedOverOneConnection) {
    Simulator sim(tlsOptions(certs->good));
    sim.start();
    MonitClient client;
    client.setRefreshInterval(3600 * 1000);
    client.setTlsVerification(certs->ca.cert, true);
    client.start(sim.url().c_str());
    client.refreshNow();
    client.refreshNow();
    EXPECT_EQ(client.getDevices().size(), 2u);
    EXPECT_GT(sim.journal().size(), 4u);
    EXPECT_EQ(client.connectionCount(), 1);
    client.stop();
}
