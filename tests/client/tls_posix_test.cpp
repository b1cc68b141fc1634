// HTTPS through the exported functions against simulators serving TLS with
// certificates made here: reads and commands, the default that accepts any
// certificate, the opt-in checks, mismatched schemes, and disconnects while a
// TLS peer hangs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "../TlsSuite.h"
#include "ClientFixture.h"
#include "client/custovia_ext.h"
#include "sim/Models.h"

using clienttest::Handle;
using clienttest::waitFor;
using clienttest::waitForDevices;
using custovia::sim::CertificateFiles;
using custovia::sim::Simulator;
using namespace std::chrono_literals;

namespace {

// A simulator serving TLS with these files, on `port` (0: any).
std::unique_ptr<Simulator> tlsSim(const CertificateFiles& files, int port = 0) {
    custovia::sim::Options o = clienttest::simOptions(1);
    o.tlsCert = files.cert;
    o.tlsKey = files.key;
    o.port = port;
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

}  // namespace

using Tls = tlstest::Suite;

TEST_F(Tls, ReadsAndCommandsOverHttpsAcceptAnyCertificateByDefault) {
    auto sim = tlsSim(certs->selfSigned);
    ASSERT_EQ(sim->url().rfind("https://", 0), 0u);
    Handle h;
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    const std::string id = sim->deviceIds().front();
    custovia::Device device;
    ASSERT_EQ(getDevice(h, nullptr, nullptr, id.c_str(), &device), 1);
    EXPECT_EQ(device.id, id);

    const std::uint64_t seq = sim->lastSeq();
    EXPECT_EQ(manualDevShutdown(h, nullptr, nullptr, id.c_str()), 1);
    EXPECT_EQ(modelRequest(h), 1);
    const auto sent = sim->journalSince(seq);
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&](const custovia::sim::JournalEntry& e) {
        return e.method == "PUT" && e.path == "/api/device/" + id + "/shutdown";
    }));
}

TEST_F(Tls, ChecksAcceptTheRightAuthorityAndRefuseEachBadCertificateWithTheTlsError) {
    tlstest::ErrorLog log(certs->folder);
    Handle h;
    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 1), 1);
    auto sim = tlsSim(certs->good);
    const int port = sim->port();
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(modelRequest(h), 1);

    // The service comes back on the same port with another certificate: the
    // next request opens a new connection, whose check fails, by date and by
    // name (with the name check asked for). A failed command answers -302;
    // its log line names the TLS error.
    struct Case {
        const CertificateFiles* files;
        const char* reason;  // libcurl's words, as the log line gives them
    };
    for (const Case& c : {Case{&certs->expired, "certificate has expired"},
                          Case{&certs->otherName, "subject name matches target host name"}}) {
        SCOPED_TRACE(c.reason);
        sim->stop();
        sim = tlsSim(*c.files, port);
        // The first request may still find the old connection and report
        // its broken pipe; the one after it opens a new connection.
        EXPECT_EQ(modelRequest(h), -302);
        EXPECT_EQ(modelRequest(h), -302);
        EXPECT_NE(log.text().find(c.reason), std::string::npos) << log.text();
        EXPECT_TRUE(sim->journal().empty());
        EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), 1);  // still cached
    }

    // Without the name check only the chain counts.
    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 0), 1);
    sim->stop();
    sim = tlsSim(certs->otherName, port);
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(modelRequest(h), 1);
}

TEST_F(Tls, TheSettingAppliesToHostsConnectedAfterIt) {
    tlstest::ErrorLog log(certs->folder);
    auto sim = tlsSim(certs->expired);
    Handle h;
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 1), 1);
    EXPECT_EQ(modelRequest(h), 1);  // connected before the setting

    // Connected again, its refresh fails and nothing is cached.
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
    ASSERT_TRUE(waitFor([&] { return log.text().find("expired") != std::string::npos; }));
    EXPECT_EQ(getDeviceCount(h, nullptr, nullptr, nullptr), -302);

    // A file that cannot be read is refused at once and changes nothing.
    EXPECT_EQ(setTlsVerification(h, certs->files("missing").cert.c_str(), 1), -202);
    EXPECT_EQ(setTlsVerification(h, certs->folder.toStdString().c_str(), 1), -202);
    EXPECT_EQ(setTlsVerification(nullptr, certs->ca.cert.c_str(), 1), -202);

    // An empty file goes back to accepting any certificate.
    EXPECT_EQ(setTlsVerification(h, "", 1), 1);
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
}

TEST_F(Tls, MismatchedSchemesFailAtOnceWithAClearReason) {
    tlstest::ErrorLog log(certs->folder);
    auto secure = tlsSim(certs->good);
    Simulator plain(clienttest::simOptions(1));
    plain.start();
    Handle h;
    // The first refresh fails in its first request, well before the
    // request time-out; each reason names what went wrong.
    const std::string plainToTls = "http://127.0.0.1:" + std::to_string(secure->port());
    ASSERT_EQ(connectCli(h, plainToTls.c_str()), 1);
    EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
    EXPECT_TRUE(waitFor([&] {
        return log.text().find("Empty reply from server") != std::string::npos;
    })) << log.text();
    const std::string tlsToPlain = "https://127.0.0.1:" + std::to_string(plain.port());
    ASSERT_EQ(connectCli(h, tlsToPlain.c_str()), 1);
    EXPECT_NE(refreshHost(h, nullptr, 15000), 1);
    EXPECT_TRUE(waitFor([&] {
        return log.text().find("wrong version number") != std::string::npos;
    })) << log.text();
    EXPECT_TRUE(plain.journal().empty());
    EXPECT_TRUE(secure->journal().empty());
}

namespace {

// A TCP listener on 127.0.0.1 that takes the first bytes of each connection
// (the client's first handshake message) and never answers.
class SilentPeer {
public:
    SilentPeer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        url = "https://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
        accepter_ = std::thread([this] {
            char buffer[4096];
            for (int c; (c = ::accept(fd_, nullptr, nullptr)) >= 0;) {
                open_.push_back(c);
                greeted += ::recv(c, buffer, sizeof(buffer), 0) > 0 ? 1 : 0;
            }
        });
    }
    // The client's connections are closed by then, so the accepter is back in accept().
    ~SilentPeer() {
        ::shutdown(fd_, SHUT_RDWR);
        accepter_.join();
        ::close(fd_);
        for (int c : open_) {
            ::close(c);
        }
    }
    std::string url;
    std::atomic<int> greeted{0};

private:
    int fd_ = -1;
    std::thread accepter_;
    std::vector<int> open_;
};

}  // namespace

TEST_F(Tls, DisconnectReturnsWhileAPeerHangsInTheHandshakeOrBeforeItsAnswer) {
    SilentPeer silent;
    // This one completes the handshake, reads the request and never answers.
    auto hanging = tlsSim(certs->good);
    custovia::sim::FaultRule hang;
    hang.kind = custovia::sim::FaultKind::Hang;
    hanging->addFault(hang);
    struct Case {
        std::string url;
        std::function<bool()> stalled;
    };
    for (const Case& c : {Case{silent.url, [&] { return silent.greeted > 0; }},
                          Case{hanging->url(), [&] { return hanging->hangingCount() > 0; }}}) {
        SCOPED_TRACE(c.url);
        Handle h;
        ASSERT_EQ(connectCli(h, c.url.c_str()), 1);
        ASSERT_TRUE(waitFor(c.stalled)) << "the first cycle did not start";
        auto stopped = std::async(std::launch::async, [&] { return disconnectCli(h, nullptr); });
        ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(stopped.get(), 1);
    }
}
