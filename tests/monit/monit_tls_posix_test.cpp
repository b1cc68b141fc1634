// The monitoring client over HTTPS with certificate checks: each refused
// certificate fails the request with -320 and a log line naming the TLS
// error; an accepted one keeps its connection for every request.
#include "SimClient.h"
#include "TlsSuite.h"

using custovia::sim::CertificateFiles;
using simtest::SimClient;

namespace {

simtest::Options tlsOptions(const CertificateFiles& files) {
    simtest::Options o = simtest::simOptions();
    o.tlsCert = files.cert;
    o.tlsKey = files.key;
    return o;
}

}  // namespace

using MonitTls = tlstest::Suite;

TEST_F(MonitTls, EachRefusedCertificateFailsWith320AndAnAcceptedOneKeepsItsConnection) {
    tlstest::ErrorLog log(certs->folder);
    struct Case {
        const CertificateFiles* files;
        const std::string& ca;
        const char* reason;
    };
    for (const Case& c :
         {Case{&certs->expired, certs->ca.cert, "certificate has expired"},
          Case{&certs->otherName, certs->ca.cert, "subject name matches target host"},
          Case{&certs->selfSigned, certs->ca.cert, "self-signed certificate"},
          Case{&certs->good, certs->otherCa.cert, "unable to get local issuer"}}) {
        SCOPED_TRACE(c.reason);
        SimClient t(tlsOptions(*c.files), c.ca);
        simtest::expectError<tkl::IOException>([&] { t.client.getApiUri(); }, -320,
                                               "Error posting HTTP data in cURL. Code: 60");
        EXPECT_HAS(log.text(), c.reason);
        EXPECT_TRUE(t.sim.journal().empty());
    }

    SimClient t(tlsOptions(certs->good), certs->ca.cert);
    t.client.refreshNow();
    t.client.refreshNow();
    EXPECT_EQ(t.client.getDevices().size(), 2u);
    EXPECT_GT(t.sim.journal().size(), 4u);
    EXPECT_EQ(t.client.connectionCount(), 1);
}
