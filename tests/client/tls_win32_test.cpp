// The TLS settings through schannel: the library under Windows against
// simulators serving HTTPS natively. scripts/test-windows starts them and
// names them in CUSTOVIA_TLS_URL (a certificate of the test authority for
// 127.0.0.1 and localhost), CUSTOVIA_TLS_EXPIRED_URL,
// CUSTOVIA_TLS_OTHER_NAME_URL, and the folder of the authorities' files in
// CUSTOVIA_TLS_CERTS. Without them the tests are skipped.
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

}  // namespace

class TlsSchannel : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("CUSTOVIA_TLS_URL").empty() || env("CUSTOVIA_TLS_CERTS").empty()) {
            GTEST_SKIP() << "no TLS simulators named";
        }
    }
};

TEST_F(TlsSchannel, AnyCertificateByDefaultAndTheRightAuthorityWhenChecked) {
    for (bool checked : {false, true}) {
        SCOPED_TRACE(checked ? "checked" : "default");
        Handle h;
        if (checked) {
            ASSERT_EQ(setTlsVerification(h, certificate("ca.pem").c_str(), 1), 1);
        }
        ASSERT_EQ(connectCli(h, env("CUSTOVIA_TLS_URL").c_str()), 1);
        ASSERT_TRUE(waitForDevices(h, nullptr, 2));
        CustoviaDevices devices;
        ASSERT_EQ(getDeviceList(h, nullptr, nullptr, &devices), 1);
        ASSERT_EQ(devices.size(), 2u);
        const std::string id = devices.begin()->first;
        EXPECT_EQ(manualDevShutdown(h, nullptr, nullptr, id.c_str()), 1);
        EXPECT_EQ(cancelDevShutdown(h, nullptr, nullptr, id.c_str()), 1);
    }
}

TEST_F(TlsSchannel, EachRefusedCertificateFailsTheRefreshWithTheTlsErrorInTheLog) {
    tlstest::ErrorLog log(QString::fromStdString(env("CUSTOVIA_TLS_CERTS")));
    struct Case {
        const char* url;
        const char* ca;
    };
    for (const Case& c :
         {Case{"CUSTOVIA_TLS_EXPIRED_URL", "ca.pem"}, Case{"CUSTOVIA_TLS_OTHER_NAME_URL", "ca.pem"},
          Case{"CUSTOVIA_TLS_URL", "other-ca.pem"}}) {
        SCOPED_TRACE(c.url);
        const std::size_t before = log.text().size();
        Handle h;
        ASSERT_EQ(setTlsVerification(h, certificate(c.ca).c_str(), 1), 1);
        ASSERT_EQ(connectCli(h, env(c.url).c_str()), 1);
        ASSERT_TRUE(waitFor([&] { return log.text().size() > before; }));
        const std::string line = log.text().substr(before);
        std::cout << line;
        EXPECT_NE(line.find("Error posting HTTP data in cURL"), std::string::npos) << line;
        EXPECT_NE(line.find("Transfer: "), std::string::npos) << line;
        EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), -302);
    }
}
