// What the monitoring client sends, and what its callers see when a request
// fails. The simulator's journal shows each request as it arrived.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "../TlsTestSupport.h"
#include "SimClient.h"
#include "tkl/Json.h"
#include "tkl/System.h"

using namespace custovia;
using namespace montest;
using sim::FaultKind;

namespace {

struct Expected {
    std::string method;
    std::string path;
    std::string body;
};

// A call and the request it sends.
struct Row {
    std::function<void()> call;
    Expected sent;
};

}  // namespace

TEST(MonitRequests, EveryRequestSendsItsMethodPathBodyAndHeaders) {
    SimClient t;
    MonitClient& c = t.client;
    DeviceMailCfg mail;
    mail.password = "pw";
    DeviceDialCfg dial;
    DeviceShutCfg shut;
    CusConfig cus;
    NotifyConfig notify;

    std::uint64_t seq = t.sim.lastSeq();
    c.getApiUri();
    c.getComputerList();
    std::vector<Expected> expected = {{"GET", "/mon", ""}, {"GET", "/api/computer", ""}};

    // The service's own computer by an empty identifier and by its key, then
    // a remote computer: the same resources with the computer prefix.
    for (std::string computer : {std::string(), std::string("localhost"), t.remote()}) {
        bool local = computer.empty() || computer == "localhost";
        std::string p = local ? "/api/" : "/api/computer/" + computer + "/";
        std::string d = local ? t.local() : t.sim.deviceIds(computer).at(0);
        std::string dev = p + "device/" + d;
        const std::string confirm = R"({"confirm":1})";
        const std::vector<Row> rows = {
            {[&] { c.getVersion(computer); }, "GET", local ? "/api" : "/api/computer/" + computer,
             ""},
            {[&] { c.getDeviceList(computer); }, "GET", p + "device", ""},
            {[&] { c.getDeviceDetail(computer, d); }, "GET", dev, ""},
            {[&] { c.getDeviceConfig(computer, d); }, "GET", dev + "/config", ""},
            {[&] { c.getDeviceConfig(computer, 2, -1); }, "GET", p + "device/config/2", ""},
            {[&] { c.getDeviceConfig(computer, 2, 11); }, "GET", p + "device/config/2/11", ""},
            {[&] { c.putDeviceUser(computer, d, "Ann \"A\" \\ B", "Lab"); }, "PUT", dev + "/user",
             R"({"userName":"Ann \"A\" \\ B","userProd":"Lab"})"},
            {[&] { c.putDeviceShutdown(computer, d); }, "PUT", dev + "/shutdown", confirm},
            {[&] { c.delDeviceShutdown(computer, d); }, "DELETE", dev + "/shutdown", confirm},
            {[&] { c.putDeviceDischarge(computer, d); }, "PUT", dev + "/discharge", confirm},
            {[&] { c.putDeviceSetLineSense(computer, d, 2); }, "PUT", dev + "/linesense",
             R"({"confirm":1,"lineSense":2})"},
            {[&] { c.putDeviceSetICBattery(computer, d, 3); }, "PUT", dev + "/icBattery",
             R"({"confirm":1,"icBattery":3})"},
            {[&] { c.putChangeColor(computer, d, 255, 0, 10, true); }, "PUT", dev + "/color",
             R"({"blue":10,"confirm":1,"green":0,"random":1,"red":255})"},
            {[&] { c.getDeviceLog(computer, d); }, "GET", dev + "/log", ""},
            {[&] { c.getDeviceLogHour(computer, d); }, "GET", dev + "/histlog/hour", ""},
            {[&] { c.getDeviceLogDay(computer, d); }, "GET", dev + "/histlog/day", ""},
            {[&] { c.getDeviceLogMonth(computer, d); }, "GET", dev + "/histlog/month", ""},
            {[&] { c.getMailConfig(computer, d); }, "GET", dev + "/mailcfg", ""},
            {[&] { c.postMailConfig(computer, d, mail); }, "POST", dev + "/mailcfg",
             mail.toJson().toString()},
            {[&] { c.putMailTest(computer, d); }, "PUT", dev + "/mailtest", confirm},
            {[&] { c.delMailTest(computer, d); }, "DELETE", dev + "/mailtest", confirm},
            {[&] { c.getDialerConfig(computer, d); }, "GET", dev + "/dialcfg", ""},
            {[&] { c.postDialerConfig(computer, d, dial); }, "POST", dev + "/dialcfg",
             dial.toJson().toString()},
            {[&] { c.getShutdownConfig(computer, d); }, "GET", dev + "/shutcfg", ""},
            {[&] { c.postShutdownConfig(computer, d, shut); }, "POST", dev + "/shutcfg",
             shut.toJson().toString()},
            {[&] { c.getCustoviaConfig(computer); }, "GET", p + "cuscfg", ""},
            {[&] { c.postCustoviaConfig(computer, cus); }, "POST", p + "cuscfg",
             cus.toJson().toString()},
            {[&] { c.getNotifyConfig(computer); }, "GET", p + "notifycfg", ""},
            {[&] { c.postNotifyConfig(computer, notify); }, "POST", p + "notifycfg",
             notify.toJson().toString()},
            {[&] { c.delDevice(computer, d); }, "DELETE", dev, confirm}};
        for (const Row& row : rows) {
            try {
                row.call();
            } catch (...) {
                // Only what was sent matters here.
            }
            expected.push_back(row.sent);
        }
    }

    std::vector<JournalEntry> journal = t.since(seq);
    ASSERT_EQ(journal.size(), expected.size());
    const std::string agent = "Custovia/8.9.2 (" + tkl::System::getOsInfo().fullName + ")";
    for (std::size_t i = 0; i < journal.size(); ++i) {
        SCOPED_TRACE(expected[i].method + " " + expected[i].path);
        EXPECT_EQ(journal[i].method, expected[i].method);
        EXPECT_EQ(journal[i].path, expected[i].path);
        EXPECT_EQ(journal[i].body, expected[i].body);
        EXPECT_EQ(journal[i].userAgent, agent);
        EXPECT_EQ(journal[i].accept, "application/json");
        if (!expected[i].body.empty()) {
            EXPECT_EQ(journal[i].contentType, "application/json");
        }
    }
}

TEST(MonitRequests, IdentifiersStayOneSegmentOfThePath) {
    EXPECT_EQ(MonitClient::pathSegment("UPS-1_a.b~c:d@e!$&'()*+,;="), "UPS-1_a.b~c:d@e!$&'()*+,;=");
    EXPECT_EQ(MonitClient::pathSegment("192.168.1.20"), "192.168.1.20");
    EXPECT_EQ(MonitClient::pathSegment("a b/c%d?e#f"), "a%20b%2Fc%25d%3Fe%23f");
    EXPECT_EQ(MonitClient::pathSegment(".."), "%2E%2E");

    SimClient t;
    t.client.getApiUri();
    std::uint64_t seq = t.sim.lastSeq();
    for (const char* id : {"x?y#z", "..", "a/b"}) {
        EXPECT_THROW(t.client.putDeviceShutdown("", id), tkl::IOException);  // unknown device
    }
    EXPECT_THROW(t.client.getVersion("../.."), tkl::IOException);
    std::vector<JournalEntry> journal = t.since(seq);
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].path, "/api/device/x?y#z/shutdown");
    EXPECT_EQ(journal[0].query, "");
    EXPECT_EQ(journal[1].path, "/api/device/../shutdown");
    EXPECT_EQ(journal[2].path, "/api/device/a/b/shutdown");
    EXPECT_EQ(journal[3].path, "/api/computer/../..");
}

TEST(MonitRequests, DeviceOperationsRefuseAMissingIdBeforeSendingAnything) {
    SimClient t;
    t.client.refreshNow();
    std::uint64_t seq = t.sim.lastSeq();
    MonitClient& c = t.client;
    const char* invalid = "Device id <null> or <empty> not found.";
    for (const char* d : {static_cast<const char*>(nullptr), ""}) {
        std::vector<std::function<void()>> calls = {
            [&] { c.getDevice(nullptr, d); },
            [&] { c.deleteDevice(nullptr, d); },
            [&] { c.getDeviceConfig(nullptr, d); },
            [&] { c.getRegressive(nullptr, d); },
            [&] { c.changeUser(nullptr, d, "a", "b"); },
            [&] { c.changeColor(nullptr, d, 1, 2, 3, false); },
            [&] { c.getDeviceLog(nullptr, d); },
            [&] { c.getDeviceLogHour(nullptr, d); },
            [&] { c.getDeviceLogDay(nullptr, d); },
            [&] { c.getDeviceLogMonth(nullptr, d); },
            [&] { c.getMailConfig(nullptr, d); },
            [&] { c.updMailConfig(nullptr, d, DeviceMailCfg()); },
            [&] { c.mailTest(nullptr, d); },
            [&] { c.cancelMailTest(nullptr, d); },
            [&] { c.getDialerConfig(nullptr, d); },
            [&] { c.updDialerConfig(nullptr, d, DeviceDialCfg()); },
            [&] { c.getShutdownConfig(nullptr, d); },
            [&] { c.updShutdownConfig(nullptr, d, DeviceShutCfg()); },
            [&] { c.manualShutdown(nullptr, d); },
            [&] { c.cancelShutdown(nullptr, d); },
            [&] { c.manualDischarge(nullptr, d); },
            [&] { c.setLineSense(nullptr, d, 1); },
            [&] { c.setICBattery(nullptr, d, 1); }};
        for (const auto& call : calls) {
            expectError<tkl::InvalidArgumentException>(call, -202, invalid);
        }
    }
    EXPECT_TRUE(t.since(seq).empty());
    // The histories are never asked for: a valid id answers empty, silently.
    EXPECT_TRUE(c.getDeviceLog(nullptr, t.local().c_str()).empty());
    EXPECT_TRUE(c.getDeviceLogMonth("", t.local().c_str()).empty());
    EXPECT_TRUE(t.since(seq).empty());
}

TEST(MonitRequests, FailedCommandsReportTheirOwnErrors) {
    SimClient t;
    t.client.refreshNow();
    MonitClient& c = t.client;
    const std::string d = t.local();
    const char* id = d.c_str();
    const std::string deviceMissing = "Device id <" + d + "> not found.";

    t.sim.addFault(fault(FaultKind::Status));
    struct Case {
        std::function<void()> call;
        std::string message;
    };
    std::vector<Case> cases = {
        {[&] { c.deleteDevice(nullptr, id); }, deviceMissing},
        {[&] { c.changeUser(nullptr, id, "a", "b"); }, deviceMissing},
        {[&] { c.changeColor(nullptr, id, 1, 2, 3, true); }, deviceMissing},
        {[&] { c.updDialerConfig(nullptr, id, DeviceDialCfg()); }, deviceMissing},
        {[&] { c.updShutdownConfig(nullptr, id, DeviceShutCfg()); }, deviceMissing},
        {[&] { c.manualShutdown(nullptr, id); }, deviceMissing},
        {[&] { c.cancelShutdown(nullptr, id); }, deviceMissing},
        {[&] { c.manualDischarge(nullptr, id); }, deviceMissing},
        {[&] { c.setLineSense(nullptr, id, 1); }, deviceMissing},
        {[&] { c.setICBattery(nullptr, id, 1); }, deviceMissing},
        {[&] { c.updMailConfig(nullptr, id, DeviceMailCfg()); },
         "Error: post <config/email> not found."},
        {[&] { c.mailTest(nullptr, id); }, "Error: put <config/email/test> not found."},
        {[&] { c.cancelMailTest(nullptr, id); }, "Error: delete <config/email/cancel> not found."},
        {[&] { c.getDeviceConfigByModel(nullptr, 2, 10); },
         "Error: devices config for <empty> not found."},
        {[&] { c.getDeviceConfigByModel("", 2, 10); }, "Error: devices config for <> not found."},
        {[&] { c.getDeviceConfigByModel(t.remote().c_str(), 2, 10); },
         "Error: devices config for <" + t.remote() + "> not found."}};
    std::uint64_t seq = t.sim.lastSeq();
    for (const Case& each : cases) {
        expectError<tkl::NotFoundException>(each.call, -302, each.message);
    }
    EXPECT_EQ(t.since(seq).size(), cases.size());

    // The product and notification settings swallow the failure; the
    // request was sent all the same.
    seq = t.sim.lastSeq();
    EXPECT_NO_THROW(c.updCusConfig(nullptr, CusConfig()));
    EXPECT_NO_THROW(c.updNotifyConfig(NotifyConfig()));
    std::vector<JournalEntry> sent = t.since(seq);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].path, "/api/notifycfg");
    EXPECT_EQ(sent[1].status, 500);

    // The requests themselves raise -320 with the status.
    expectError<tkl::IOException>([&] { c.delDevice("", d); }, -320, "HTTP Error 500");
    t.sim.clearFaults();
    t.sim.addFault(fault(FaultKind::Status, "", 404));
    expectError<tkl::IOException>([&] { c.getVersion(""); }, -320, "HTTP Error 404");
    expectError<tkl::NotFoundException>([&] { c.deleteDevice(id); }, -302, deviceMissing);

    // Once the service answers again, so do the commands.
    t.sim.clearFaults();
    EXPECT_NO_THROW(c.changeColor(id, 0, 128, 255, false));
    EXPECT_NO_THROW(c.getDeviceConfigByModel(2, 10));
}

TEST(MonitRequests, UnreachableAndHangingServices) {
    // Nothing listens on the discard port: every request fails in the transfer.
    MonitClient refused;
    refused.setRefreshInterval(3600 * 1000);
    refused.start("http://127.0.0.1:9");
    expectError<tkl::IOException>([&] { refused.getApiUri(); }, -320,
                                  "Error posting HTTP data in cURL. Code: 7");
    expectError<tkl::NotFoundException>([&] { refused.manualShutdown(nullptr, "U1"); }, -302,
                                        "Device id <U1> not found.");
    refused.refreshNow();
    EXPECT_TRUE(refused.getDevices().empty());
    EXPECT_TRUE(refused.getComputers().empty());
    refused.stop();

    // A command waiting on a hanging service fails when the service goes
    // away, instead of reporting success.
    SimClient t;
    t.client.refreshNow();
    t.sim.addFault(fault(FaultKind::Hang, "device/", 0));
    std::string d = t.local();
    auto pending = std::async(std::launch::async, [&] {
        try {
            t.client.manualShutdown(nullptr, d.c_str());
            return std::string("no error");
        } catch (const tkl::Exception& e) {
            return std::to_string(e.code()) + " " + e.message();
        }
    });
    ASSERT_TRUE(montest::waitFor([&] { return t.sim.hangingCount() != 0; }));
    ASSERT_EQ(t.sim.hangingCount(), 1);
    t.sim.stop();
    EXPECT_EQ(pending.get(), "-302 Device id <" + d + "> not found.");
}

TEST(MonitRequests, LogLinesNameTheRequestAndNeverShowPasswords) {
    EXPECT_EQ(MonitClient::maskPasswords(
                  R"(content: "{"id":"U1","password":"a\"b:c","SmtpPassWord" : "x","to":"p"}")"),
              R"(content: "{"id":"U1","password":"******","SmtpPassWord" : "******","to":"p"}")");
    EXPECT_EQ(MonitClient::maskPasswords(R"({"hint":"password","password":"s)"),
              R"({"hint":"password","password":"******)");

    QTemporaryDir folder;
    tlstest::ErrorLog log(folder.path(), tkl::LogLevel::Trace);
    MonitClient idle;
    expectError<tkl::IOException>([&] { idle.getVersion(""); }, -320, "Client not running");
    EXPECT_NE(log.text().find("[ERROR] {monitclient} MonitClient: <getVersion> . Error: Client "
                              "not running\n"),
              std::string::npos)
        << log.text();

    SimClient t;
    t.client.getApiUri();
    DeviceMailCfg mail;
    mail.server = "smtp.example.org";
    mail.username = "ups";
    mail.auth = 1;
    mail.password = "Se\"cr3t";
    t.client.postMailConfig("", t.local(), mail);
    EXPECT_EQ(t.client.getMailConfig("", t.local()).password, mail.password);
    t.sim.addFault(fault(FaultKind::Status, "notifycfg", 503));
    EXPECT_THROW(t.client.getNotifyConfig(std::string()), tkl::IOException);

    std::string text = log.text();
    std::string url = t.sim.url() + "/api/device/" + t.local() + "/mailcfg";
    EXPECT_NE(text.find("[TRACE] {monitclient} MonitClient: <getMailConfig> Request: url: \"" +
                        url + "\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" Response: status: \"200\""), std::string::npos) << text;
    EXPECT_NE(text.find(R"("password":"******")"), std::string::npos) << text;
    EXPECT_EQ(text.find("cr3t"), std::string::npos) << text;
    EXPECT_NE(text.find("[ERROR] {monitclient} MonitClient: <getNotifyConfig> Request: url: \"" +
                        t.sim.url() + "/api/notifycfg\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(". Error: HTTP Error 503\n"), std::string::npos) << text;
}
