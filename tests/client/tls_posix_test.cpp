// HTTPS through the exported functions against simulators serving TLS with
// certificates made here: reads and commands, the default that accepts any
// certificate, the opt-in checks, mismatched schemes, and disconnects while a
// TLS peer hangs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "../TlsTestSupport.h"
#include "ClientFixture.h"
#include "client/custovia_ext.h"
#include "sim/Models.h"
#include "sim/TlsChannel.h"
#include "tkl/Logger.h"

using clienttest::Handle;
using clienttest::waitFor;
using clienttest::waitForDevices;
using custovia::sim::CertificateFiles;
using custovia::sim::Simulator;
using namespace std::chrono_literals;

namespace {

using Certificates = tlstest::Certificates;
Certificates* certs = nullptr;

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

using ErrorLog = tlstest::ErrorLog;

// A request sent at once: 1 when the service answered.
int32_t modelRequest(CustoviaHandle handle) {
    const auto& model = custovia::sim::modelCatalogue().front();
    custovia::DeviceConfig config;
    return getDeviceConfigByModel(handle, nullptr, nullptr, model.family, model.model, &config);
}

}  // namespace

class Tls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certs = new Certificates(); }
    static void TearDownTestSuite() {
        delete certs;
        certs = nullptr;
    }
};

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
    std::vector<std::string> seen;
    for (const auto& e : sim->journalSince(seq)) {
        seen.push_back(e.method + " " + e.path);
    }
    EXPECT_NE(std::find(seen.begin(), seen.end(), "PUT /api/device/" + id + "/shutdown"),
              seen.end());
}

TEST_F(Tls, ChecksAcceptTheRightAuthorityAndRefuseEachBadCertificateWithTheTlsError) {
    ErrorLog log(certs->folder);
    Handle h;
    EXPECT_EQ(setTlsVerification(h, certs->ca.cert.c_str(), 1), 1);
    auto sim = tlsSim(certs->good);
    const int port = sim->port();
    ASSERT_EQ(connectCli(h, sim->url().c_str()), 1);
    ASSERT_TRUE(waitForDevices(h, nullptr, 1));
    EXPECT_EQ(modelRequest(h), 1);

    // The service comes back on the same port with another certificate: the
    // next request opens a new connection, whose check fails. A failed
    // command answers -302; its log line names the TLS error.
    struct Case {
        const CertificateFiles* files;
        const char* reason;  // libcurl's words, as the log line gives them
    };
    for (const Case& c : {Case{&certs->expired, "certificate has expired"},
                          Case{&certs->otherName, "subject name matches target host name"},
                          Case{&certs->selfSigned, "self-signed certificate"}}) {
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
    ErrorLog log(certs->folder);
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
    ErrorLog log(certs->folder);
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

// A TCP listener on 127.0.0.1 that hands each accepted connection to `serve`
// on a thread of its own; the destructor ends them all.
class RawListener {
public:
    explicit RawListener(std::function<void(int)> serve) : serve_(std::move(serve)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        accepter_ = std::thread([this] {
            for (int c; (c = ::accept(fd_, nullptr, nullptr)) >= 0;) {
                std::lock_guard<std::mutex> lock(mutex_);
                open_.push_back(c);
                workers_.emplace_back(serve_, c);
            }
        });
    }
    ~RawListener() {
        ::shutdown(fd_, SHUT_RDWR);
        accepter_.join();
        ::close(fd_);
        std::lock_guard<std::mutex> lock(mutex_);
        for (int c : open_) {
            ::shutdown(c, SHUT_RDWR);
        }
        for (auto& w : workers_) {
            w.join();
        }
        for (int c : open_) {
            ::close(c);
        }
    }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_); }

private:
    std::function<void(int)> serve_;
    int fd_ = -1;
    int port_ = 0;
    std::thread accepter_;
    std::mutex mutex_;
    std::vector<int> open_;
    std::vector<std::thread> workers_;
};

// Answers the first request over TLS with its headers and part of the body,
// then sends nothing more.
void halfAnswer(int fd, std::atomic<int>& stalled) {
    custovia::sim::TlsContext context(certs->good.cert, certs->good.key);
    custovia::sim::TlsChannel tls(context);
    using Result = custovia::sim::TlsChannel::Result;
    char buffer[16384];
    auto pump = [&] {
        std::string out = tls.takeOutgoing();
        return ::send(fd, out.data(), out.size(), MSG_NOSIGNAL) == ssize_t(out.size());
    };
    auto receive = [&] {
        ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n > 0) {
            tls.feed(buffer, static_cast<std::size_t>(n));
        }
        return n > 0;
    };
    Result r;
    while ((r = tls.handshake()) == Result::NeedInput && pump() && receive()) {
    }
    std::string request;
    while (r == Result::Done && pump() && request.find("\r\n\r\n") == std::string::npos) {
        std::size_t n = tls.read(buffer, sizeof(buffer), &r);
        request.append(buffer, n);
        if (r == Result::NeedInput) {
            r = receive() ? Result::Done : Result::Failed;
        }
    }
    if (r != Result::Done) {
        return;
    }
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 1000\r\n\r\n"
        "{\"apiVersion\":";
    tls.write(head.data(), head.size());
    if (pump()) {
        ++stalled;
    }
    while (receive()) {
    }
}

}  // namespace

TEST_F(Tls, DisconnectReturnsWhileAPeerHangsInTheHandshakeOrTheBody) {
    std::atomic<int> stalled{0};
    // Takes the client's first handshake message and answers nothing.
    auto silent = [&](int fd) {
        char buffer[4096];
        if (::recv(fd, buffer, sizeof(buffer), 0) > 0) {
            ++stalled;
        }
        while (::recv(fd, buffer, sizeof(buffer), 0) > 0) {
        }
    };
    auto half = [&](int fd) { halfAnswer(fd, stalled); };
    for (const auto& serve : {std::function<void(int)>(silent), std::function<void(int)>(half)}) {
        stalled = 0;
        RawListener peer(serve);
        Handle h;
        ASSERT_EQ(connectCli(h, peer.url().c_str()), 1);
        ASSERT_TRUE(waitFor([&] { return stalled > 0; })) << "the first cycle did not start";
        auto stopped = std::async(std::launch::async, [&] { return disconnectCli(h, nullptr); });
        ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(stopped.get(), 1);
    }
}
