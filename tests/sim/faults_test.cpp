// Fault injection, the journal and the control interface.
#include "WaitFor.h"
#include "sim/CurlHelper.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using custovia::sim::FaultKind;
using custovia::sim::FaultRule;
using custovia::sim::Options;
using custovia::sim::Simulator;
using simtest::Client;
using simtest::Reply;
using testsupport::waitFor;
using namespace std::chrono_literals;

namespace {

Options small() {
    Options o;
    o.devices = 2;
    o.realTime = false;
    return o;
}

FaultRule rule(FaultKind kind, const std::string& prefix, int count = -1) {
    FaultRule r;
    r.kind = kind;
    r.prefix = prefix;
    r.count = count;
    return r;
}

}  // namespace

TEST(Faults, StatusRuleHitsOnlyMatchingRequestsAndOnlyItsCount) {
    Simulator sim(small());
    sim.start();
    Client http(sim.url());
    sim.addFault(rule(FaultKind::Status, "notifycfg", 2));  // below the interface root
    FaultRule post = rule(FaultKind::Status, "/api/cuscfg");
    post.method = "POST";
    post.status = 418;
    sim.addFault(post);

    EXPECT_EQ(http.get("/api/device").status, 200);
    Reply first = http.get("/api/notifycfg");
    EXPECT_EQ(first.status, 500);
    EXPECT_TRUE(first.isJson());
    EXPECT_EQ(http.get("/api/notifycfg").status, 500);
    EXPECT_EQ(http.get("/api/notifycfg").status, 200);
    EXPECT_EQ(sim.faults()[0].count, 0);  // used up, still listed
    EXPECT_EQ(http.get("/api/cuscfg").status, 200);
    EXPECT_EQ(http.post("/api/cuscfg", "{}").status, 418);
    sim.clearFaults();
    EXPECT_EQ(http.post("/api/cuscfg", "{}").status, 200);
}

TEST(Faults, BrokenAnswersMalformedTruncatedAndDropped) {
    Simulator sim(small());
    sim.start();
    Client http(sim.url());
    std::string full = http.get("/api/device").body;

    sim.addFault(rule(FaultKind::Malformed, "device", 1));
    Reply bad = http.get("/api/device");
    EXPECT_EQ(bad.status, 200);
    EXPECT_FALSE(bad.isJson());

    sim.addFault(rule(FaultKind::Truncated, "device", 1));
    Reply cut = http.get("/api/device");
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_LT(cut.body.size(), full.size());
    EXPECT_EQ(cut.body, full.substr(0, cut.body.size()));

    FaultRule drop;
    drop.kind = FaultKind::Drop;
    drop.regex = "^/mon$";
    drop.count = 1;
    sim.addFault(drop);
    Reply none = http.get("/mon");
    EXPECT_EQ(none.code, CURLE_GOT_NOTHING);
    EXPECT_EQ(none.status, 0);

    // Each fault was used once; the service answers normally again.
    EXPECT_EQ(http.get("/mon").status, 200);
    EXPECT_EQ(http.get("/api/device").body.size(), full.size());
    auto journal = sim.journal();
    ASSERT_GE(journal.size(), 4u);
    EXPECT_EQ(journal[journal.size() - 3].status, 0);  // the dropped one got no answer
}

TEST(Faults, DelayHoldsTheAnswerBack) {
    Simulator sim(small());
    sim.start();
    Client http(sim.url());
    FaultRule slow = rule(FaultKind::Delay, "/mon");
    slow.delayMs = 200;
    sim.addFault(slow);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(http.get("/mon").status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 190ms);
}

TEST(Faults, HangHoldsRequestsUntilReleasedWhileOthersAreServed) {
    Simulator sim(small());
    sim.start();
    sim.addFault(rule(FaultKind::Hang, "/api/device", 1));
    auto hung = std::async(std::launch::async, [&] {
        Client c(sim.url());
        return c.get("/api/device").status;
    });
    ASSERT_TRUE(waitFor([&] { return sim.hangingCount() == 1; }));
    Client other(sim.url());
    EXPECT_EQ(other.get("/mon").status, 200);
    EXPECT_EQ(hung.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(other.post("/_sim/release", "").json()["released"].toInt(), 1);
    ASSERT_EQ(hung.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(hung.get(), 200);
}

TEST(Faults, StopReturnsPromptlyWhileRequestsHangAndConnectionsIdle) {
    auto sim = std::make_unique<Simulator>(small());
    sim->start();
    Client idle(sim->url());
    ASSERT_EQ(idle.get("/mon").status, 200);  // leaves a kept-alive connection open
    sim->addFault(rule(FaultKind::Hang, ""));
    auto hung = std::async(std::launch::async, [&] {
        Client c(sim->url());
        return c.get("/api/device");
    });
    ASSERT_TRUE(waitFor([&] { return sim->hangingCount() == 1; }));
    auto stopped = std::async(std::launch::async, [&] { sim->stop(); });
    ASSERT_EQ(stopped.wait_for(3s), std::future_status::ready);
    ASSERT_EQ(hung.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(hung.get().status, 0);  // closed without an answer
    EXPECT_FALSE(sim->isRunning());

    // It starts again with the same world.
    sim->clearFaults();
    sim->start();
    Client again(sim->url());
    EXPECT_EQ(again.get("/api/device").json()["devices"].toArray().size(), 2);
}

TEST(Journal, RecordsWhatTheClientSentInOrder) {
    std::mutex mutex;
    std::vector<int> answered;
    Options o = small();
    o.onAnswered = [&](const custovia::sim::JournalEntry& e) {
        std::lock_guard<std::mutex> lock(mutex);
        answered.push_back(e.status);
    };
    Simulator sim(o);
    sim.start();
    Client http(sim.url());
    std::string id = sim.deviceIds()[0];
    http.get("/api/device?x=1");
    http.put("/api/device/" + id + "/shutdown", R"({"confirm":1})");
    http.get("/_sim/state");  // control requests are not journaled

    auto all = sim.journal();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].method, "GET");
    EXPECT_EQ(all[0].path, "/api/device");
    EXPECT_EQ(all[0].query, "x=1");
    EXPECT_EQ(all[0].status, 200);
    EXPECT_EQ(all[1].method, "PUT");
    EXPECT_EQ(all[1].path, "/api/device/" + id + "/shutdown");
    EXPECT_EQ(all[1].body, R"({"confirm":1})");
    EXPECT_EQ(all[1].userAgent, "simtest/1.0");
    EXPECT_EQ(all[1].accept, "application/json");
    EXPECT_EQ(all[1].contentType, "application/json");
    EXPECT_EQ(all[1].seq, all[0].seq + 1);
    EXPECT_TRUE(sim.waitForRequests(1, 10ms, all[0].seq));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(answered, (std::vector<int>{200, 200}));
    }

    QJsonObject viaHttp = http.get("/_sim/journal?since=" + std::to_string(all[0].seq)).json();
    QJsonArray entries = viaHttp["entries"].toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject()["body"].toString(), R"({"confirm":1})");
    EXPECT_EQ(viaHttp["last"].toInt(), static_cast<int>(all[1].seq));
    EXPECT_EQ(http.del("/_sim/journal").status, 200);
    EXPECT_TRUE(sim.journal().empty());
    EXPECT_FALSE(sim.waitForRequests(1, 20ms, sim.lastSeq()));
}

TEST(Control, FaultsOutagesAndDevicesThroughHttp) {
    Simulator sim(small());
    sim.start();
    Client http(sim.url());
    EXPECT_FALSE(http.get("/_sim").json()["endpoints"].toArray().isEmpty());

    Reply added = http.post("/_sim/faults", R"({"kind":"status","status":503,"regex":"/config$"})");
    ASSERT_EQ(added.status, 200);
    int id = added.json()["id"].toInt();
    std::string dev = "/api/device/" + sim.deviceIds()[0];
    EXPECT_EQ(http.get(dev + "/config").status, 503);
    EXPECT_EQ(http.get(dev).status, 200);
    EXPECT_EQ(http.get("/_sim/faults").json()["faults"].toArray().size(), 1);
    EXPECT_EQ(http.del("/_sim/faults/" + std::to_string(id)).status, 200);
    EXPECT_EQ(http.get(dev + "/config").status, 200);
    EXPECT_EQ(http.post("/_sim/faults", R"({"kind":"explode"})").status, 400);
    EXPECT_EQ(http.post("/_sim/faults", R"({"kind":"status","regex":"("})").status, 400);
    EXPECT_EQ(http.post("/_sim/faults", R"({"kind":"status","status":99})").status, 400);
    EXPECT_EQ(http.post("/_sim/faults", "nonsense").status, 400);

    ASSERT_EQ(http.post("/_sim/outage", R"({"on":1})").status, 200);
    QJsonObject state = http.get("/_sim/state").json();
    QJsonObject first =
        state["computers"].toArray()[0].toObject()["devices"].toArray()[0].toObject();
    EXPECT_EQ(first["device"].toObject()["status"].toObject()["opBattery"].toInt(), 1);
    EXPECT_EQ(http.post("/_sim/outage", R"({"on":1,"device":"NOPE"})").status, 404);

    double before = state["timeMs"].toDouble();
    ASSERT_EQ(http.post("/_sim/advance", R"({"seconds":5})").status, 200);
    EXPECT_EQ(http.get("/_sim/state").json()["timeMs"].toDouble(), before + 5000);

    QJsonArray ids = http.post("/_sim/devices", R"({"count":2})").json()["ids"].toArray();
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(sim.deviceIds().size(), 4u);
    std::string change = "/_sim/device/" + ids[0].toString().toStdString();
    Reply changed = http.post(change, R"({"family":2,"model":11,"failures":{"fan":1}})");
    ASSERT_EQ(changed.status, 200);
    EXPECT_EQ(changed.json()["failures"].toObject()["fan"].toInt(), 1);
    EXPECT_EQ(changed.json()["name"].toString(), "Corvel RT 3000");
    EXPECT_EQ(http.post(change, R"({"family":2,"model":99})").status, 400);
    EXPECT_EQ(http.post(change, R"({"colour":1})").status, 400);
    EXPECT_EQ(http.post("/_sim/device/NOPE", "{}").status, 404);
    EXPECT_EQ(http.get("/_sim/nothing").status, 404);
}

TEST(FaultRuleText, CommandLineForms) {
    FaultRule r;
    std::string error;
    ASSERT_TRUE(FaultRule::parse("status=503*3@notifycfg", &r, &error)) << error;
    EXPECT_EQ(r.kind, FaultKind::Status);
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.prefix, "notifycfg");
    ASSERT_TRUE(FaultRule::parse("hang~/shutdown$", &r, &error)) << error;
    EXPECT_EQ(r.kind, FaultKind::Hang);
    EXPECT_EQ(r.regex, "/shutdown$");
    EXPECT_EQ(r.count, -1);
    ASSERT_TRUE(FaultRule::parse("delay=250", &r, &error)) << error;
    EXPECT_EQ(r.delayMs, 250);
    for (const char* bad :
         {"", "explode", "delay", "status=abc", "status=42", "drop*x", "hang=5", "drop~("}) {
        EXPECT_FALSE(FaultRule::parse(bad, &r, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    Simulator sim(small());
    FaultRule broken;
    broken.kind = FaultKind::Drop;
    broken.regex = "(";
    EXPECT_THROW(sim.addFault(broken), std::invalid_argument);
    EXPECT_TRUE(sim.faults().empty());
}
