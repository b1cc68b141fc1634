// custovia-serve end to end: the built program on port 0 against simulated
// services. One gateway over three hosts serves the checks that leave it as
// they found it; an outage and a killed service, HTTPS services, start errors
// and the stop run gateways of their own.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "../TlsTestSupport.h"
#include "Browser.h"
#include "ServeTestSupport.h"

using namespace serve_test;

namespace {

const char kToken[] = "s3cret-token-0123456789";

class GatewayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = startSimulator(3, 2);
        std::string hosts = "# the test's services\n";
        for (int i = 0; i < 3; ++i) {
            hosts += sim_->url(i) + "   # host " + std::to_string(i) + "\n\n";
            const auto ids = sim_->deviceIds("localhost", i);
            units_.insert(ids.begin(), ids.end());
        }
        gateway_ = std::make_unique<Gateway>(
            std::vector<std::string>{"--hosts-file", dir_.file("hosts", hosts), "--token-file",
                                     dir_.file("token", std::string(kToken) + "\n")});
        ASSERT_EQ(gateway_->url.rfind("http://127.0.0.1:", 0), 0u) << gateway_->process->err();
        ASSERT_TRUE(waitUntil([] {
            return samples(gateway_->body("/metrics"), "custovia_battery_charge_ratio").size() ==
                   units_.size();
        })) << gateway_->process->err();
    }
    static void TearDownTestSuite() {
        gateway_.reset();
        sim_.reset();
        units_.clear();
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

    static inline TempDir dir_{"custovia-serve"};
    static inline std::unique_ptr<custovia::sim::Simulator> sim_;
    static inline std::unique_ptr<Gateway> gateway_;
    static inline std::set<std::string> units_;  // of every host
};

TEST_F(GatewayTest, TheApiAnswersWhatTheCommandLineToolPrints) {
    auto hosts = get("/api/v1/hosts");
    ASSERT_TRUE(hosts);
    EXPECT_EQ(hosts->get_header_value("Content-Type"), "application/json");
    QJsonArray list = jsonOf(hosts->body)["hosts"].toArray();
    ASSERT_EQ(list.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].toObject()["url"].toString().toStdString(), sim_->url(i));
        EXPECT_TRUE(list[i].toObject()["ready"].toBool());
    }

    std::set<std::string> seen;
    for (const auto& h : jsonOf(gateway_->body("/api/v1/devices"))["hosts"].toArray()) {
        for (const auto& c : h.toObject()["computers"].toArray()) {
            for (const auto& d : c.toObject()["devices"].toArray()) {
                seen.insert(d.toObject()["id"].toString().toStdString());
            }
        }
    }
    EXPECT_EQ(seen, units_);

    // One unit in detail: the members `custovia --json device` prints.
    const std::string id = sim_->deviceIds("localhost", 1).front();
    QJsonObject mine = jsonOf(gateway_->body("/api/v1/devices/" + id));
    EXPECT_EQ(mine["host"].toString().toStdString(), sim_->address(1));
    ChildProcess tool(CUSTOVIA_CLI_PATH,
                      {"--host", sim_->url(1), "--json", "--timeout", "20", "device", id});
    ASSERT_EQ(tool.wait(), 0) << tool.err();
    QJsonObject theirs = jsonOf(tool.out());
    EXPECT_EQ(mine.keys().join(' ').toStdString(), theirs.keys().join(' ').toStdString());
    EXPECT_EQ(mine["model"], theirs["model"]);

    EXPECT_EQ(jsonOf(gateway_->body("/healthz"))["hostsUp"].toInt(), 3);
}

TEST_F(GatewayTest, BadRequestsGetClearAnswers) {
    const std::string id = *units_.begin();
    const std::pair<const char*, int> cases[] = {
        {"/nothing/here", 404},         {"/api/v1/devices/NO-SUCH-UNIT", 404},
        {"/api/v1/devices/x/y/z", 404}, {"/api/v1/devices/bad%20id", 400},
        {"/api/v1/devices/a%22b", 400},
    };
    for (const auto& c : cases) {
        auto r = get(c.first);
        ASSERT_TRUE(r) << c.first;
        EXPECT_EQ(r->status, c.second) << c.first;
        EXPECT_EQ(jsonOf(r->body)["status"].toInt(), c.second) << c.first << ": " << r->body;
    }
    EXPECT_EQ(command(id, "explode", kToken)->status, 404);
    // A body past the limit is refused unread, and the gateway goes on.
    auto big = gateway_->client()->Post("/api/v1/devices/" + id + "/shutdown",
                                        std::string(1 << 20, 'x'), "application/json");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    EXPECT_EQ(get("/healthz")->status, 200);
}

// promtool checks the text line by line (each family declared once, before
// its samples); a real Prometheus server, on a port and storage of its own,
// scrapes the gateway and its query API answers for every unit.
TEST_F(GatewayTest, MetricsPassPromtoolAndPrometheusReadsEveryUnit) {
    auto r = get("/metrics");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->get_header_value("Content-Type").rfind("text/plain; version=0.0.4", 0), 0u);
    ChildProcess promtool("promtool", {"check", "metrics"}, r->body);
    EXPECT_EQ(promtool.wait(), 0) << promtool.out() << promtool.err();

    TempDir dir;
    std::string config = dir.file("prometheus.yml",
                                  "global:\n  scrape_interval: 1s\nscrape_configs:\n"
                                  "  - job_name: custovia\n    static_configs:\n"
                                  "      - targets: ['" +
                                      gateway_->url.substr(7) + "']\n");
    int port = freePort();
    ChildProcess prometheus(
        "prometheus", {"--config.file=" + config, "--storage.tsdb.path=" + dir.path() + "/data",
                       "--web.listen-address=127.0.0.1:" + std::to_string(port)});
    httplib::Client api("127.0.0.1", port);
    api.set_read_timeout(10, 0);
    std::set<std::string> charged;  // the units with a charge
    EXPECT_TRUE(waitUntil(
        [&] {
            auto q = api.Get("/api/v1/query",
                             httplib::Params{{"query", "custovia_battery_charge_ratio"}},
                             httplib::Headers{});
            for (const QJsonValue s : jsonOf(q ? q->body : "").value("data")["result"].toArray()) {
                charged.insert(s["metric"]["device"].toString().toStdString());
            }
            return charged == units_;
        },
        60))
        << prometheus.err();
}

TEST_F(GatewayTest, CommandsNeedTheRightTokenAndReachTheService) {
    const std::string id = sim_->deviceIds("localhost", 2).front();
    for (const std::string& wrong :
         {std::string(), std::string("s3cret-token-0123456788"), kToken + std::string("x")}) {
        auto r = command(id, "shutdown", wrong);
        EXPECT_EQ(r->status, 401) << wrong;
        EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Bearer");
    }
    EXPECT_FALSE(received(*sim_, "PUT", "/device/" + id + "/shutdown"));

    auto ok = command(id, "shutdown", kToken);
    ASSERT_EQ(ok->status, 200) << ok->body;
    QJsonObject o = jsonOf(ok->body);
    EXPECT_EQ(o["status"].toInt(), 1);
    EXPECT_EQ(o["result"].toString(), "ok");
    EXPECT_EQ(o["host"].toString().toStdString(), sim_->address(2));
    EXPECT_TRUE(received(*sim_, "PUT", "/device/" + id + "/shutdown"));

    // The countdown shows in the metrics with its cause, and goes with the cancel.
    auto countdown = [&] {
        auto all = samples(gateway_->body("/metrics"), "custovia_countdown_seconds");
        return std::any_of(all.begin(), all.end(), [&](const auto& s) {
            return s.first.find(id) != std::string::npos &&
                   s.first.find("cause=\"") != s.first.npos;
        });
    };
    EXPECT_TRUE(waitUntil(countdown));
    EXPECT_EQ(command(id, "cancel-shutdown", kToken)->status, 200);
    EXPECT_TRUE(received(*sim_, "DELETE", "/device/" + id + "/shutdown"));
    EXPECT_TRUE(waitUntil([&] { return !countdown(); }));

    // The service's refusal is passed on in words and code.
    custovia::sim::FaultRule refuse;
    refuse.regex = "/discharge$";
    refuse.host = 2;
    int fault = sim_->addFault(refuse);
    auto refused = command(id, "discharge", kToken);
    sim_->removeFault(fault);
    EXPECT_GE(refused->status, 500) << refused->body;
    EXPECT_LT(jsonOf(refused->body)["status"].toInt(), 0) << refused->body;
    EXPECT_FALSE(jsonOf(refused->body)["result"].toString().isEmpty());
}

// Every card as [device, state, state text], and the banners' texts.
const char kPage[] =
    "JSON.stringify({cards: [...document.querySelectorAll('.card')].map(c => [c.dataset.device,"
    " c.dataset.state, c.querySelector('.state').textContent]),"
    " banners: [...document.querySelectorAll('#banners .banner')].map(b => b.textContent),"
    " live: document.getElementById('live').textContent})";

// The simulator as its own program, driven through its control interface and
// killed without a goodbye; the gateway has no token file and is stopped by
// SIGTERM at the end.
TEST(GatewayLiveTest, AnOutageAndAKilledServiceShowInTheStreamTheMetricsAndThePage) {
    ChildProcess sim(CUSTOVIA_SIM_PATH,
                     {"--port", "0", "--hosts", "2", "--devices", "2", "--computers", "0"});
    const std::string urls[] = {sim.line(), sim.line()};
    ASSERT_FALSE(urls[1].empty()) << sim.err();
    Gateway gateway({"--host", urls[0], "--host", urls[1], "--unreachable-after", "1"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    auto forbidden =
        gateway.client()->Post("/api/v1/devices/SIM1/shutdown",
                               {{"Authorization", "Bearer anything"}}, "", "application/json");
    ASSERT_TRUE(forbidden);
    EXPECT_EQ(forbidden->status, 403) << "without a token file every command is forbidden";

    Browser browser;
    ASSERT_TRUE(browser.ready()) << "chromium did not start";
    browser.open(gateway.url + "/");
    QJsonObject page;
    std::set<std::string> shown;
    // Whether the page shows four cards, each with a state text and, when
    // given, in `state` with `text`.
    auto cardsAre = [&](const QString& state = QString(), const QString& text = QString()) {
        page = jsonOf(browser.evaluate(kPage).toString().toStdString());
        shown.clear();
        for (const auto& c : page["cards"].toArray()) {
            QJsonArray card = c.toArray();
            if (card[2].toString().isEmpty() ||
                (!state.isEmpty() && (card[1] != state || card[2] != text))) {
                return false;
            }
            shown.insert(card[0].toString().toStdString());
        }
        return shown.size() == 4;
    };
    auto dump = [&] { return QJsonDocument(page).toJson().toStdString(); };
    ASSERT_TRUE(waitUntil([&] { return cardsAre() && page["live"] == "live"; })) << dump();
    EXPECT_TRUE(page["banners"].toArray().isEmpty());
    browser.evaluate("window.sameLoad = 1");  // lost by a reload

    StreamReader stream(gateway.url);
    ASSERT_TRUE(stream.has(": connected"));
    std::set<std::string> units;
    for (const std::string& url : urls) {
        auto r = httplib::Client(url).Post("/_sim/outage", R"({"on": 1})", "application/json");
        ASSERT_TRUE(r);
        for (const auto& id : jsonOf(r->body)["devices"].toArray()) {
            units.insert(id.toString().toStdString());
        }
    }
    for (const std::string& id : units) {
        EXPECT_TRUE(stream.hasEvent("flagRaised", id, "opBattery")) << id << stream.text();
    }
    EXPECT_TRUE(waitUntil([&] { return cardsAre("onBattery", "On battery"); })) << dump();
    EXPECT_EQ(shown, units);

    sim.signal(SIGKILL);
    sim.wait();
    ASSERT_TRUE(waitUntil([&] {
        auto up = samples(gateway.body("/metrics"), "custovia_host_up");
        return up.size() == 2 && up.begin()->second == "0" && up.rbegin()->second == "0";
    })) << gateway.body("/metrics");
    EXPECT_EQ(samples(gateway.body("/metrics"), "custovia_host_consecutive_failures").size(), 2u);
    EXPECT_EQ(jsonOf(gateway.body("/healthz"))["hostsDown"].toInt(), 2);
    EXPECT_TRUE(waitUntil([&] {
        cardsAre();
        return page["banners"].toArray().size() == 2;
    })) << dump();
    EXPECT_NE(page["banners"].toArray()[0].toString().indexOf("is unreachable"), -1);
    EXPECT_EQ(browser.evaluate("window.sameLoad").toInt(), 1);

    gateway.process->signal(SIGTERM);  // with the stream client still connected
    EXPECT_EQ(gateway.process->wait(Seconds(10)), 0) << gateway.process->err();
}

// With --ca-file the gateway reads a service whose certificate that authority
// issued, and shows one with a certificate of another authority as
// unreachable, with the reason in its health answer.
TEST(GatewayTlsTest, TheCaFileDecidesWhichServicesAreRead) {
    tlstest::Certificates certs;
    auto https = [](const tlstest::Certificates::Files& cert, int n) {
        custovia::sim::Options o;
        o.address = "127.0.0." + std::to_string(n);
        o.seed = n;
        o.tlsCert = cert.cert;
        o.tlsKey = cert.key;
        return startSimulator(1, 2, o);
    };
    auto trusted = https(certs.good, 1);
    auto stranger = https(certs.selfSigned, 2);
    ASSERT_EQ(trusted->url().rfind("https://127.0.0.1:", 0), 0u);
    Gateway gateway({"--host", trusted->url(), "--host", stranger->url(), "--ca-file",
                     certs.ca.cert, "--unreachable-after", "1"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();
    QJsonArray hosts;
    std::string text;
    ASSERT_TRUE(waitUntil([&] {
        hosts = jsonOf(gateway.body("/healthz"))["hosts"].toArray();
        text = gateway.body("/metrics");
        return hosts.size() == 2 && hosts[0].toObject()["hostState"] == "fresh" &&
               hosts[1].toObject()["hostState"] == "unreachable" &&
               samples(text, "custovia_battery_charge_ratio").size() == 2;
    })) << gateway.process->err()
        << text;
    QString reason = hosts[1].toObject()["reason"].toString();
    EXPECT_TRUE(reason.contains("certificate", Qt::CaseInsensitive)) << reason.toStdString();
}

TEST(GatewayStartTest, BadInputEndsTheProgramBeforeAnythingIsServed) {
    ChildProcess help(CUSTOVIA_SERVE_PATH, {"--help"});
    EXPECT_EQ(help.wait(), 0);
    EXPECT_EQ(help.out().rfind("custovia-serve: ", 0), 0u) << help.out();

    TempDir dir;
    httplib::Server holder;  // holds the port
    const std::string busy = std::to_string(holder.bind_to_any_port("127.0.0.1"));
    const std::string none = "http://127.0.0.1:9";
    const struct {
        std::vector<std::string> args;
        int exit;
        const char* message;
    } cases[] = {
        {{}, 2, "no monitoring service"},
        {{"--host", "not a url"}, 2, "not a url"},
        {{"--hosts-file", dir.path() + "/missing"}, 2, "cannot read hosts file"},
        {{"--host", none, "--token-file", dir.path()}, 2, "cannot read token"},
        {{"--host", none, "--token-file", dir.file("empty", "\n")}, 2, "no token"},
        {{"--host", "http://a:1", "--host", "http://A:2"}, 2, "given twice"},
        {{"--host", "https://127.0.0.1:9", "--ca-file", dir.path() + "/no.pem"},
         2,
         "cannot read CA file"},
        {{"--host", none, "--listen", "127.0.0.1:" + busy}, 1, "cannot listen on 127.0.0.1:"},
        {{"--host", none, "--mqtt", "mqtts://b", "--mqtt-password-file", dir.file("pw", "x\n")},
         2,
         "needs --mqtt-user"},
    };
    for (const auto& c : cases) {
        ChildProcess program(CUSTOVIA_SERVE_PATH, c.args);
        EXPECT_EQ(program.wait(), c.exit) << c.message;
        EXPECT_EQ(program.out(), "") << c.message;
        EXPECT_NE(program.err().find(c.message), std::string::npos) << program.err();
    }
}

}  // namespace
