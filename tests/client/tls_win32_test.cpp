// The TLS settings through schannel: the library under Windows against
// simulators serving HTTPS natively. scripts/test-windows starts them and
// names them in CUSTOVIA_TLS_URL (a certificate of the test authority for
// 127.0.0.1 and localhost), CUSTOVIA_TLS_EXPIRED_URL,
// CUSTOVIA_TLS_OTHER_NAME_URL, CUSTOVIA_TLS_SELF_SIGNED_URL, and the folder of
// the authorities' files in CUSTOVIA_TLS_CERTS; a plain simulator in
// CUSTOVIA_SIM_URL. Without them the tests are skipped.
#include <cstdlib>
#include <iostream>
#include <string>

#include "ClientFixture.h"
#include "TlsTestSupport.h"
#include "client/custovia_ext.h"

using clienttest::Handle;
using clienttest::waitFor;
using clienttest::waitForDevices;

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string certificate(const char* name) {
    return env("CUSTOVIA_TLS_CERTS") + "\\" + name;
}

// The simulator's URL with the host name "localhost" for 127.0.0.1: libcurl's
// schannel back end matches the host only against the DNS names of a
// certificate, never against its IP addresses.
std::string byName(const char* variable) {
    std::string url = env(variable);
    const std::string address = "127.0.0.1";
    const std::size_t at = url.find(address);
    return at == std::string::npos ? url : url.replace(at, address.size(), "localhost");
}

// Devices read and commands answered; the error lines so far when not.
void expectDataAndCommands(CustoviaHandle h, const tlstest::ErrorLog& log) {
    ASSERT_TRUE(waitForDevices(h, nullptr, 2)) << log.text();
    CustoviaDevices devices;
    ASSERT_EQ(getDeviceList(h, nullptr, nullptr, &devices), 1);
    ASSERT_EQ(devices.size(), 2u);
    const std::string id = devices.begin()->first;
    EXPECT_EQ(manualDevShutdown(h, nullptr, nullptr, id.c_str()), 1);
    EXPECT_EQ(cancelDevShutdown(h, nullptr, nullptr, id.c_str()), 1);
}

// Connects `url` and waits for the first error line the refresh logs.
std::string firstFailure(CustoviaHandle h, const std::string& url, tlstest::ErrorLog& log) {
    const std::size_t before = log.text().size();
    EXPECT_EQ(connectCli(h, url.c_str()), 1);
    EXPECT_TRUE(waitFor([&] { return log.text().size() > before; })) << url;
    const std::string line = log.text().substr(before);
    std::cout << line;
    EXPECT_NE(line.find("Error posting HTTP data in cURL"), std::string::npos) << line;
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), -302);
    return line;
}

}  // namespace

class TlsSchannel : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("CUSTOVIA_TLS_URL").empty() || env("CUSTOVIA_TLS_SELF_SIGNED_URL").empty() ||
            env("CUSTOVIA_TLS_CERTS").empty()) {
            GTEST_SKIP() << "no TLS simulators named";
        }
    }
};

TEST_F(TlsSchannel, AnyCertificateByDefaultAndTheRightAuthorityWhenChecked) {
    tlstest::ErrorLog log(QString::fromStdString(env("CUSTOVIA_TLS_CERTS")));
    for (const char* url : {"CUSTOVIA_TLS_URL", "CUSTOVIA_TLS_SELF_SIGNED_URL"}) {
        SCOPED_TRACE(url);
        Handle h;
        ASSERT_EQ(connectCli(h, env(url).c_str()), 1);
        expectDataAndCommands(h, log);
    }
    {
        SCOPED_TRACE("authority and name");
        Handle h;
        ASSERT_EQ(setTlsVerification(h, certificate("ca.pem").c_str(), 1), 1);
        ASSERT_EQ(connectCli(h, byName("CUSTOVIA_TLS_URL").c_str()), 1);
        expectDataAndCommands(h, log);
    }
    {
        SCOPED_TRACE("authority only, by address");
        Handle h;
        ASSERT_EQ(setTlsVerification(h, certificate("ca.pem").c_str(), 0), 1);
        ASSERT_EQ(connectCli(h, env("CUSTOVIA_TLS_URL").c_str()), 1);
        expectDataAndCommands(h, log);
    }
}

TEST_F(TlsSchannel, EachRefusedCertificateFailsTheRefreshWithTheTlsErrorInTheLog) {
    tlstest::ErrorLog log(QString::fromStdString(env("CUSTOVIA_TLS_CERTS")));
    struct Case {
        const char* url;
        const char* ca;
        const char* reason;
    };
    for (const Case& c : {Case{"CUSTOVIA_TLS_EXPIRED_URL", "ca.pem", "NOT_TIME_VALID"},
                          Case{"CUSTOVIA_TLS_OTHER_NAME_URL", "ca.pem", "failed to match"},
                          Case{"CUSTOVIA_TLS_URL", "other-ca.pem", "PARTIAL_CHAIN"}}) {
        SCOPED_TRACE(c.url);
        Handle h;
        ASSERT_EQ(setTlsVerification(h, certificate(c.ca).c_str(), 1), 1);
        const std::string line = firstFailure(h, byName(c.url), log);
        EXPECT_NE(line.find(c.reason), std::string::npos) << line;
    }
    // The right certificate named by its address: schannel has no name to
    // match an IP address against.
    Handle h;
    ASSERT_EQ(setTlsVerification(h, certificate("ca.pem").c_str(), 1), 1);
    const std::string line = firstFailure(h, env("CUSTOVIA_TLS_URL"), log);
    EXPECT_NE(line.find("failed to match connection hostname (127.0.0.1)"), std::string::npos)
        << line;
}

TEST_F(TlsSchannel, MismatchedSchemesFailWithAReason) {
    if (env("CUSTOVIA_SIM_URL").empty()) {
        GTEST_SKIP() << "no plain simulator named";
    }
    tlstest::ErrorLog log(QString::fromStdString(env("CUSTOVIA_TLS_CERTS")));
    Handle h;
    std::string plainToTls = env("CUSTOVIA_TLS_URL");
    plainToTls.replace(0, 5, "http");
    EXPECT_NE(firstFailure(h, plainToTls, log).find("Transfer: "), std::string::npos);
    std::string tlsToPlain = env("CUSTOVIA_SIM_URL");
    tlsToPlain.replace(0, 4, "https");
    EXPECT_NE(firstFailure(h, tlsToPlain, log).find("Transfer: schannel: "), std::string::npos);
}
