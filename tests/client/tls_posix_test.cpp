// HTTPS through the exported functions against simulators serving TLS with
// certificates made here: reads and commands, the default that accepts any
// certificate, the opt-in checks, mismatched schemes, and disconnects while a
// TLS handshake hangs.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <memory>

#include "../TlsSuite.h"
#include "ClientFixture.h"
#include "sim/Models.h"

using clienttest::codes;
using clienttest::Handle;
using clienttest::waitFor;
using clienttest::waitForDevices;
using custovia::sim::CertificateFiles;
using custovia::sim::Simulator;
using namespace std::chrono_literals;

namespace {

// A simulator serving TLS with these files.
std::unique_ptr<Simulator> tlsSim(const CertificateFiles& files) {
    custovia::sim::Options o = clienttest::simOptions(1);
    o.tlsCert = files.cert;
    o.tlsKey = files.key;
    auto sim = std::make_unique<Simulator>(o);
    sim->start();
    return sim;
}

// A request sent at once: 1 when the service answered.
int32_t modelRequest(CustoviaHandle handle) {
    const auto& model = custovia::sim::modelCatalogue().front();
    custovia::DeviceConfig config;
    return getDeviceConfigByModel(handle, nullptr, nullptr, model.family, model.model, &config);
}

// A TCP listener on 127.0.0.1 that never accepts: the client's connection
// completes in the kernel's backlog and its handshake waits for an answer.
struct SilentPeer {
    SilentPeer() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(fd, 8), 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        url = "https://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    }
    ~SilentPeer() { ::close(fd); }
    // True once a connection waits in the backlog.
    bool connected() const {
        pollfd ready{fd, POLLIN, 0};
        return ::poll(&ready, 1, 0) == 1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    std::string url;
};

}  // namespace

using Tls = tlstest::Suite;

TEST_F(Tls, AnyCertificateIsAcceptedByDefaultAndTheChecksApplyToHostsConnectedAfterThem) {
    auto expired = tlsSim(certs->expired);
    auto otherName = tlsSim(certs->otherName);
    Handle h;
    ASSERT_EQ(connectCli(h, expired->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    // Reads come from the refresh; a command is sent at once.
    const std::string id = expired->deviceIds().front();
    EXPECT_EQ(manualDevShutdown(h, nullptr, nullptr, id.c_str()), 1);

    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 1), 1);
    EXPECT_EQ(modelRequest(h), 1);  // connected before the setting
    // Connected again, its refresh fails and nothing is cached; so for a
    // certificate for another name.
    ASSERT_EQ(connectCli(h, expired->url().c_str()), 1);
    EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), -302);
    ASSERT_EQ(connectCli(h, otherName->url().c_str()), 1);
    EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
    EXPECT_EQ(modelRequest(h), -302);
    // Without the name check only the chain counts.
    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 0), 1);
    ASSERT_EQ(connectCli(h, otherName->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(modelRequest(h), 1);

    // A file that cannot be read is refused at once and changes nothing.
    EXPECT_EQ(codes({setTlsVerification(h, certs->files("missing").cert.c_str(), 1),
                     setTlsVerification(h, certs->folder.toStdString().c_str(), 1),
                     setTlsVerification(nullptr, certs->ca.cert.c_str(), 1)}),
              "-202 -202 -202");
    // An empty file goes back to accepting any certificate.
    EXPECT_EQ(setTlsVerification(h, "", 1), 1);
    ASSERT_EQ(connectCli(h, expired->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
}

// The first refresh fails in its first request, well before the request
// time-out, and the reason logged names what went wrong.
TEST_F(Tls, MismatchedSchemesFailAtOnceWithAClearReason) {
    tlstest::ErrorLog log(certs->folder);
    auto secure = tlsSim(certs->good);
    Simulator plain(clienttest::simOptions(1));
    plain.start();
    Handle h;
    for (const auto& c : {std::make_pair("http://127.0.0.1:" + std::to_string(secure->port()),
                                         "Empty reply from server"),
                          std::make_pair("https://127.0.0.1:" + std::to_string(plain.port()),
                                         "wrong version number")}) {
        SCOPED_TRACE(c.first);
        ASSERT_EQ(connectCli(h, c.first.c_str()), 1);
        EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
        EXPECT_TRUE(waitFor([&] { return log.text().find(c.second) != std::string::npos; }))
            << log.text();
    }
    EXPECT_TRUE(plain.journal().empty());
    EXPECT_TRUE(secure->journal().empty());
}

// A request hanging before its answer is the soak's last step; here the
// handshake itself hangs.
TEST_F(Tls, DisconnectReturnsWhileAPeerHangsInTheHandshake) {
    SilentPeer silent;
    Handle h;
    ASSERT_EQ(connectCli(h, silent.url.c_str()), 1);
    ASSERT_TRUE(waitFor([&] { return silent.connected(); })) << "the first cycle did not start";
    auto stopped = std::async(std::launch::async, [&] { return disconnectCli(h, nullptr); });
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stopped.get(), 1);
}
