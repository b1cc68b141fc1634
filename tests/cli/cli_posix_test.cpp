// The custovia tool end to end: the built program runs as a child process
// against a simulator in this process; its output, JSON and exit codes are
// checked.
#include "../ChildProcess.h"
#include "../LoopbackTestSupport.h"
#include "../TlsTestSupport.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Result {
    int exit = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
    QJsonObject json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
};

using testsupport::ChildProcess;

// Waits for the end (at most 60 s) and returns everything it wrote.
Result finish(ChildProcess& program) {
    int exit = program.wait();
    return {exit, program.out(), program.err()};
}

Result run(const std::vector<std::string>& args, const std::string& input = "",
           const char* program = CUSTOVIA_CLI_PATH) {
    ChildProcess tool(program, args, input);
    return finish(tool);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("CUSTOVIA_HOST");
        start(1);
    }

    void start(int hosts) {
        custovia::sim::Options o;
        o.port = 0;
        o.hosts = hosts;
        o.devices = 3;
        o.computers = 1;
        sim_ = std::make_unique<custovia::sim::Simulator>(o);
        sim_->start();
        ids_ = sim_->deviceIds();
        ASSERT_EQ(ids_.size(), 3u);
    }

    // The tool against the simulator's first address.
    Result tool(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"--host", sim_->url(), "--timeout", "20"});
        return run(args, input);
    }

    bool received(const std::string& method, const std::string& pathEnd,
                  const std::string& bodyPart = "") const {
        for (const auto& e : sim_->journal()) {
            if (e.method == method && e.path.size() >= pathEnd.size() &&
                e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0 &&
                e.body.find(bodyPart) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<custovia::sim::Simulator> sim_;
    std::vector<std::string> ids_;
};

QJsonObject findDevice(const QJsonObject& status, const std::string& id) {
    for (const auto& h : status["hosts"].toArray()) {
        for (const auto& c : h.toObject()["computers"].toArray()) {
            for (const auto& d : c.toObject()["devices"].toArray()) {
                if (d.toObject()["id"].toString().toStdString() == id) {
                    return d.toObject();
                }
            }
        }
    }
    return QJsonObject();
}

TEST_F(CliTest, StatusListsEveryComputerAndUnitAsTableAndJson) {
    Result text = tool({"status"});
    ASSERT_EQ(text.exit, 0) << text.err;
    EXPECT_NE(text.out.find("STATE"), std::string::npos);
    EXPECT_NE(text.out.find("COUNTDOWN"), std::string::npos);
    for (const auto& id : ids_) {
        EXPECT_NE(text.out.find(id), std::string::npos) << text.out;
    }
    EXPECT_NE(text.out.find("On line"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(sim_->computerIds().at(0)), std::string::npos) << text.out;
    // No colour and no wait indicator when the output is not a terminal.
    EXPECT_EQ(text.out.find('\033'), std::string::npos);
    EXPECT_EQ(text.err.find('\r'), std::string::npos);

    sim_->setOutage(true);
    Result json = tool({"--json", "status"});
    ASSERT_EQ(json.exit, 0) << json.err;
    QJsonObject o = json.json();
    QJsonArray hosts = o["hosts"].toArray();
    ASSERT_EQ(hosts.size(), 1);
    EXPECT_EQ(hosts[0].toObject()["host"].toString(), "127.0.0.1");
    QJsonArray computers = hosts[0].toObject()["computers"].toArray();
    ASSERT_EQ(computers.size(), 2);
    EXPECT_EQ(computers[0].toObject()["id"].toString(), "localhost");
    EXPECT_EQ(computers[0].toObject()["devices"].toArray().size(), 3);
    EXPECT_EQ(computers[1].toObject()["id"].toString().toStdString(), sim_->computerIds().at(0));
    for (const auto& id : ids_) {
        QJsonObject d = findDevice(o, id);
        ASSERT_FALSE(d.isEmpty()) << id;
        EXPECT_EQ(d["state"].toString(), "onBattery") << id;
        EXPECT_EQ(d["stateText"].toString(), "On battery");
        EXPECT_TRUE(d["charge"].isDouble());
        EXPECT_EQ(d["vInput"].toDouble(), 0.0);
        EXPECT_TRUE(d["flags"].toArray().contains("opBattery"));
    }
}

TEST_F(CliTest, StatusOfSeveralHostsNamesEachAndTheOneNotAnswering) {
    start(2);
    // The table shows every host, the exit says not all answered.
    Result r = run({"--host", sim_->url(0), "--host", sim_->url(1), "--host", "http://127.0.0.9:1",
                    "--timeout", "5", "status"});
    EXPECT_EQ(r.exit, 1) << r.err;
    for (const char* word : {"HOST", "127.0.0.1", "127.0.0.2", "No answer"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word << "\n" << r.out;
    }
    for (const auto& id : sim_->deviceIds("localhost", 1)) {
        EXPECT_NE(r.out.find(id), std::string::npos);
    }
    EXPECT_NE(r.out.find(ids_.at(0)), std::string::npos);
}

TEST_F(CliTest, ManualShutdownShowsCountdownUntilCancelled) {
    const std::string& id = ids_.at(0);
    Result start = tool({"shutdown", "start", id});
    ASSERT_EQ(start.exit, 0) << start.err;
    EXPECT_NE(start.out.find("started"), std::string::npos);
    EXPECT_TRUE(received("PUT", "/device/" + id + "/shutdown", "\"confirm\":1"));

    Result detail = tool({"device", id, "--json"});
    ASSERT_EQ(detail.exit, 0) << detail.err;
    QJsonObject d = detail.json();
    EXPECT_EQ(d["id"].toString().toStdString(), id);
    EXPECT_EQ(d["countdown"].toObject()["cause"].toString(), "Manual") << detail.out;
    EXPECT_GT(d["countdown"].toObject()["remainingMs"].toInt(), 0);
    EXPECT_TRUE(d["capabilities"].toArray().contains("hasManualShutdown"));

    Result cancel = tool({"--json", "shutdown", "cancel", id});
    ASSERT_EQ(cancel.exit, 0) << cancel.err;
    EXPECT_EQ(cancel.json()["command"].toString(), "shutdownCancel");
    EXPECT_TRUE(received("DELETE", "/device/" + id + "/shutdown"));

    Result text = tool({"device", id});
    ASSERT_EQ(text.exit, 0) << text.err;
    EXPECT_NE(text.out.find("Countdown"), std::string::npos);
    EXPECT_NE(text.out.find("Capabilities"), std::string::npos);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(text.out)).isNull(), true);
}

TEST_F(CliTest, EveryDeviceCommandReachesItsResource) {
    const std::string& id = ids_.at(2);
    // A model that offers every command.
    ASSERT_TRUE(sim_->changeDevice(id, QJsonObject{{"family", 2}, {"model", 11}}));
    struct Case {
        std::vector<std::string> args;
        const char* method;
        std::string path;
        const char* body;
    };
    const std::vector<Case> cases = {
        {{"discharge", id}, "PUT", "/device/" + id + "/discharge", "\"confirm\":1"},
        {{"mail-test", "start", id}, "PUT", "/device/" + id + "/mailtest", "\"confirm\":1"},
        {{"mail-test", "cancel", id}, "DELETE", "/device/" + id + "/mailtest", "\"confirm\":1"},
        {{"user", id, "--product", "Shelf 2"},
         "PUT",
         "/device/" + id + "/user",
         "\"userProd\":\"Shelf 2\""},
        // The text not given keeps the value the device has by now.
        {{"user", id, "--name", "Rack A"},
         "PUT",
         "/device/" + id + "/user",
         "\"userName\":\"Rack A\",\"userProd\":\"Shelf 2\""},
        {{"color", id, "255,0,10"}, "PUT", "/device/" + id + "/color", "\"blue\":10"},
        {{"line-sense", id, "high"}, "PUT", "/device/" + id + "/linesense", "\"lineSense\":3"},
        {{"charger-current", id, "4"}, "PUT", "/device/" + id + "/icBattery", "\"icBattery\":4"},
        {{"delete", id, "--yes"}, "DELETE", "/device/" + id, "\"confirm\":1"},
    };
    for (const auto& c : cases) {
        Result r = tool(c.args);
        EXPECT_EQ(r.exit, 0) << c.args.front() << ": " << r.err;
        EXPECT_TRUE(received(c.method, c.path, c.body)) << c.args.front();
    }
    EXPECT_EQ(sim_->deviceIds().size(), 2u);
}

TEST_F(CliTest, FailedOperationsExitOneAndNameTheStatus) {
    // A value the service refuses: the device is known, so it is a rejection.
    Result rejected = tool({"charger-current", ids_.at(0), "50"});
    EXPECT_EQ(rejected.exit, 1);
    EXPECT_NE(rejected.err.find("rejected"), std::string::npos) << rejected.err;
    EXPECT_NE(rejected.err.find("-302"), std::string::npos);
    EXPECT_TRUE(received("PUT", "/icBattery", "\"icBattery\":50"));

    Result unknown = tool({"device", "NO-SUCH-UNIT"});
    EXPECT_EQ(unknown.exit, 1);
    EXPECT_NE(unknown.err.find("not found: device \"NO-SUCH-UNIT\""), std::string::npos)
        << unknown.err;
    EXPECT_NE(unknown.err.find("(status -302)"), std::string::npos);
    EXPECT_TRUE(unknown.out.empty());
}

TEST_F(CliTest, RefusedNotificationChangeIsNotReportedAsSuccess) {
    // The library does not report a refused notification change; the tool
    // waits for the service to show the new values and fails when it does not.
    custovia::sim::FaultRule refuse;
    refuse.kind = custovia::sim::FaultKind::Status;
    refuse.status = 500;
    refuse.method = "POST";
    refuse.prefix = "notifycfg";
    sim_->addFault(refuse);
    Result r = tool({"config", "notify", "valPercent=42", "--timeout", "5"});
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_NE(r.err.find("not confirmed"), std::string::npos) << r.err;
    EXPECT_TRUE(received("POST", "/notifycfg", "\"valPercent\":42"));

    sim_->clearFaults();
    Result ok = tool({"--json", "config", "notify", "valPercent=42", "valMinutes=7"});
    ASSERT_EQ(ok.exit, 0) << ok.err;
    EXPECT_EQ(ok.json()["valPercent"].toInt(), 42);
    EXPECT_EQ(ok.json()["valMinutes"].toInt(), 7);
}

TEST_F(CliTest, SettingsChangeOnlyTheGivenKeysAndNeverShowPasswords) {
    const std::string& id = ids_.at(1);
    Result shut = tool({"config", "shutdown", id, "counterManual=77", "cliHibernate=on"});
    ASSERT_EQ(shut.exit, 0) << shut.err;
    EXPECT_NE(shut.out.find("counterManual"), std::string::npos);
    // The other settings go back as the service reported them.
    Result now = tool({"--json", "config", "shutdown", id});
    ASSERT_EQ(now.exit, 0) << now.err;
    EXPECT_EQ(now.json()["counterManual"].toInt(), 77);
    EXPECT_EQ(now.json()["cliHibernate"].toBool(), true);
    EXPECT_TRUE(received("POST", "/device/" + id + "/shutcfg", "\"counterManual\":77"));

    Result mail =
        tool({"config", "mail", id, "password=-", "to2=ops@example.com"}, "s3cret-pass\n");
    ASSERT_EQ(mail.exit, 0) << mail.err;
    EXPECT_EQ(mail.out.find("s3cret"), std::string::npos);
    EXPECT_NE(mail.out.find("********"), std::string::npos);
    EXPECT_TRUE(received("POST", "/device/" + id + "/mailcfg", "s3cret-pass"));
}

TEST_F(CliTest, UnreachableHostFailsAfterTheTimeout) {
    for (const char* url : {"http://127.0.0.1:1", "http://no-such-host.invalid:4470"}) {
        auto begin = std::chrono::steady_clock::now();
        Result r = run({"--host", url, "--timeout", "1", "status"});
        EXPECT_EQ(r.exit, 1) << url;
        EXPECT_NE(r.err.find("no answer"), std::string::npos) << r.err;
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 15s);
    }
    // The live view keeps going without data: the service may come up later.
    Result watch =
        run({"--host", "http://127.0.0.1:1", "--timeout", "0.5", "watch", "--count", "1"});
    EXPECT_EQ(watch.exit, 0) << watch.err;
    EXPECT_NE(watch.out.find("No answer"), std::string::npos) << watch.out;
}

TEST_F(CliTest, CaFileChecksTheCertificateOfHttpsServices) {
    tlstest::Certificates certs;
    custovia::sim::Options o;
    o.devices = 1;
    o.realTime = false;
    o.tlsCert = certs.good.cert;
    o.tlsKey = certs.good.key;
    custovia::sim::Simulator secure(o);
    secure.start();
    Result trusted =
        run({"--host", secure.url(), "--ca-file", certs.ca.cert, "--timeout", "20", "status"});
    EXPECT_EQ(trusted.exit, 0) << trusted.err;
    EXPECT_NE(trusted.out.find(secure.deviceIds().at(0)), std::string::npos) << trusted.out;
    Result refused =
        run({"--host", secure.url(), "--ca-file", certs.otherCa.cert, "--timeout", "4", "status"});
    EXPECT_EQ(refused.exit, 1);
    EXPECT_NE(refused.err.find("no answer"), std::string::npos) << refused.err;
    EXPECT_EQ(run({"--ca-file", certs.files("missing").cert, "status"}).exit, 2);
}

TEST_F(CliTest, BadUsageExitsTwoBeforeAnythingIsSent) {
    const std::string& id = ids_.at(0);
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"no-such-command"},
        {"shutdown"},
        {"device"},
        {"status", "--timeout", "soon"},
        {"config", "shutdown", id, "noSuchKey=1"},
        {"config", "shutdown", id, "counterManual=-5"},
        {"config", "mail", id, "port=70000"},
        {"color", id, "#zz0000"},
        {"line-sense", id, "loud"},
        {"delete", id},
        {"--host", "http://a:1", "--host", "http://A:2", "status"},
    };
    auto since = sim_->lastSeq();
    for (const auto& args : bad) {
        Result r = tool(args);
        std::string line;
        for (const auto& a : args) {
            line += a + " ";
        }
        EXPECT_EQ(r.exit, 2) << line << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << line;
    }
    for (const auto& e : sim_->journalSince(since)) {
        EXPECT_EQ(e.method, "GET") << e.path;
    }

    for (const std::vector<std::string>& help : {std::vector<std::string>{"--help"},
                                                 {"shutdown", "start", "--help"},
                                                 {"config", "shutdown", "--help"}}) {
        Result r = run(help);
        EXPECT_EQ(r.exit, 0);
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
    }
    EXPECT_NE(run({"config", "mail", "--help"}).out.find("password"), std::string::npos);
}

TEST_F(CliTest, WatchRedrawsUntilInterrupted) {
    ChildProcess watch(CUSTOVIA_CLI_PATH,
                       {"--host", sim_->url(), "--timeout", "20", "watch", "--interval", "0.2"});
    ASSERT_TRUE(watch.waitFor("custovia watch"));
    ASSERT_TRUE(watch.waitFor(ids_.at(2)));
    watch.signal(SIGINT);
    Result r = finish(watch);
    EXPECT_EQ(r.exit, 0) << r.err;

    Result json = tool({"--json", "watch", "--count", "2", "--interval", "0.1"});
    ASSERT_EQ(json.exit, 0) << json.err;
    auto nl = json.out.find('\n');
    ASSERT_NE(nl, std::string::npos);
    EXPECT_EQ(json.out.find('\n', nl + 1), json.out.size() - 1) << "two lines, one per redraw";
    QJsonObject first =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out.substr(0, nl))).object();
    EXPECT_FALSE(first["time"].toString().isEmpty());
    EXPECT_FALSE(findDevice(first, ids_.at(0)).isEmpty());
}

// Every JSON line of `custovia events` output with this kind and name.
std::vector<QJsonObject> eventsOf(const std::string& out, const char* kind, const char* name) {
    std::vector<QJsonObject> found;
    std::size_t at = 0;
    for (std::size_t nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1) {
        QJsonObject e =
            QJsonDocument::fromJson(QByteArray::fromStdString(out.substr(at, nl - at))).object();
        if (e["kind"].toString() == kind && e["name"].toString() == name) {
            found.push_back(e);
        }
    }
    return found;
}

TEST_F(CliTest, EventsReportAnOutageOfEveryUnitAndHandEachToTheProgram) {
    loopback_test::TempDir dir("custovia-cli-events");
    std::string program =
        dir.script("record",
                   "echo \"$CUSTOVIA_EVENT $CUSTOVIA_NAME $CUSTOVIA_DEVICE $CUSTOVIA_HOST "
                   "$CUSTOVIA_TEXT\" >> '" +
                       dir.path() + "/seen'");
    ChildProcess events(CUSTOVIA_CLI_PATH, {"--host", sim_->url(), "--timeout", "20", "--json",
                                            "events", "--exec", program});
    // Every unit appears first, then the outage raises on-battery on each,
    // in a line of its own and in a run of the program.
    ASSERT_TRUE(events.waitFor(ids_.back()));
    sim_->setOutage(true);
    for (const auto& id : ids_) {
        ASSERT_TRUE(events.waitFor("\"device\":\"" + id +
                                   "\",\"host\":\"127.0.0.1\",\"kind\":\"flagRaised\""))
            << id;
        std::string line = "flagRaised opBattery " + id + " 127.0.0.1 ";
        EXPECT_TRUE(loopback_test::waitUntil([&] {
            return dir.read("seen").find(line) != std::string::npos;
        })) << dir.read("seen");
    }
    events.signal(SIGINT);
    Result r = finish(events);
    EXPECT_EQ(r.exit, 0) << r.err;
    for (const auto& id : ids_) {
        bool found = false;
        for (const auto& e : eventsOf(r.out, "flagRaised", "opBattery")) {
            found = found || e["device"].toString().toStdString() == id;
        }
        EXPECT_TRUE(found) << id << "\n" << r.out;
    }
}

TEST_F(CliTest, EventsHoldBackABlipAndReportAnOutageThatLasts) {
    // The hold is longer than one refresh period, so that a blip seen by one
    // refresh and gone by the next stays unreported.
    ChildProcess events(CUSTOVIA_CLI_PATH, {"--host", sim_->url(), "--timeout", "20", "--json",
                                            "events", "--hold", "7"});
    ASSERT_TRUE(events.waitFor(ids_.back()));
    // A refresh reads the unit's state after this point.
    auto readAfter = [&](const std::string& id) {
        auto since = sim_->lastSeq();
        return loopback_test::waitUntil([&] {
            for (const auto& e : sim_->journalSince(since)) {
                if (e.method == "GET" && e.path.find(id) != std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    };
    const std::string& blip = ids_.at(0);
    const std::string& outage = ids_.at(1);
    ASSERT_TRUE(sim_->setOutage(true, blip));
    ASSERT_TRUE(readAfter(blip));
    ASSERT_TRUE(sim_->setOutage(false, blip));
    ASSERT_TRUE(readAfter(blip));
    ASSERT_TRUE(sim_->setOutage(true, outage));
    // The lasting outage is reported once it held; the blip, older, never was.
    ASSERT_TRUE(events.waitFor(
        "\"device\":\"" + outage + "\",\"host\":\"127.0.0.1\",\"kind\":\"flagRaised\"", 40s));
    events.signal(SIGINT);
    Result r = finish(events);
    for (const char* kind : {"flagRaised", "flagCleared"}) {
        for (const auto& e : eventsOf(r.out, kind, "opBattery")) {
            EXPECT_NE(e["device"].toString().toStdString(), blip) << r.out;
        }
    }
}

TEST_F(CliTest, MinimalExampleListsTheUnits) {
    Result r = run({sim_->url()}, "", CUSTOVIA_EXAMPLE_PATH);
    ASSERT_EQ(r.exit, 0) << r.err;
    for (const auto& id : ids_) {
        EXPECT_NE(r.out.find(id), std::string::npos) << r.out;
    }
}

}  // namespace
