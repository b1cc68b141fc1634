// The simulator over TLS: the control interface, the journal and every fault
// kind behave as over plain HTTP, and a stop stays prompt while a peer hangs
// in its handshake.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include <chrono>
#include <future>
#include <thread>

#include "SimClient.h"
#include "WaitFor.h"
#include "sim/Simulator.h"
#include "sim/TlsCertificates.h"

using custovia::sim::FaultKind;
using custovia::sim::FaultRule;
using custovia::sim::Simulator;
using simtest::Reply;
using testsupport::waitFor;
using namespace std::chrono_literals;

namespace {

class SimTls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        files_ = {folder_.filePath("cert.pem").toStdString(),
                  folder_.filePath("key.pem").toStdString()};
        custovia::sim::CertificateRequest request;
        request.names = {"127.0.0.1"};
        request.authority = true;
        custovia::sim::writeCertificate(request, files_);
        custovia::sim::Options o;
        o.devices = 2;
        o.realTime = false;
        o.tlsCert = files_.cert;
        o.tlsKey = files_.key;
        sim_ = std::make_unique<Simulator>(o);
        sim_->start();
    }

    FaultRule rule(FaultKind kind, int count = 1) {
        FaultRule r;
        r.kind = kind;
        r.count = count;
        r.status = 503;
        r.delayMs = 20;
        return r;
    }

    QTemporaryDir folder_;
    custovia::sim::CertificateFiles files_;
    std::unique_ptr<Simulator> sim_;
};

}  // namespace

TEST_F(SimTls, ControlJournalAndEveryFaultKindWorkAsOverPlainHttp) {
    ASSERT_EQ(sim_->url().rfind("https://127.0.0.1:", 0), 0u);
    simtest::Client https(sim_->url(), files_.cert);  // the certificate is its own authority
    Reply state = https.get("/_sim/state");
    EXPECT_EQ(state.error, httplib::Error::Success);
    EXPECT_EQ(state.status, 200);
    EXPECT_TRUE(state.isJson());

    sim_->addFault(rule(FaultKind::Status));
    EXPECT_EQ(https.get("/api/device").status, 503);
    sim_->addFault(rule(FaultKind::Delay));
    EXPECT_EQ(https.get("/api/device").status, 200);
    sim_->addFault(rule(FaultKind::Malformed));
    Reply malformed = https.get("/api/device");
    EXPECT_EQ(malformed.status, 200);
    EXPECT_FALSE(malformed.isJson());
    sim_->addFault(rule(FaultKind::Truncated));
    Reply cut = https.get("/api/device");
    EXPECT_EQ(cut.error, httplib::Error::Read);
    EXPECT_FALSE(cut.body.empty());
    sim_->addFault(rule(FaultKind::Drop));
    Reply dropped = https.get("/api/device");
    EXPECT_EQ(dropped.status, 0);
    EXPECT_NE(dropped.error, httplib::Error::Success);

    sim_->addFault(rule(FaultKind::Hang));
    auto hung = std::async(std::launch::async,
                           [&] { return simtest::Client(sim_->url()).get("/api/device").status; });
    ASSERT_TRUE(waitFor([&] { return sim_->hangingCount() == 1; }));
    EXPECT_EQ(https.post("/_sim/release", "").json()["released"].toInt(), 1);
    ASSERT_EQ(hung.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(hung.get(), 200);

    // Every request of the monitoring interface is in the journal, with the
    // status it got (0: closed without an answer).
    std::vector<int> statuses;
    for (const auto& e : sim_->journal()) {
        statuses.push_back(e.status);
    }
    EXPECT_EQ(statuses, (std::vector<int>{503, 200, 200, 200, 0, 200}));
    Reply journal = https.get("/_sim/journal");
    EXPECT_EQ(journal.json()["entries"].toArray().size(), 6);
}

TEST_F(SimTls, StopReturnsWhilePeersHangInTheHandshake) {
    // One peer connects and sends nothing, another half a client hello.
    int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    int partial = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(sim_->port()));
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::connect(partial, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    const unsigned char hello[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01,
                                   0x00, 0x01, 0xfc, 0x03, 0x03};
    ASSERT_EQ(::send(partial, hello, sizeof(hello), MSG_NOSIGNAL), ssize_t(sizeof(hello)));

    // Meanwhile the service answers others.
    simtest::Client https(sim_->url());
    EXPECT_EQ(https.get("/mon").status, 200);

    auto stopped = std::async(std::launch::async, [&] { sim_->stop(); });
    EXPECT_EQ(stopped.wait_for(3s), std::future_status::ready);
    ::close(silent);
    ::close(partial);
}
