// custovia-serve end to end: the built program on port 0 against simulated
// services; its JSON, metrics (also through promtool), commands, start
// errors and stop.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

#include <map>
#include <mutex>
#include <set>

#include "ServeTestSupport.h"
#include "sim/Simulator.h"

using namespace serve_test;

namespace {

const char kToken[] = "s3cret-token-0123456789";

std::set<std::string> memberNames(const QJsonObject& o) {
    std::set<std::string> names;
    for (auto it = o.begin(); it != o.end(); ++it) {
        names.insert(it.key().toStdString());
    }
    return names;
}

std::vector<QJsonObject> allDevices(const QJsonObject& devices) {
    std::vector<QJsonObject> out;
    for (const auto& h : devices["hosts"].toArray()) {
        for (const auto& c : h.toObject()["computers"].toArray()) {
            for (const auto& d : c.toObject()["devices"].toArray()) {
                QJsonObject o = d.toObject();
                o["host"] = h.toObject()["host"];
                out.push_back(o);
            }
        }
    }
    return out;
}

// The samples of one metric family: labels text -> value.
std::map<std::string, double> samples(const std::string& text, const std::string& name) {
    std::map<std::string, double> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, name.size() + 1, name + "{") == 0) {
            std::size_t space = line.rfind(' ');
            out[line.substr(name.size(), space - name.size())] = std::stod(line.substr(space + 1));
        }
    }
    return out;
}

class GatewayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        custovia::sim::Options o;
        o.port = 0;
        o.hosts = 3;
        o.devices = 2;
        sim_ = new custovia::sim::Simulator(o);
        sim_->start();
        dir_ = new TempDir();
        std::string hosts = "# the test's services\n";
        for (int i = 0; i < o.hosts; ++i) {
            hosts += sim_->url(i) + "   # host " + std::to_string(i) + "\n\n";
            for (const auto& id : sim_->deviceIds("localhost", i)) {
                ids_.push_back(id);
            }
        }
        gateway_ = new Gateway({"--hosts-file", dir_->file("hosts", hosts), "--token-file",
                                dir_->file("token", std::string(kToken) + "\n")});
        ASSERT_EQ(gateway_->url.rfind("http://127.0.0.1:", 0), 0u) << gateway_->process->err();
        // Every unit of every host is in the data.
        ASSERT_TRUE(waitUntil([] {
            auto r = gateway_->client()->Get("/api/v1/devices");
            return r && allDevices(jsonOf(r->body)).size() == ids_.size();
        })) << gateway_->process->err();
    }
    static void TearDownTestSuite() {
        delete gateway_;
        delete sim_;
        delete dir_;
        ids_.clear();
    }

    static httplib::Result get(const std::string& path) { return gateway_->client()->Get(path); }
    static httplib::Result command(const std::string& id, const std::string& name,
                                   const std::string& token) {
        httplib::Headers h;
        if (!token.empty()) {
            h.emplace("Authorization", "Bearer " + token);
        }
        return gateway_->client()->Post("/api/v1/devices/" + id + "/" + name, h, "",
                                        "application/json");
    }
    static bool received(int host, const std::string& method, const std::string& pathEnd) {
        for (const auto& e : sim_->journal()) {
            if (e.host == host && e.method == method && e.path.size() >= pathEnd.size() &&
                e.path.compare(e.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0) {
                return true;
            }
        }
        return false;
    }

    static custovia::sim::Simulator* sim_;
    static TempDir* dir_;
    static Gateway* gateway_;
    static std::vector<std::string> ids_;
};

custovia::sim::Simulator* GatewayTest::sim_ = nullptr;
TempDir* GatewayTest::dir_ = nullptr;
Gateway* GatewayTest::gateway_ = nullptr;
std::vector<std::string> GatewayTest::ids_;

TEST_F(GatewayTest, TheApiAnswersWhatTheCommandLineToolPrints) {
    auto hosts = get("/api/v1/hosts");
    ASSERT_TRUE(hosts);
    EXPECT_EQ(hosts->status, 200);
    EXPECT_EQ(hosts->get_header_value("Content-Type"), "application/json");
    QJsonArray list = jsonOf(hosts->body)["hosts"].toArray();
    ASSERT_EQ(list.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].toObject()["url"].toString().toStdString(), sim_->url(i));
        EXPECT_TRUE(list[i].toObject()["ready"].toBool());
    }

    std::set<std::string> seen;
    for (const auto& d : allDevices(jsonOf(get("/api/v1/devices")->body))) {
        seen.insert(d["id"].toString().toStdString());
        EXPECT_FALSE(d["stateText"].toString().isEmpty());
    }
    EXPECT_EQ(seen, std::set<std::string>(ids_.begin(), ids_.end()));

    // One unit in detail: the members `custovia --json device` prints.
    const std::string id = sim_->deviceIds("localhost", 1).front();
    auto one = get("/api/v1/devices/" + id);
    ASSERT_EQ(one->status, 200);
    QJsonObject mine = jsonOf(one->body);
    EXPECT_EQ(mine["id"].toString().toStdString(), id);
    EXPECT_EQ(mine["host"].toString().toStdString(), sim_->address(1));
    int code = -1;
    std::string tool =
        runProgram(CUSTOVIA_CLI_PATH,
                   {"--host", sim_->url(1), "--json", "--timeout", "20", "device", id}, &code);
    ASSERT_EQ(code, 0) << tool;
    QJsonObject theirs = jsonOf(tool);
    EXPECT_EQ(memberNames(mine), memberNames(theirs));
    EXPECT_EQ(mine["model"], theirs["model"]);

    auto health = get("/healthz");
    ASSERT_EQ(health->status, 200);
    EXPECT_EQ(jsonOf(health->body)["hostsUp"].toInt(), 3);
}

TEST_F(GatewayTest, BadRequestsGetClearAnswers) {
    struct Case {
        const char* path;
        int status;
    } cases[] = {
        {"/nothing/here", 404},
        {"/api/v1/devices/NO-SUCH-UNIT", 404},
        {"/api/v1/devices/bad%20id", 400},
        {"/api/v1/devices/a%22b", 400},
        {"/api/v1/devices/x/y/z", 404},
    };
    for (const auto& c : cases) {
        auto r = get(c.path);
        ASSERT_TRUE(r) << c.path;
        EXPECT_EQ(r->status, c.status) << c.path;
        EXPECT_EQ(jsonOf(r->body)["status"].toInt(), c.status) << c.path << ": " << r->body;
    }
    EXPECT_EQ(command(ids_[0], "explode", kToken)->status, 404);
    // A body past the limit is refused unread.
    auto big = gateway_->client()->Post("/api/v1/devices/" + ids_[0] + "/shutdown",
                                        std::string(1 << 20, 'x'), "application/json");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    // The gateway still answers afterwards.
    EXPECT_EQ(get("/healthz")->status, 200);
}

TEST_F(GatewayTest, MetricsAreWellFormedAndCoverEveryUnit) {
    auto r = get("/metrics");
    ASSERT_EQ(r->status, 200);
    EXPECT_EQ(r->get_header_value("Content-Type").rfind("text/plain; version=0.0.4", 0), 0u);
    const std::string& text = r->body;

    // Line by line: comments declare each family once, before its samples.
    const QRegularExpression help("^# HELP (custovia_[a-z_]+) .+$");
    const QRegularExpression type("^# TYPE (custovia_[a-z_]+) (gauge|counter)$");
    const QRegularExpression sample(
        R"(^(custovia_[a-z_]+)\{([a-z_]+="([^"\\]|\\.)*",?)+\} -?[0-9.e+-]+$)");
    std::set<std::string> helped, typed;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const QString l = QString::fromStdString(line);
        QRegularExpressionMatch m;
        auto family = [&] { return m.captured(1).toStdString(); };
        if ((m = help.match(l)).hasMatch()) {
            EXPECT_TRUE(helped.insert(family()).second) << line;
        } else if ((m = type.match(l)).hasMatch()) {
            EXPECT_TRUE(helped.count(family()) && typed.insert(family()).second) << line;
        } else if ((m = sample.match(l)).hasMatch()) {
            EXPECT_TRUE(typed.count(family())) << line;
        } else {
            ADD_FAILURE() << "not an exposition line: " << line;
        }
    }

    auto up = samples(text, "custovia_host_up");
    EXPECT_EQ(up.size(), 3u);
    for (const auto& s : up) {
        EXPECT_EQ(s.second, 1) << s.first;
    }
    auto charge = samples(text, "custovia_battery_charge_ratio");
    EXPECT_EQ(charge.size(), ids_.size());
    for (const auto& s : charge) {
        EXPECT_GT(s.second, 0) << s.first;
        EXPECT_LE(s.second, 1) << s.first;
    }
    for (const auto& id : ids_) {
        EXPECT_NE(text.find("custovia_device_info{host=\"127.0.0."), std::string::npos);
        EXPECT_NE(text.find("device=\"" + id + "\""), std::string::npos) << id;
    }
    EXPECT_FALSE(samples(text, "custovia_status_flag").empty());
    EXPECT_FALSE(samples(text, "custovia_input_voltage_volts").empty());

    // promtool reads it from standard input.
    std::string file = dir_->file("metrics.txt", text);
    int code = -1;
    std::string out = runProgram("sh", {"-c", "promtool check metrics < '" + file + "'"}, &code);
    EXPECT_EQ(code, 0) << out;
}

TEST_F(GatewayTest, CommandsNeedTheRightTokenAndReachTheService) {
    const std::string id = sim_->deviceIds("localhost", 2).front();
    auto none = command(id, "shutdown", "");
    EXPECT_EQ(none->status, 401);
    EXPECT_EQ(none->get_header_value("WWW-Authenticate"), "Bearer");
    EXPECT_EQ(command(id, "shutdown", "s3cret-token-0123456788")->status, 401);
    EXPECT_EQ(command(id, "shutdown", std::string(kToken) + "x")->status, 401);
    EXPECT_FALSE(received(2, "PUT", "/device/" + id + "/shutdown"));

    auto ok = command(id, "shutdown", kToken);
    ASSERT_EQ(ok->status, 200) << ok->body;
    QJsonObject o = jsonOf(ok->body);
    EXPECT_EQ(o["status"].toInt(), 1);
    EXPECT_EQ(o["result"].toString(), "ok");
    EXPECT_EQ(o["host"].toString().toStdString(), sim_->address(2));
    EXPECT_TRUE(received(2, "PUT", "/device/" + id + "/shutdown"));

    // The countdown shows in the metrics with its cause, and goes with the cancel.
    auto countdown = [&] {
        for (const auto& s : samples(get("/metrics")->body, "custovia_countdown_seconds")) {
            if (s.first.find(id) != std::string::npos && s.first.find("cause=\"") != s.first.npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(waitUntil(countdown));
    EXPECT_EQ(command(id, "cancel-shutdown", kToken)->status, 200);
    EXPECT_TRUE(received(2, "DELETE", "/device/" + id + "/shutdown"));
    EXPECT_TRUE(waitUntil([&] { return !countdown(); }));

    // The service's refusal is passed on in words and code.
    custovia::sim::FaultRule refuse;
    refuse.regex = "/discharge$";
    refuse.status = 500;
    refuse.host = 2;
    int fault = sim_->addFault(refuse);
    auto refused = command(id, "discharge", kToken);
    sim_->removeFault(fault);
    EXPECT_GE(refused->status, 500) << refused->body;
    EXPECT_LT(jsonOf(refused->body)["status"].toInt(), 0) << refused->body;
    EXPECT_FALSE(jsonOf(refused->body)["result"].toString().isEmpty());
}

TEST_F(GatewayTest, AnOutageAppearsInTheStreamAndInTheMetrics) {
    const std::string id = sim_->deviceIds("localhost", 0).front();
    auto onBattery = [&] {
        for (const auto& s : samples(get("/metrics")->body, "custovia_status_flag")) {
            if (s.first.find("device=\"" + id + "\",flag=\"opBattery\"") != s.first.npos) {
                return s.second == 1;
            }
        }
        return false;
    };
    EXPECT_FALSE(onBattery());
    StreamReader stream(gateway_->url);
    ASSERT_TRUE(stream.has(": connected"));
    sim_->setOutage(true, id, 0);
    EXPECT_TRUE(stream.hasEvent("flagRaised", id, "opBattery")) << stream.text();
    EXPECT_TRUE(waitUntil(onBattery));
    sim_->setOutage(false, id, 0);
    EXPECT_TRUE(stream.hasEvent("flagCleared", id, "opBattery")) << stream.text();
    EXPECT_TRUE(waitUntil([&] { return !onBattery(); }));
}

// The simulator as its own program, killed without a goodbye.
TEST(GatewayHostDownTest, AKilledServiceShowsAsDownAndItsUnitsGo) {
    Child sim(CUSTOVIA_SIM_PATH, {"--port", "0", "--hosts", "2", "--devices", "2"});
    std::string first = sim.line(), second = sim.line();
    ASSERT_FALSE(second.empty()) << sim.err();
    Gateway gateway({"--host", first, "--host", second, "--unreachable-after", "1"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    auto metrics = [&] { return gateway.client()->Get("/metrics")->body; };
    ASSERT_TRUE(
        waitUntil([&] { return samples(metrics(), "custovia_battery_charge_ratio").size() == 4; }));

    sim.signal(SIGKILL);
    sim.wait();
    ASSERT_TRUE(waitUntil([&] {
        auto up = samples(metrics(), "custovia_host_up");
        return up.size() == 2 && up.begin()->second == 0 && up.rbegin()->second == 0;
    })) << metrics();
    std::string text = metrics();
    EXPECT_TRUE(samples(text, "custovia_battery_charge_ratio").empty()) << text;
    EXPECT_EQ(samples(text, "custovia_host_consecutive_failures").size(), 2u);
    QJsonObject health = jsonOf(gateway.client()->Get("/healthz")->body);
    EXPECT_EQ(health["hostsDown"].toInt(), 2);
    EXPECT_EQ(health["hosts"].toArray()[0].toObject()["hostState"].toString(), "unreachable");
}

TEST(GatewayCommandsTest, WithoutATokenFileEveryCommandIsForbidden) {
    Gateway gateway({"--host", "http://127.0.0.1:9"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    auto r = gateway.client()->Post("/api/v1/devices/SIM1/shutdown",
                                    httplib::Headers{{"Authorization", "Bearer anything"}}, "",
                                    "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 403);
}

TEST(GatewayStartTest, BadInputEndsTheProgramBeforeAnythingIsServed) {
    TempDir dir;
    int code = -1;
    std::string help = runProgram(CUSTOVIA_SERVE_PATH, {"--help"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(help.rfind("custovia-serve: ", 0), 0u) << help;

    // Held by a listener of the test's own.
    httplib::Server holder;
    int busy = holder.bind_to_any_port("127.0.0.1");
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* message;
    } cases[] = {
        {{}, 2, "no monitoring service"},
        {{"--host", "not a url"}, 2, "not a url"},
        {{"--hosts-file", dir.path() + "/missing"}, 2, "cannot read hosts file"},
        {{"--host", "http://127.0.0.1:9", "--token-file", dir.path()}, 2, "cannot read token"},
        {{"--host", "http://127.0.0.1:9", "--token-file", dir.file("empty", "\n")}, 2, "no token"},
        {{"--host", "http://a:1", "--host", "http://A:2"}, 2, "given twice"},
        {{"--host", "https://127.0.0.1:9", "--ca-file", dir.path() + "/no-ca.pem"},
         2,
         "cannot read CA file"},
        {{"--host", "http://127.0.0.1:9", "--listen", "127.0.0.1:" + std::to_string(busy)},
         1,
         "cannot listen on 127.0.0.1:"},
        {{"--host", "http://127.0.0.1:9", "--listen", "nowhere"}, 2, "--listen"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        Child program(CUSTOVIA_SERVE_PATH, args);
        EXPECT_EQ(program.wait(), c.exit) << c.message;
        EXPECT_EQ(program.out(), "") << c.message;
        EXPECT_NE(program.err().find(c.message), std::string::npos) << program.err();
    }
}

TEST(GatewayStopTest, SigtermEndsTheProgramWithAStreamClientConnected) {
    Gateway gateway({"--host", "http://127.0.0.1:9"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    // A stream client that stays connected.
    std::atomic<bool> opened{false};
    std::thread reader([&] {
        httplib::Client c(gateway.url);
        c.set_read_timeout(30, 0);
        c.Get("/api/v1/events", [&](const char*, std::size_t) {
            opened = true;
            return true;
        });
    });
    EXPECT_TRUE(waitUntil([&] { return opened.load(); }));
    auto begin = Clock::now();
    gateway.process->signal(SIGTERM);
    EXPECT_EQ(gateway.process->wait(10), 0) << gateway.process->err();
    // Reported, not asserted: the stop is meant to take well under a second.
    std::cerr << "stopped in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count()
              << " ms\n";
    reader.join();
}

}  // namespace
