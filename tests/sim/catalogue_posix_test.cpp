// The monitoring interface of the simulator, through real HTTP and HTTPS requests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>

#include <chrono>
#include <future>
#include <tuple>

#include "SimClient.h"

using namespace simtest;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kStart = 1767225600000;  // 2026-01-01 00:00 UTC

Options frozen(int devices = 3) {
    Options o;
    o.devices = devices;
    o.computers = 2;
    o.realTime = false;
    o.startTimeMs = kStart;
    o.seed = 7;
    return o;
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<Simulator>(frozen());
        sim_->start();
        http_ = std::make_unique<Client>(sim_->url());
        ids_ = sim_->deviceIds();
        ASSERT_EQ(ids_.size(), 3u);
        // A model with every command and one without battery test nor line sensitivity.
        ASSERT_TRUE(sim_->changeDevice(ids_[0], QJsonObject{{"family", 2}, {"model", 10}}));
        ASSERT_TRUE(sim_->changeDevice(ids_[1], QJsonObject{{"family", 1}, {"model", 1}}));
        dev_ = "/api/device/" + ids_[0];
    }

    QJsonObject getJson(const std::string& path) {
        Reply r = http_->get(path);
        EXPECT_EQ(r.status, 200) << path << " " << r.body;
        return r.json();
    }
    // The unit's record, one value of it, and its countdown, as its detail answers them.
    QJsonObject unit(int i) { return getJson("/api/device/" + ids_[i])["device"].toObject(); }
    double at(int i, const char* group, const char* key) {
        return unit(i)[group].toObject()[key].toDouble();
    }
    QJsonObject countdown(int i) {
        return getJson("/api/device/" + ids_[i])["regressive"].toObject();
    }
    static QJsonObject running(int cause, int value, int inShutdown = 0) {
        return {{"cause", cause},
                {"active", cause ? 1 : 0},
                {"value", value},
                {"inShutdown", inShutdown}};
    }
    // The status of a request with a body to the first unit's resource `path`.
    int send(const std::string& method, const std::string& path, const std::string& body) {
        return http_->send(method, dev_ + path, body).status;
    }

    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<Client> http_;
    std::vector<std::string> ids_;
    std::string dev_;
};

// A new connection to the simulator on `port`, with a read time-out.
int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    return fd;
}

// Sends raw bytes on a new connection; what comes back until the server closes it.
std::string rawExchange(int port, const std::string& bytes) {
    int fd = connectTo(port);
    std::string got;
    char buf[4096];
    if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0) {
        shutdown(fd, SHUT_WR);
        for (ssize_t n; (n = recv(fd, buf, sizeof(buf), 0)) > 0;) {
            got.append(buf, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return got;
}

}  // namespace

TEST_F(Catalogue, ServesEveryReadForLocalAndRemoteComputers) {
    std::string remote = sim_->computerIds()[0];

    for (const std::string& prefix : {std::string("/api/"), "/api/computer/" + remote + "/"}) {
        SCOPED_TRACE(prefix);
        QJsonArray devices = getJson(prefix + "device")["devices"].toArray();
        ASSERT_FALSE(devices.isEmpty());
        std::string dev = prefix + "device/" + devices[0].toObject()["id"].toString().toStdString();
        QJsonObject d = getJson(dev)["device"].toObject();
        // Every record complete, booleans as numbers.
        EXPECT_EQ(std::make_tuple(d["vars"].toObject().size(), d["status"].toObject().size(),
                                  d["failures"].toObject().size(),
                                  getJson(dev + "/config")["caps"].toObject().size()),
                  std::make_tuple(21, 25, 12, 30));
        EXPECT_TRUE(d["status"].toObject()["connected"].isDouble());
        for (const char* read : {"/mailcfg", "/dialcfg", "/shutcfg", "/log", "/histlog/hour",
                                 "/histlog/day", "/histlog/month"}) {
            EXPECT_FALSE(getJson(dev + read).isEmpty()) << read;
        }
        EXPECT_FALSE(getJson(prefix + "cuscfg").isEmpty() ||
                     getJson(prefix + "notifycfg").isEmpty());
        EXPECT_EQ(getJson(prefix + "device/config/2/10")["name"].toString(), "Corvel RT 2000");
        EXPECT_FALSE(getJson(prefix + "device/config/2").contains("model"));
    }
}

TEST_F(Catalogue, SettingsArePostedStoredAndAnsweredBackWhole) {
    std::string mail = R"({"server":"smtp.example.org","port":465,"password":"pa\"ss",)"
                       R"("to1":"a@example.org","to3":"c@example.org"})";
    ASSERT_EQ(send("POST", "/mailcfg", mail), 200);
    QJsonObject back = getJson(dev_ + "/mailcfg");
    EXPECT_EQ(back["password"].toString(), "pa\"ss");
    EXPECT_EQ(back["to3"].toString(), "c@example.org");
    EXPECT_EQ(back["to2"].toString(), "");  // what the post left out is cleared, not kept

    // A wrong type is refused and changes nothing.
    EXPECT_EQ(send("POST", "/mailcfg", R"({"port":"465"})"), 400);
    EXPECT_EQ(send("POST", "/shutcfg", R"({"counterManual":-5})"), 400);
    EXPECT_EQ(getJson(dev_ + "/mailcfg")["port"].toInt(), 465);

    // Settings of a remote computer are its own.
    ASSERT_EQ(http_->post("/api/notifycfg", R"({"option":2})").status, 200);
    std::string remote = sim_->computerIds()[0];
    EXPECT_EQ(getJson("/api/computer/" + remote + "/notifycfg")["option"].toInt(), 1);
}

TEST_F(Catalogue, ShutdownsRunOutIntoStandByAndOutagesStartTheBatteryCountdown) {
    std::string settings = R"({"enabled":1,"counterManual":7,"devShutEnabled":1,"devShutTimer":3})";
    ASSERT_EQ(send("POST", "/shutcfg", settings), 200);
    ASSERT_EQ(send("PUT", "/shutdown", R"({"confirm":1})"), 200);
    EXPECT_EQ(countdown(0), running(1, 7000));
    // Run out: the shutdown begins, the unit's timer runs, then the output goes off.
    sim_->advance(8);
    EXPECT_EQ(countdown(0), running(1, 0, 1));
    EXPECT_EQ(at(0, "status", "inShutdown"), 1);
    sim_->advance(4);
    EXPECT_EQ(at(0, "vars", "vOutput"), 0.0);
    EXPECT_EQ(at(0, "status", "opStandBy"), 1);
    ASSERT_EQ(send("DELETE", "/shutdown", R"({"confirm":1})"), 200);
    EXPECT_EQ(countdown(0), running(0, -1));
    EXPECT_GT(at(0, "vars", "vOutput"), 200);

    // An outage starts the battery countdown while shutdown management is on.
    ASSERT_EQ(send("POST", "/shutcfg", R"({"enabled":1,"counterOpBattery":30})"), 200);
    ASSERT_EQ(http_->post("/_sim/outage", R"({"on":1,"device":")" + ids_[0] + "\"}").status, 200);
    EXPECT_EQ(countdown(0), running(2, 30000));
    EXPECT_EQ(at(2, "status", "opBattery"), 0);  // the others keep mains
    EXPECT_EQ(http_->post("/_sim/outage", R"({"on":1,"device":"NOPE"})").status, 404);
    ASSERT_EQ(http_->post("/_sim/outage", R"({"on":0})").status, 200);
    EXPECT_EQ(countdown(0), running(0, -1));
}

TEST_F(Catalogue, CommandsChangeTheUnitWhenItsModelHasThem) {
    std::string small = "/api/device/" + ids_[1];
    ASSERT_EQ(send("PUT", "/discharge", R"({"confirm":1})"), 200);
    EXPECT_EQ(at(0, "status", "opCheckup"), 1);
    EXPECT_EQ(at(0, "status", "opBattery"), 1);
    EXPECT_EQ(http_->put(small + "/discharge", R"({"confirm":1})").status, 409);
    EXPECT_EQ(http_->put(small + "/linesense", R"({"confirm":1,"lineSense":1})").status, 409);

    ASSERT_EQ(send("PUT", "/linesense", R"({"confirm":1,"lineSense":4})"), 200);
    ASSERT_EQ(send("PUT", "/icBattery", R"({"confirm":1,"icBattery":6})"), 200);
    ASSERT_EQ(send("PUT", "/color", R"({"confirm":1,"red":255,"green":0,"blue":10,"random":0})"),
              200);
    ASSERT_EQ(send("PUT", "/user", R"({"userName":"Rack \u00e9 7","userProd":"Lab"})"), 200);
    QJsonObject d = unit(0);
    EXPECT_EQ(d["lineSense"].toInt(), 4);
    EXPECT_EQ(d["vars"].toObject()["icBattery"].toInt(), 6);
    EXPECT_EQ(d["vars"].toObject()["ledRed"].toInt(), 255);
    EXPECT_EQ(d["userName"].toString(), QString::fromUtf8("Rack \u00e9 7"));

    ASSERT_EQ(send("PUT", "/mailtest", R"({"confirm":1})"), 200);
    EXPECT_EQ(getJson(dev_ + "/mailcfg")["test"].toInt(), 1);
    ASSERT_EQ(send("DELETE", "/mailtest", R"({"confirm":1})"), 200);
    EXPECT_EQ(getJson(dev_ + "/mailcfg")["test"].toInt(), 0);
}

TEST_F(Catalogue, OutageRunsUnitsOnBatteryUntilLowBatteryAndMainsBackRecharges) {
    // No automatic shutdown here: this is about the battery.
    ASSERT_EQ(send("POST", "/shutcfg", R"({"enabled":0})"), 200);
    ASSERT_TRUE(sim_->changeDevice(ids_[0], QJsonObject{{"load", 0.5}, {"charge", 100}}));
    ASSERT_TRUE(sim_->setOutage(true));
    EXPECT_EQ(at(0, "vars", "vInput"), 0.0);
    EXPECT_GT(at(0, "vars", "vOutput"), 200);
    sim_->advance(660);  // longer than the autonomy at half load
    EXPECT_EQ(at(0, "status", "loBattery"), 1);
    EXPECT_EQ(at(0, "failures", "endBattery"), 1);
    EXPECT_EQ(at(0, "vars", "vOutput"), 0.0);

    ASSERT_TRUE(sim_->setOutage(false));
    sim_->advance(30);
    EXPECT_EQ(at(0, "status", "opBattery"), 0);
    EXPECT_EQ(at(0, "failures", "endBattery"), 0);
}

TEST_F(Catalogue, CarefulAnswersToBadRequests) {
    EXPECT_EQ(http_->get("/api/nothing").status, 404);
    EXPECT_EQ(http_->get("/api/device/UNKNOWN").status, 404);
    EXPECT_EQ(http_->get("/api/computer/10.9.9.9/device").status, 404);
    EXPECT_EQ(http_->get("/api/device/config/99/1").status, 404);
    EXPECT_EQ(send("POST", "/mailcfg", "not json"), 400);
    EXPECT_EQ(send("POST", "/mailcfg", "[1,2]"), 400);
    EXPECT_EQ(send("PUT", "/user", R"({"userName":5})"), 400);
    EXPECT_EQ(send("DELETE", "", ""), 400);
    EXPECT_EQ(send("POST", "", "{}"), 405);
    // Odd input is answered, never fatal.
    EXPECT_EQ(http_->get("/api/device/%00%ff/../../config").status, 404);
    EXPECT_EQ(http_->get("/" + std::string(4000, 'a')).status, 404);
    EXPECT_EQ(send("POST", "/mailcfg", std::string(100000, '{')), 400);
    EXPECT_EQ(send("POST", "/mailcfg", "{\"server\":\"\xff\xfe\"}"), 400);
    for (const char* cmd :
         {"/shutdown", "/discharge", "/linesense", "/icBattery", "/color", "/mailtest"}) {
        Reply r = http_->put(dev_ + cmd, R"({"confirm":0})");
        EXPECT_EQ(r.status, 400) << cmd;
        EXPECT_TRUE(r.isJson()) << cmd;
    }
    EXPECT_EQ(http_->get(dev_).status, 200);  // not deleted
    std::string garbage("\x00\xff\x16\x03\x01 GET\r\n\r\n", 13);
    EXPECT_EQ(rawExchange(sim_->port(), garbage).rfind("HTTP/1.1 400", 0), 0u);
    std::string shortBody = "PUT /api/device/x HTTP/1.1\r\nContent-Length: 99\r\n\r\n{";
    EXPECT_EQ(rawExchange(sim_->port(), shortBody).rfind("HTTP/1.1 400", 0), 0u);
    // A body on a GET is read with it, not taken for the next request.
    std::string two =
        "GET /mon HTTP/1.1\r\nContent-Length: 17\r\n\r\nGET /x HTTP/1.1\r\n"
        "GET /mon HTTP/1.1\r\nConnection: close\r\n\r\n";
    std::string answers = rawExchange(sim_->port(), two);
    EXPECT_EQ(answers.rfind("HTTP/1.1 200", 0), 0u) << answers;
    EXPECT_NE(answers.find("HTTP/1.1 200", 1), std::string::npos) << answers;
    EXPECT_EQ(answers.find("HTTP/1.1 4"), std::string::npos) << answers;
    EXPECT_EQ(http_->get("/api").status, 200);
}

TEST(SimulatorWorld, SameSeedSameWorldDifferentSeedDifferentWorld) {
    Simulator a(frozen()), b(frozen());
    Options other = frozen();
    other.seed = 8;
    Simulator c(other);
    EXPECT_NE(a.deviceIds(), c.deviceIds());
    a.advance(90);
    b.advance(90);
    EXPECT_EQ(a.snapshot(), b.snapshot());
    QJsonObject first = a.snapshot()["computers"].toArray()[0].toObject();
    QJsonObject dev = first["devices"].toArray()[0].toObject()["device"].toObject();
    EXPECT_EQ(dev["last"].toDouble(), static_cast<double>(kStart + 90000));
}

TEST(SimulatorWorld, HostsServeIndependentWorldsAndCommandsReachOnlyTheirOwn) {
    Options o = frozen(2);
    o.hosts = 3;
    Simulator sim(o);
    sim.start();
    std::string id = sim.deviceIds("localhost", 1).at(0);
    EXPECT_NE(id, sim.deviceIds("localhost", 0).at(0));
    ASSERT_EQ(Client(sim.url(1)).del("/api/device/" + id, R"({"confirm":1})").status, 200);
    EXPECT_EQ(sim.deviceIds("localhost", 0).size(), 2u);
    EXPECT_EQ(sim.deviceIds("localhost", 1).size(), 1u);
    EXPECT_EQ(sim.journal().back().host, 1);
}

TEST(SimTls, StopReturnsWhilePeersHangInTheHandshake) {
    QTemporaryDir folder;
    Simulator sim(https(folder));
    sim.start();
    // One peer connects and sends nothing, another half a client hello.
    int silent = connectTo(sim.port()), partial = connectTo(sim.port());
    const unsigned char hello[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01,
                                   0x00, 0x01, 0xfc, 0x03, 0x03};
    ASSERT_EQ(send(partial, hello, sizeof(hello), MSG_NOSIGNAL), ssize_t(sizeof(hello)));
    // Meanwhile the service answers others.
    EXPECT_EQ(Client(sim.url()).get("/mon").status, 200);
    auto stopped = std::async(std::launch::async, [&] { sim.stop(); });
    EXPECT_EQ(stopped.wait_for(3s), std::future_status::ready);
    close(silent);
    close(partial);
}
