// The custovia tool end to end: the built program against a simulator in this process.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <tuple>

#include "ChildProcess.h"
#include "LoopbackTestSupport.h"
#include "SimClient.h"
#include "TextChecks.h"
#include "sim/Simulator.h"

using namespace std::chrono_literals;
using testsupport::ChildProcess;

namespace {

QJsonObject json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

struct Result {
    int exit = -1;  // exit status, 128 when a signal ended it
    std::string out, err;
    QJsonObject json() const { return ::json(out); }
};

// Runs the program to its end (at most 60 s) and returns everything it wrote.
Result run(const std::vector<std::string>& args, const std::string& input = "",
           const char* program = CUSTOVIA_CLI_PATH) {
    ChildProcess tool(program, args, input);
    int exit = tool.wait();
    return {exit, tool.out(), tool.err()};
}

void expectHasAll(const std::string& text, const std::vector<std::string>& parts) {
    for (const auto& part : parts) {
        EXPECT_HAS(text, part);
    }
}

// A run's exit status, and `parts` in its output when it succeeded, else in its messages.
void expectRun(const Result& r, int exit, const std::vector<std::string>& parts) {
    EXPECT_EQ(r.exit, exit) << r.out << r.err;
    expectHasAll(exit == 0 ? r.out : r.err, parts);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("CUSTOVIA_HOST");
        start(1);
    }

    void start(int hosts) {
        custovia::sim::Options o;
        o.hosts = hosts;  // three units and one remote computer each
        sim_ = std::make_unique<custovia::sim::Simulator>(o);
        sim_->start();
        ids_ = sim_->deviceIds();
        ASSERT_EQ(ids_.size(), 3u);
    }

    // The tool's arguments against the simulator's first address.
    std::vector<std::string> on(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--host", sim_->url(), "--timeout", "20"});
        return args;
    }
    Result tool(const std::vector<std::string>& args, const std::string& input = "") {
        return run(on(args), input);
    }

    // Whether the service got `method` on a path ending in `pathEnd`, with `bodyPart` in its body,
    // after the request numbered `since`.
    bool received(const std::string& method, const std::string& pathEnd,
                  const std::string& bodyPart = "", std::uint64_t since = 0) const {
        const auto journal = sim_->journalSince(since);
        return std::any_of(journal.begin(), journal.end(), [&](const auto& e) {
            return e.method == method && e.body.find(bodyPart) != std::string::npos &&
                   e.path.size() >= pathEnd.size() &&
                   e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0;
        });
    }

    std::unique_ptr<custovia::sim::Simulator> sim_;
    std::vector<std::string> ids_;
};

TEST_F(CliTest, StatusListsEveryHostComputerAndUnitAsTheExampleDoes) {
    Result text = tool({"status"});
    expectRun(
        text, 0,
        {"STATE", "COUNTDOWN", "On line", sim_->computerIds().at(0), ids_[0], ids_[1], ids_[2]});
    // No colour and no wait indicator when the output is not a terminal.
    EXPECT_EQ(text.out.find('\033'), std::string::npos);
    EXPECT_EQ(text.err.find('\r'), std::string::npos);

    // Several hosts and a dead one: every host is shown, and the exit says not all answered.
    start(2);
    Result r = run({"--host", sim_->url(0), "--host", sim_->url(1), "--host", "http://127.0.0.9:1",
                    "--timeout", "5", "status"});
    EXPECT_EQ(r.exit, 1) << r.err;
    std::vector<std::string> parts = sim_->deviceIds("localhost", 1);
    parts.insert(parts.end(), {"HOST", "127.0.0.1", "127.0.0.2", "No answer", ids_.at(0)});
    expectHasAll(r.out, parts);

    // The minimal example lists the units too.
    expectRun(run({sim_->url()}, "", CUSTOVIA_EXAMPLE_PATH), 0, sim_->deviceIds());
}

TEST_F(CliTest, ManualShutdownShowsItsCountdownInTheDeviceView) {
    const std::string& id = ids_.at(0);
    EXPECT_HAS(tool({"shutdown", "start", id}).out, "started");
    expectHasAll(tool({"device", id}).out, {"Countdown     Manual, ", "Capabilities"});
    EXPECT_EQ(tool({"--json", "shutdown", "cancel", id}).json()["command"], "shutdownCancel");
}

TEST_F(CliTest, EveryDeviceCommandReachesItsResource) {
    const std::string& id = ids_.at(2);
    const std::string dev = "/device/" + id;
    // A model that offers every command.
    ASSERT_TRUE(sim_->changeDevice(id, QJsonObject{{"family", 2}, {"model", 11}}));
    using Args = std::vector<std::string>;
    const std::vector<std::tuple<Args, const char*, const char*, const char*>> cases = {
        {{"shutdown", "cancel", id}, "DELETE", "/shutdown", "\"confirm\":1"},
        {{"discharge", id}, "PUT", "/discharge", "\"confirm\":1"},
        {{"mail-test", "start", id}, "PUT", "/mailtest", "\"confirm\":1"},
        {{"mail-test", "cancel", id}, "DELETE", "/mailtest", "\"confirm\":1"},
        {{"user", id, "--product", "Shelf 2"}, "PUT", "/user", "\"userProd\":\"Shelf 2\""},
        // The text not given keeps the value the device has by now.
        {{"user", id, "--name", "R7"}, "PUT", "/user", R"("userName":"R7","userProd":"Shelf 2")"},
        {{"color", id, "255,0,10"}, "PUT", "/color", "\"blue\":10"},
        {{"line-sense", id, "high"}, "PUT", "/linesense", "\"lineSense\":3"},
        {{"charger-current", id, "4"}, "PUT", "/icBattery", "\"icBattery\":4"},
        {{"delete", id, "--yes"}, "DELETE", "", "\"confirm\":1"},
    };
    for (const auto& [args, method, path, body] : cases) {
        Result r = tool(args);
        EXPECT_EQ(r.exit, 0) << args.front() << ": " << r.err;
        EXPECT_TRUE(received(method, dev + path, body)) << args.front();
    }
}

TEST_F(CliTest, FailedOperationsExitOneAndNameTheStatusAndARefusedChangeIsNoSuccess) {
    // A value the service refuses: the device is known, so it is a rejection.
    expectRun(tool({"charger-current", ids_.at(0), "50"}), 1, {"rejected", "-302"});
    EXPECT_TRUE(received("PUT", "/icBattery", "\"icBattery\":50"));

    Result unknown = tool({"device", "NO-SUCH-UNIT"});
    expectRun(unknown, 1, {"not found: device \"NO-SUCH-UNIT\"", "(status -302)"});
    EXPECT_TRUE(unknown.out.empty());

    // The library does not report a refused change: the tool fails when the values never show.
    custovia::sim::FaultRule refuse;  // status 500
    refuse.method = "POST";
    refuse.prefix = "notifycfg";
    sim_->addFault(refuse);
    expectRun(tool({"config", "notify", "valPercent=42", "--timeout", "5"}), 1, {"not confirmed"});
    EXPECT_TRUE(received("POST", "/notifycfg", "\"valPercent\":42"));

    sim_->clearFaults();
    Result ok = tool({"--json", "config", "notify", "valPercent=42", "valMinutes=7"});
    ASSERT_EQ(ok.exit, 0) << ok.err;
    EXPECT_EQ(ok.json()["valMinutes"].toInt(), 7);
}

TEST_F(CliTest, SettingsChangeOnlyTheGivenKeysAndNeverShowPasswords) {
    const std::string& id = ids_.at(1);
    expectRun(tool({"config", "shutdown", id, "counterManual=77", "cliHibernate=on"}), 0,
              {"counterManual"});
    // The other settings go back as the service reported them.
    QJsonObject now = tool({"--json", "config", "shutdown", id}).json();
    EXPECT_EQ(now["counterManual"].toInt(), 77);
    EXPECT_EQ(now["cliHibernate"].toBool(), true);

    Result mail =
        tool({"config", "mail", id, "password=-", "to2=ops@example.com"}, "s3cret-pass\n");
    expectRun(mail, 0, {"********"});
    EXPECT_EQ(mail.out.find("s3cret"), std::string::npos);
    EXPECT_TRUE(received("POST", "/device/" + id + "/mailcfg", "s3cret-pass"));
}

TEST_F(CliTest, UnreachableAndUntrustedHostsFailAfterTheTimeout) {
    expectRun(run({"--host", "http://127.0.0.1:1", "--timeout", "1", "status"}), 1, {"no answer"});
    // The live view keeps going without data: the service may come up later.
    expectRun(run({"--host", "http://127.0.0.1:1", "--timeout", "0.5", "watch", "--count", "1"}), 0,
              {"No answer"});

    // --ca-file checks the certificates of HTTPS services.
    QTemporaryDir folder, other;
    custovia::sim::Simulator secure(simtest::https(folder));
    secure.start();
    auto status = [&](const std::string& ca, const char* timeout) {
        return run({"--host", secure.url(), "--ca-file", ca, "--timeout", timeout, "status"});
    };
    expectRun(status(secure.options().tlsCert, "20"), 0, {secure.deviceIds().at(0)});
    expectRun(status(simtest::https(other).tlsCert, "4"), 1, {"no answer"});
    EXPECT_EQ(run({"--ca-file", folder.filePath("missing.pem").toStdString(), "status"}).exit, 2);
}

TEST_F(CliTest, BadUsageExitsTwoBeforeAnythingIsSentAndHelpDescribesTheUsage) {
    const std::string& id = ids_.at(0);
    auto since = sim_->lastSeq();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"no-such-command"},
             {"status", "--timeout", "soon"},
             {"config", "shutdown", id, "counterManual=-5"},
             {"delete", id},
             {"--host", "http://a:1", "--host", "http://A:2", "status"},
         }) {
        Result r = tool(args);
        EXPECT_EQ(r.exit, 2) << testing::PrintToString(args) << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << testing::PrintToString(args);
    }
    for (const auto& e : sim_->journalSince(since)) {
        EXPECT_EQ(e.method, "GET") << e.path;
    }

    expectRun(run({"--help"}), 0, {"Usage"});
    expectRun(run({"config", "mail", "--help"}), 0, {"password"});
}

TEST_F(CliTest, WatchRedrawsUntilInterrupted) {
    ChildProcess watch(CUSTOVIA_CLI_PATH, on({"watch", "--interval", "0.2"}));
    ASSERT_TRUE(watch.waitFor("custovia watch"));
    ASSERT_TRUE(watch.waitFor(ids_.at(2)));
    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(), 0) << watch.err();

    Result js = tool({"--json", "watch", "--count", "2", "--interval", "0.1"});
    ASSERT_EQ(js.exit, 0) << js.err;
    const std::string first = js.out.substr(0, js.out.find('\n'));
    EXPECT_EQ(js.out.find('\n', first.size() + 1), js.out.size() - 1)
        << "two lines, one per redraw";
    EXPECT_FALSE(json(first)["time"].toString().isEmpty());
    EXPECT_HAS(first, "\"id\":\"" + ids_.at(0) + "\"");
}

TEST_F(CliTest, EventsHoldBackABlipAndReportLastingOutagesToLinesAndTheProgram) {
    loopback_test::TempDir dir("custovia-cli-events");
    std::string program =
        dir.script("record",
                   "echo \"$CUSTOVIA_EVENT $CUSTOVIA_NAME $CUSTOVIA_DEVICE $CUSTOVIA_HOST "
                   "$CUSTOVIA_TEXT\" >> '" +
                       dir.path() + "/seen'");
    // A hold longer than a refresh period: a blip seen by one refresh and gone by the next.
    ChildProcess events(CUSTOVIA_CLI_PATH,
                        on({"--json", "events", "--hold", "7", "--exec", program}));
    ASSERT_TRUE(events.waitFor(ids_.back()));  // every unit appears first
    // A refresh reads the unit's state after this point.
    auto readAfter = [&](const std::string& id) {
        auto since = sim_->lastSeq();
        return loopback_test::waitUntil(
            [&] { return received("GET", "/device/" + id, "", since); });
    };
    const std::string& blip = ids_.at(0);
    ASSERT_TRUE(sim_->setOutage(true, blip));
    ASSERT_TRUE(readAfter(blip));
    ASSERT_TRUE(sim_->setOutage(false, blip));
    ASSERT_TRUE(readAfter(blip));
    // The lasting outages are reported once held, as lines and program runs; the blip never.
    for (std::size_t i = 1; i < ids_.size(); ++i) {
        ASSERT_TRUE(sim_->setOutage(true, ids_[i]));
    }
    for (std::size_t i = 1; i < ids_.size(); ++i) {
        ASSERT_TRUE(events.waitFor(
            "\"device\":\"" + ids_[i] + "\",\"host\":\"127.0.0.1\",\"kind\":\"flagRaised\"", 40s));
        std::string line = "flagRaised opBattery " + ids_[i] + " 127.0.0.1 ";
        EXPECT_TRUE(loopback_test::waitUntil([&] {
            return dir.read("seen").find(line) != std::string::npos;
        })) << dir.read("seen");
    }
    events.signal(SIGINT);
    EXPECT_EQ(events.wait(), 0) << events.err();
    EXPECT_EQ(dir.read("seen").find("opBattery " + blip), std::string::npos);
}

}  // namespace
