// Fault injection, the journal and the control interface, over HTTP and HTTPS.
#include <QJsonArray>

#include <chrono>
#include <future>
#include <mutex>
#include <tuple>

#include "SimClient.h"

using namespace simtest;
using namespace std::chrono_literals;

namespace {

// A started simulator with two units over HTTP or HTTPS (a self-signed certificate), a client
// on it, and the statuses it reported as answered: all of it behaves the same over both.
class SimTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        Options o;
        o.devices = 2;
        o.realTime = false;
        o.onAnswered = [this](const JournalEntry& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            answered_.push_back(e.status);
        };
        sim_ = std::make_unique<Simulator>(GetParam() ? https(folder_, o) : o);
        sim_->start();
        ASSERT_EQ(sim_->url().rfind(GetParam() ? "https://" : "http://", 0), 0u);
        http_ = std::make_unique<Client>(sim_->url(), sim_->options().tlsCert);
    }
    QTemporaryDir folder_;
    std::mutex mutex_;
    std::vector<int> answered_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<Client> http_;
};

// The Windows build of the simulator serves plain HTTP only.
#if defined(CPPHTTPLIB_OPENSSL_SUPPORT) && !defined(_WIN32)
#define CUSTOVIA_TRANSPORTS ::testing::Values(false, true)
#else
#define CUSTOVIA_TRANSPORTS ::testing::Values(false)
#endif
INSTANTIATE_TEST_SUITE_P(Over, SimTest, CUSTOVIA_TRANSPORTS,
                         [](const auto& info) { return info.param ? "https" : "http"; });

}  // namespace

TEST_P(SimTest, FaultStatusRuleHitsOnlyMatchingRequestsAndOnlyItsCount) {
    sim_->addFault(fault("status*2@notifycfg"));  // below the interface root
    FaultRule post = fault("status=418@/api/cuscfg");
    post.method = "POST";
    sim_->addFault(post);

    EXPECT_EQ(http_->get("/api/device").status, 200);
    Reply first = http_->get("/api/notifycfg");
    EXPECT_EQ(first.status, 500);
    EXPECT_TRUE(first.isJson());
    EXPECT_EQ(http_->get("/api/notifycfg").status, 500);
    EXPECT_EQ(http_->get("/api/notifycfg").status, 200);
    EXPECT_EQ(sim_->faults()[0].count, 0);  // used up, still listed
    EXPECT_EQ(http_->get("/api/cuscfg").status, 200);
    EXPECT_EQ(http_->post("/api/cuscfg", "{}").status, 418);
    sim_->clearFaults();
    EXPECT_EQ(http_->post("/api/cuscfg", "{}").status, 200);
}

TEST_P(SimTest, FaultBrokenAnswersMalformedTruncatedAndDropped) {
    std::string full = http_->get("/api/device").body;

    sim_->addFault(fault("malformed*1@device"));
    Reply bad = http_->get("/api/device");
    EXPECT_EQ(bad.status, 200);
    EXPECT_FALSE(bad.isJson());

    sim_->addFault(fault("truncated*1@device"));
    Reply cut = http_->get("/api/device");
    EXPECT_EQ(cut.error, httplib::Error::Read);
    EXPECT_FALSE(cut.body.empty());
    EXPECT_LT(cut.body.size(), full.size());
    EXPECT_EQ(cut.body, full.substr(0, cut.body.size()));

    sim_->addFault(fault("drop*1~^/mon$"));
    Reply none = http_->get("/mon");
    EXPECT_EQ(none.error, httplib::Error::Read);
    EXPECT_EQ(none.status, 0);

    // Each fault was used once; the service answers normally again.
    EXPECT_EQ(http_->get("/mon").status, 200);
    EXPECT_EQ(http_->get("/api/device").body.size(), full.size());
    auto journal = sim_->journal();
    ASSERT_GE(journal.size(), 4u);
    EXPECT_EQ(journal[journal.size() - 3].status, 0);  // the dropped one got no answer
}

TEST_P(SimTest, FaultHangHoldsRequestsUntilReleasedAndStopEndsThemPromptly) {
    auto hang = [&](const std::string& count) {
        sim_->addFault(fault("hang" + count + "@/api/device"));
        auto hung = std::async(std::launch::async,
                               [&] { return Client(sim_->url()).get("/api/device").status; });
        EXPECT_TRUE(waitFor([&] { return sim_->hangingCount() == 1; }));
        return hung;
    };
    auto released = hang("*1");
    EXPECT_EQ(http_->get("/mon").status, 200);  // others are served, over a kept-alive connection
    EXPECT_EQ(released.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(http_->post("/_sim/release", "").json()["released"].toInt(), 1);
    ASSERT_EQ(released.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(released.get(), 200);

    // A stop does not wait for hanging requests nor idle connections.
    auto hung = hang("");
    auto stopped = std::async(std::launch::async, [&] { sim_->stop(); });
    ASSERT_EQ(stopped.wait_for(3s), std::future_status::ready);
    ASSERT_EQ(hung.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(hung.get(), 0);  // closed without an answer
    EXPECT_FALSE(sim_->isRunning());

    // It starts again with the same world.
    sim_->clearFaults();
    sim_->start();
    EXPECT_EQ(Client(sim_->url()).get("/api/device").json()["devices"].toArray().size(), 2);
}

TEST_P(SimTest, JournalRecordsWhatTheClientSentInOrder) {
    std::string id = sim_->deviceIds()[0];
    http_->get("/api/device?x=1");
    http_->put("/api/device/" + id + "/shutdown", R"({"confirm":1})");
    http_->get("/_sim/state");  // control requests are not journaled

    auto all = sim_->journal();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(std::tie(all[0].path, all[0].query, all[1].seq),
              std::make_tuple("/api/device", "x=1", all[0].seq + 1));
    EXPECT_TRUE(sim_->waitForRequests(1, 10ms, all[0].seq));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_EQ(answered_, (std::vector<int>{200, 200}));
    }

    QJsonObject viaHttp = http_->get("/_sim/journal?since=" + std::to_string(all[0].seq)).json();
    QJsonArray entries = viaHttp["entries"].toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject()["body"].toString(), R"({"confirm":1})");
    EXPECT_EQ(viaHttp["last"].toInt(), static_cast<int>(all[1].seq));
    EXPECT_EQ(http_->del("/_sim/journal").status, 200);
    EXPECT_TRUE(sim_->journal().empty());
    EXPECT_FALSE(sim_->waitForRequests(1, 20ms, sim_->lastSeq()));
}

TEST_P(SimTest, ControlFaultsOutagesAndDevicesThroughHttp) {
    EXPECT_FALSE(http_->get("/_sim").json()["endpoints"].toArray().isEmpty());

    Reply added =
        http_->post("/_sim/faults", R"({"kind":"status","status":503,"regex":"/config$"})");
    ASSERT_EQ(added.status, 200);
    int id = added.json()["id"].toInt();
    std::string dev = "/api/device/" + sim_->deviceIds()[0];
    EXPECT_EQ(http_->get(dev + "/config").status, 503);
    EXPECT_EQ(http_->get(dev).status, 200);
    EXPECT_EQ(http_->get("/_sim/faults").json()["faults"].toArray().size(), 1);
    EXPECT_EQ(http_->del("/_sim/faults/" + std::to_string(id)).status, 200);
    EXPECT_EQ(http_->get(dev + "/config").status, 200);
    for (const char* bad : {R"({"kind":"explode"})", R"({"kind":"status","regex":"("})",
                            R"({"kind":"status","status":99})", "nonsense"}) {
        EXPECT_EQ(http_->post("/_sim/faults", bad).status, 400) << bad;
    }

    double before = http_->get("/_sim/state").json()["timeMs"].toDouble();
    ASSERT_EQ(http_->post("/_sim/advance", R"({"seconds":5})").status, 200);
    EXPECT_EQ(http_->get("/_sim/state").json()["timeMs"].toDouble(), before + 5000);

    QJsonArray ids = http_->post("/_sim/devices", R"({"count":2})").json()["ids"].toArray();
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(sim_->deviceIds().size(), 4u);
    std::string change = "/_sim/device/" + ids[0].toString().toStdString();
    Reply changed = http_->post(change, R"({"family":2,"model":11,"failures":{"fan":1}})");
    ASSERT_EQ(changed.status, 200);
    EXPECT_EQ(changed.json()["failures"].toObject()["fan"].toInt(), 1);
    EXPECT_EQ(changed.json()["name"].toString(), "Corvel RT 3000");
    EXPECT_EQ(http_->post(change, R"({"family":2,"model":99})").status, 400);
    EXPECT_EQ(http_->post(change, R"({"colour":1})").status, 400);
    EXPECT_EQ(http_->post("/_sim/device/NOPE", "{}").status, 404);
    EXPECT_EQ(http_->get("/_sim/nothing").status, 404);
}

TEST(FaultRuleText, CommandLineForms) {
    FaultRule r;
    std::string error;
    // The other forms are used above; a rule without a count holds for good.
    ASSERT_TRUE(FaultRule::parse("hang~/shutdown$", &r, &error)) << error;
    EXPECT_EQ(std::tie(r.kind, r.regex, r.count),
              std::make_tuple(FaultKind::Hang, "/shutdown$", -1));
    for (const char* bad :
         {"", "explode", "delay", "status=abc", "status=42", "drop*x", "hang=5", "drop~("}) {
        EXPECT_FALSE(FaultRule::parse(bad, &r, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    Simulator sim{Options()};
    FaultRule broken;
    broken.kind = FaultKind::Drop;
    broken.regex = "(";
    EXPECT_THROW(sim.addFault(broken), std::invalid_argument);
    EXPECT_TRUE(sim.faults().empty());
}
