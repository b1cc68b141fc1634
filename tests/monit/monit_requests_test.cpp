// What the monitoring client sends, and what its callers see when a request
// fails. The simulator's journal shows each request as it arrived.
#include <future>
#include <tuple>

#include "../TlsTestSupport.h"
#include "SimClient.h"
#include "tkl/Json.h"
#include "tkl/System.h"

using namespace custovia;
using namespace simtest;

namespace {

// A simulator with a started client on it.
struct MonitRequests : ::testing::Test {
    SimClient t;
    MonitClient& c = t.client;
};

// A call and the request it sends.
struct Row {
    std::function<void()> call;
    std::string method, path, body;
};

}  // namespace

TEST_F(MonitRequests, EveryRequestSendsItsMethodPathBodyAndHeaders) {
    DeviceMailCfg mail;
    mail.password = "pw";
    DeviceDialCfg dial;
    DeviceShutCfg shut;
    CusConfig cus;
    NotifyConfig notify;
    auto js = [](const auto& settings) { return settings.toJson().toString(); };

    std::uint64_t seq = t.sim.lastSeq();
    c.getApiUri();
    c.getComputerList();
    std::vector<Row> expected = {{nullptr, "GET", "/mon", ""},
                                 {nullptr, "GET", "/api/computer", ""}};

    // The service's own computer (pc) by an empty identifier and by its key,
    // then a remote computer: the same resources with the computer prefix.
    for (std::string pc : {std::string(), std::string("localhost"), t.remote()}) {
        bool local = pc.empty() || pc == "localhost";
        std::string p = local ? "/api/" : "/api/computer/" + pc + "/";
        std::string d = local ? t.local() : t.sim.deviceIds(pc).at(0);
        std::string dev = p + "device/" + d;
        const std::string confirm = R"({"confirm":1})";
        const std::vector<Row> rows = {
            {[&] { c.getVersion(pc); }, "GET", local ? "/api" : "/api/computer/" + pc, ""},
            {[&] { c.getDeviceList(pc); }, "GET", p + "device", ""},
            {[&] { c.getDeviceDetail(pc, d); }, "GET", dev, ""},
            {[&] { c.getDeviceConfig(pc, d); }, "GET", dev + "/config", ""},
            {[&] { c.getDeviceConfig(pc, 2, -1); }, "GET", p + "device/config/2", ""},
            {[&] { c.getDeviceConfig(pc, 2, 11); }, "GET", p + "device/config/2/11", ""},
            {[&] { c.putDeviceUser(pc, d, "Ann \"A\" \\ B", "Lab"); }, "PUT", dev + "/user",
             R"({"userName":"Ann \"A\" \\ B","userProd":"Lab"})"},
            {[&] { c.putDeviceShutdown(pc, d); }, "PUT", dev + "/shutdown", confirm},
            {[&] { c.delDeviceShutdown(pc, d); }, "DELETE", dev + "/shutdown", confirm},
            {[&] { c.putDeviceDischarge(pc, d); }, "PUT", dev + "/discharge", confirm},
            {[&] { c.putDeviceSetLineSense(pc, d, 2); }, "PUT", dev + "/linesense",
             R"({"confirm":1,"lineSense":2})"},
            {[&] { c.putDeviceSetICBattery(pc, d, 3); }, "PUT", dev + "/icBattery",
             R"({"confirm":1,"icBattery":3})"},
            {[&] { c.putChangeColor(pc, d, 255, 0, 10, true); }, "PUT", dev + "/color",
             R"({"blue":10,"confirm":1,"green":0,"random":1,"red":255})"},
            {[&] { c.getDeviceLog(pc, d); }, "GET", dev + "/log", ""},
            {[&] { c.getDeviceLogHour(pc, d); }, "GET", dev + "/histlog/hour", ""},
            {[&] { c.getDeviceLogDay(pc, d); }, "GET", dev + "/histlog/day", ""},
            {[&] { c.getDeviceLogMonth(pc, d); }, "GET", dev + "/histlog/month", ""},
            {[&] { c.getMailConfig(pc, d); }, "GET", dev + "/mailcfg", ""},
            {[&] { c.postMailConfig(pc, d, mail); }, "POST", dev + "/mailcfg", js(mail)},
            {[&] { c.putMailTest(pc, d); }, "PUT", dev + "/mailtest", confirm},
            {[&] { c.delMailTest(pc, d); }, "DELETE", dev + "/mailtest", confirm},
            {[&] { c.getDialerConfig(pc, d); }, "GET", dev + "/dialcfg", ""},
            {[&] { c.postDialerConfig(pc, d, dial); }, "POST", dev + "/dialcfg", js(dial)},
            {[&] { c.getShutdownConfig(pc, d); }, "GET", dev + "/shutcfg", ""},
            {[&] { c.postShutdownConfig(pc, d, shut); }, "POST", dev + "/shutcfg", js(shut)},
            {[&] { c.getCustoviaConfig(pc); }, "GET", p + "cuscfg", ""},
            {[&] { c.postCustoviaConfig(pc, cus); }, "POST", p + "cuscfg", js(cus)},
            {[&] { c.getNotifyConfig(pc); }, "GET", p + "notifycfg", ""},
            {[&] { c.postNotifyConfig(pc, notify); }, "POST", p + "notifycfg", js(notify)},
            {[&] { c.delDevice(pc, d); }, "DELETE", dev, confirm}};
        for (const Row& row : rows) {
            try {
                row.call();
            } catch (...) {
                // Only what was sent matters here.
            }
            expected.push_back(row);
        }
    }

    std::vector<JournalEntry> journal = t.since(seq);
    ASSERT_EQ(journal.size(), expected.size());
    const std::string agent = "Custovia/8.9.2 (" + tkl::System::getOsInfo().fullName + ")";
    for (std::size_t i = 0; i < journal.size(); ++i) {
        SCOPED_TRACE(expected[i].method + " " + expected[i].path);
        EXPECT_EQ(std::tie(journal[i].method, journal[i].path, journal[i].body),
                  std::tie(expected[i].method, expected[i].path, expected[i].body));
        EXPECT_EQ(journal[i].userAgent, agent);
        EXPECT_EQ(journal[i].accept, "application/json");
        if (!expected[i].body.empty()) {
            EXPECT_EQ(journal[i].contentType, "application/json");
        }
    }
}

TEST_F(MonitRequests, IdentifiersStayOneSegmentOfThePath) {
    EXPECT_EQ(MonitClient::pathSegment("UPS-1_a.b~c:d@e!$&'()*+,;="), "UPS-1_a.b~c:d@e!$&'()*+,;=");
    EXPECT_EQ(MonitClient::pathSegment("a b/c%d?e#f"), "a%20b%2Fc%25d%3Fe%23f");
    EXPECT_EQ(MonitClient::pathSegment(".."), "%2E%2E");

    c.getApiUri();
    std::uint64_t seq = t.sim.lastSeq();
    for (const char* id : {"x?y#z", "..", "a/b"}) {
        EXPECT_THROW(c.putDeviceShutdown("", id), tkl::IOException);  // unknown device
    }
    EXPECT_THROW(c.getVersion("../.."), tkl::IOException);
    // The journal shows the decoded path; a query would follow it.
    std::string paths;
    for (const JournalEntry& e : t.since(seq)) {
        paths += e.path + (e.query.empty() ? "" : "?" + e.query) + " ";
    }
    EXPECT_EQ(paths,
              "/api/device/x?y#z/shutdown /api/device/../shutdown /api/device/a/b/shutdown "
              "/api/computer/../.. ");
}

TEST_F(MonitRequests, DeviceOperationsRefuseAMissingIdAndReportTheirOwnFailures) {
    c.refreshNow();
    const std::string d = t.local();
    const std::string missing = "Device id <" + d + "> not found.";
    // Each device operation and the message it fails with while the service
    // answers 500 (none: it reads the cache).
    const std::vector<std::pair<std::function<void(const char*)>, std::string>> ops = {
        {[&](const char* id) { c.getDevice(nullptr, id); }, ""},
        {[&](const char* id) { c.deleteDevice(nullptr, id); }, missing},
        {[&](const char* id) { c.getDeviceConfig(nullptr, id); }, ""},
        {[&](const char* id) { c.getRegressive(nullptr, id); }, ""},
        {[&](const char* id) { c.changeUser(nullptr, id, "a", "b"); }, missing},
        {[&](const char* id) { c.changeColor(nullptr, id, 1, 2, 3, true); }, missing},
        {[&](const char* id) { c.getDeviceLog(nullptr, id); }, ""},
        {[&](const char* id) { c.getDeviceLogHour(nullptr, id); }, ""},
        {[&](const char* id) { c.getDeviceLogDay(nullptr, id); }, ""},
        {[&](const char* id) { c.getDeviceLogMonth(nullptr, id); }, ""},
        {[&](const char* id) { c.getMailConfig(nullptr, id); }, ""},
        {[&](const char* id) { c.updMailConfig(nullptr, id, DeviceMailCfg()); },
         "Error: post <config/email> not found."},
        {[&](const char* id) { c.mailTest(nullptr, id); },
         "Error: put <config/email/test> not found."},
        {[&](const char* id) { c.cancelMailTest(nullptr, id); },
         "Error: delete <config/email/cancel> not found."},
        {[&](const char* id) { c.getDialerConfig(nullptr, id); }, ""},
        {[&](const char* id) { c.updDialerConfig(nullptr, id, DeviceDialCfg()); }, missing},
        {[&](const char* id) { c.getShutdownConfig(nullptr, id); }, ""},
        {[&](const char* id) { c.updShutdownConfig(nullptr, id, DeviceShutCfg()); }, missing},
        {[&](const char* id) { c.manualShutdown(nullptr, id); }, missing},
        {[&](const char* id) { c.cancelShutdown(nullptr, id); }, missing},
        {[&](const char* id) { c.manualDischarge(nullptr, id); }, missing},
        {[&](const char* id) { c.setLineSense(nullptr, id, 1); }, missing},
        {[&](const char* id) { c.setICBattery(nullptr, id, 1); }, missing}};
    std::uint64_t seq = t.sim.lastSeq();
    for (const auto& op : ops) {
        for (const char* id : {static_cast<const char*>(nullptr), ""}) {
            expectError<tkl::InvalidArgumentException>([&] { op.first(id); }, -202,
                                                       "Device id <null> or <empty> not found.");
        }
    }
    // The histories are never asked for: a valid id answers empty, silently.
    EXPECT_TRUE(c.getDeviceLog(nullptr, d.c_str()).empty());
    EXPECT_TRUE(c.getDeviceLogMonth("", d.c_str()).empty());
    EXPECT_TRUE(t.since(seq).empty());

    t.sim.addFault(fault("status"));
    std::size_t commands = 0;
    for (const auto& op : ops) {
        if (!op.second.empty()) {
            expectError<tkl::NotFoundException>([&] { op.first(d.c_str()); }, -302, op.second);
            ++commands;
        }
    }
    for (const std::string& computer : {std::string("empty"), std::string(), t.remote()}) {
        const char* name = computer == "empty" ? nullptr : computer.c_str();
        expectError<tkl::NotFoundException>(
            [&] { c.getDeviceConfigByModel(name, 2, 10); }, -302,
            "Error: devices config for <" + computer + "> not found.");
    }
    EXPECT_EQ(t.since(seq).size(), commands + 3);

    // The product and notification settings swallow the failure; the
    // request was sent all the same.
    seq = t.sim.lastSeq();
    EXPECT_NO_THROW(c.updCusConfig(nullptr, CusConfig()));
    EXPECT_NO_THROW(c.updNotifyConfig(NotifyConfig()));
    std::vector<JournalEntry> sent = t.since(seq);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].path + " " + std::to_string(sent[1].status), "/api/notifycfg 500");

    // The requests themselves raise -320 with the status.
    expectError<tkl::IOException>([&] { c.delDevice("", d); }, -320, "HTTP Error 500");

    // A command waiting on a hanging service fails when the service goes
    // away, instead of reporting success.
    t.sim.clearFaults();
    t.sim.addFault(fault("hang@device/"));
    auto pending = std::async(std::launch::async, [&] {
        expectError<tkl::NotFoundException>([&] { c.manualShutdown(nullptr, d.c_str()); }, -302,
                                            missing);
    });
    ASSERT_TRUE(waitFor([&] { return t.sim.hangingCount() != 0; }));
    ASSERT_EQ(t.sim.hangingCount(), 1);
    t.sim.stop();
    pending.get();
}

TEST_F(MonitRequests, LogLinesNameTheRequestAndNeverShowPasswords) {
    EXPECT_EQ(MonitClient::maskPasswords(
                  R"(content: "{"id":"U1","password":"a\"b:c","SmtpPassWord" : "x","to":"p"}")"),
              R"(content: "{"id":"U1","password":"******","SmtpPassWord" : "******","to":"p"}")");
    EXPECT_EQ(MonitClient::maskPasswords(R"({"hint":"password","password":"s)"),
              R"({"hint":"password","password":"******)");

    QTemporaryDir folder;
    tlstest::ErrorLog log(folder.path(), tkl::LogLevel::Trace);
    MonitClient idle;
    expectError<tkl::IOException>([&] { idle.getVersion(""); }, -320, "Client not running");
    EXPECT_HAS(log.text(),
               "[ERROR] {monitclient} MonitClient: <getVersion> . Error: Client "
               "not running\n");

    c.getApiUri();
    DeviceMailCfg mail;
    mail.password = "Se\"cr3t";
    c.postMailConfig("", t.local(), mail);
    EXPECT_EQ(c.getMailConfig("", t.local()).password, mail.password);
    t.sim.addFault(fault("status=503@notifycfg"));
    EXPECT_THROW(c.getNotifyConfig(std::string()), tkl::IOException);

    std::string text = log.text();
    std::string url = t.sim.url() + "/api/device/" + t.local() + "/mailcfg";
    EXPECT_HAS(text,
               "[TRACE] {monitclient} MonitClient: <getMailConfig> Request: url: \"" + url + "\"");
    EXPECT_HAS(text, " Response: status: \"200\"");
    EXPECT_HAS(text, R"("password":"******")");
    EXPECT_EQ(text.find("cr3t"), std::string::npos) << text;
    EXPECT_HAS(text, "[ERROR] {monitclient} MonitClient: <getNotifyConfig> Request: url: \"" +
                         t.sim.url() + "/api/notifycfg\"");
    EXPECT_HAS(text, ". Error: HTTP Error 503\n");
}
