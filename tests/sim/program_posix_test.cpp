// The custovia-sim program: command line, first line, signals, busy port.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <chrono>
#include <csignal>

#include "ChildProcess.h"
#include "SimClient.h"

using namespace std::chrono_literals;
using testsupport::ChildProcess;

TEST(Program, PrintsItsUrlsFirstServesAndEndsCleanlyOnSigtermAndSigint) {
    for (int sig : {SIGTERM, SIGINT}) {
        ChildProcess p(CUSTOVIA_SIM_PATH, {"--port", "0", "--hosts", "2"});
        std::string first = p.line(), second = p.line();
        ASSERT_EQ(first.rfind("http://127.0.0.1:", 0), 0u) << first << p.err();
        EXPECT_EQ(second, "http://127.0.0.2" + first.substr(first.rfind(':')));
        // Both addresses on one port, each its own service, with connections that stay open:
        // stopping must not wait for them.
        simtest::Client a(first), b(second);
        EXPECT_EQ(a.get("/api").json()["ip"].toString(), "127.0.0.1");
        EXPECT_EQ(b.get("/api").json()["ip"].toString(), "127.0.0.2");
        p.signal(sig);
        EXPECT_EQ(p.wait(1000ms), 0) << "signal " << sig;
    }
}

TEST(Program, TlsServesHttpsWithASelfSignedCertificateItNames) {
    ChildProcess p(CUSTOVIA_SIM_PATH, {"--port", "0", "--tls", "--devices", "1"});
    std::string url = p.line();
    ASSERT_EQ(url.rfind("https://127.0.0.1:", 0), 0u) << url << p.err();
    p.line();  // the summary
    std::string written = p.line();
    const std::string prefix = "custovia-sim: self-signed certificate written to ";
    ASSERT_EQ(written.rfind(prefix, 0), 0u) << written;
    const std::string cert =
        written.substr(prefix.size(), written.find(' ', prefix.size()) - prefix.size());
    simtest::Reply reply = simtest::Client(url, cert).get("/api/device");
    EXPECT_EQ(reply.json()["devices"].toArray().size(), 1);
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(5s), 0);

    ChildProcess notAKey(CUSTOVIA_SIM_PATH, {"--port", "0", "--tls-cert", cert, "--tls-key", cert});
    EXPECT_EQ(notAKey.wait(10s), 1);
    EXPECT_HAS(notAKey.err(), "cannot use the key");
    QFileInfo(QString::fromStdString(cert)).dir().removeRecursively();
}

TEST(Program, BusyPortFailsWithAClearMessageUsageErrorsExitTwoHelpDescribesControl) {
    custovia::sim::Simulator busy;
    busy.start();
    std::string port = std::to_string(busy.port());
    ChildProcess taken(CUSTOVIA_SIM_PATH, {"--port", port});
    EXPECT_EQ(taken.wait(10s), 1);
    std::string err = taken.err();
    EXPECT_HAS(err, "cannot listen on 127.0.0.1:" + port);
    EXPECT_HAS(err, "in use");
    EXPECT_EQ(taken.out(), "");  // no URL for a service that is not there

    for (std::vector<std::string> args :
         {std::vector<std::string>{"--bogus"},
          {"--devices", "many"},
          {"--hosts", "0"},
          {"--fault", "explode"},
          // a certificate without its key, or beside --tls
          {"--tls-cert", CUSTOVIA_SIM_PATH},
          {"--tls", "--tls-cert", CUSTOVIA_SIM_PATH, "--tls-key", CUSTOVIA_SIM_PATH}}) {
        ChildProcess p(CUSTOVIA_SIM_PATH, args);
        EXPECT_EQ(p.wait(10s), 2) << testing::PrintToString(args);
        EXPECT_FALSE(p.err().empty()) << testing::PrintToString(args);
    }
    ChildProcess help(CUSTOVIA_SIM_PATH, {"--help"});
    EXPECT_EQ(help.wait(10s), 0);
    std::string text = help.out();
    for (const char* word : {"--port", "--hosts", "--seed", "--fault", "/_sim/faults",
                             "/_sim/journal", "/_sim/outage"}) {
        EXPECT_HAS(text, word);
    }
}
