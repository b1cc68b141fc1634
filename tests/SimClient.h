// What the simulator and monitoring-client tests share: a small HTTP client on
// cpp-httplib (one kept-alive connection, paths sent exactly as given, JSON
// answers parsed with Qt), fault rules in their command-line form, HTTPS
// options; and, where the monitoring client is on the include path, a
// simulator with a started client on it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

#include "TextChecks.h"
#include "WaitFor.h"
#include "sim/Simulator.h"
#include "sim/TlsCertificates.h"

namespace simtest {

using custovia::sim::FaultKind;
using custovia::sim::FaultRule;
using custovia::sim::JournalEntry;
using custovia::sim::Options;
using custovia::sim::Simulator;
using testsupport::waitFor;

struct Reply {
    int status = 0;  // 0: no complete HTTP answer
    httplib::Error error = httplib::Error::Success;
    std::string body;  // what arrived, also of an answer cut short
    QJsonDocument document() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body));
    }
    QJsonObject json() const { return document().object(); }
    bool isJson() const { return !document().isNull(); }
};

class Client {
public:
    Reply get(const std::string& path) { return send("GET", path); }
    Reply put(const std::string& p, const std::string& b) { return send("PUT", p, b); }
    Reply post(const std::string& p, const std::string& b) { return send("POST", p, b); }
    Reply del(const std::string& p, const std::string& b = "") { return send("DELETE", p, b); }

    // HTTPS: the peer must chain to `caFile`'s certificates; without one any
    // certificate is accepted.
    explicit Client(const std::string& base, const std::string& caFile = "") : http_(base) {
        http_.set_keep_alive(true);
        http_.set_url_encode(false);
        http_.set_read_timeout(10, 0);
        http_.set_default_headers({{"Accept", "application/json"},
                                   {"Content-Type", "application/json"},
                                   {"User-Agent", "simtest/1.0"}});
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
        if (!caFile.empty()) {
            http_.set_ca_cert_path(caFile);
        }
        http_.enable_server_certificate_verification(!caFile.empty());
#endif
    }

    Reply send(const std::string& method, const std::string& path, const std::string& body = "") {
        Reply r;
        httplib::Request req;
        req.method = method;
        req.path = path;
        req.body = body;
        req.content_receiver = [&r](const char* data, std::size_t n, uint64_t, uint64_t) {
            r.body.append(data, n);
            return true;
        };
        httplib::Result res = http_.send(req);
        r.error = res.error();
        r.status = res ? res->status : 0;
        return r;
    }

private:
    httplib::Client http_;
};

// A fault rule in the command-line form, for example "status=503*2@notifycfg".
inline FaultRule fault(const std::string& text) {
    FaultRule rule;
    std::string error;
    EXPECT_TRUE(FaultRule::parse(text, &rule, &error)) << error;
    return rule;
}

// `o` serving HTTPS with a certificate for 127.0.0.1, written into `folder`,
// that is its own authority.
inline Options https(const QTemporaryDir& folder, Options o = Options()) {
    o.tlsCert = folder.filePath("cert.pem").toStdString();
    o.tlsKey = folder.filePath("key.pem").toStdString();
    custovia::sim::CertificateRequest request;
    request.names = {"127.0.0.1"};
    request.authority = true;
    custovia::sim::writeCertificate(request, {o.tlsCert, o.tlsKey});
    return o;
}

}  // namespace simtest

#if __has_include("monit/MonitClient.h")
#include "monit/MonitClient.h"
#include "tkl/Exception.h"

namespace simtest {

// Two units of its own and one remote computer with one, in simulated time.
inline Options simOptions() {
    Options options;
    options.devices = 2;
    options.remoteDevices = 1;
    options.realTime = false;
    return options;
}

// A simulator on a system-chosen port and a started monitoring client
// connected to it (checking the certificate against `caFile` when given).
// The client's timer is slowed down to an hour so that tests drive refresh
// cycles themselves with refreshNow().
struct SimClient {
    explicit SimClient(Options options = simOptions(), const std::string& caFile = "")
        : sim(options) {
        sim.start();
        client.setRefreshInterval(3600 * 1000);
        if (!caFile.empty()) {
            client.setTlsVerification(caFile, true);
        }
        client.start(sim.url().c_str());
    }
    ~SimClient() {
        client.stop();
        sim.stop();
    }

    // Journal entries received after `seq`.
    std::vector<JournalEntry> since(std::uint64_t seq) const { return sim.journalSince(seq); }
    std::string local(int index = 0) const { return sim.deviceIds().at(index); }
    std::string remote() const { return sim.computerIds().at(0); }

    Simulator sim;
    custovia::MonitClient client;
};

// Runs `call` and checks that it raises `Ex` with this code and message.
template <typename Ex>
void expectError(const std::function<void()>& call, int code, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const Ex& e) {
        EXPECT_EQ(e.code(), code) << e.message();
        EXPECT_EQ(e.message(), message);
    } catch (const tkl::Exception& e) {
        ADD_FAILURE() << "other exception " << e.name() << " " << e.code() << ": " << e.message();
    }
}

}  // namespace simtest
#endif
