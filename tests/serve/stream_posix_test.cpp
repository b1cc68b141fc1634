// The event stream on a real server of its own: frames with ids, a resume
// with Last-Event-ID, the client limit, and a client that never reads, which
// is dropped while the others go on.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <mutex>

#include "ServeTestSupport.h"
#include "serve/EventStream.h"

using namespace custovia::serve;
using namespace serve_test;

namespace {

CustoviaEvent event(uint64_t seq, const std::string& text = "line one\nline \"two\"") {
    CustoviaEvent e;
    e.seq = seq;
    e.kindName = "flagRaised";
    e.host = "127.0.0.1";
    e.device = "SIM1";
    e.name = "opBattery";
    e.text = text;
    return e;
}

class StreamServer {
public:
    explicit StreamServer(std::size_t capacity) : ring(capacity) {
        server_.new_task_queue = [] { return new httplib::ThreadPool(8); };
        server_.set_write_timeout(1, 0);
        server_.Get("/ping", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("pong", "text/plain");
        });
        StreamLimits limits;
        limits.maxClients = 4;
        addEventStream(server_, ring, clients, limits);
        port = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        waitUntil([this] { return server_.is_running(); });
    }
    ~StreamServer() {
        ring.stop();
        server_.stop();
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }
    EventRing ring;
    std::atomic<int> clients{0};
    int port = 0;

private:
    httplib::Server server_;
    std::thread thread_;
};

TEST(EventStreamTest, FramesCarryIdsAReconnectGetsWhatItMissedAndClientsAreLimited) {
    StreamServer s(4);
    for (uint64_t i = 1; i <= 3; ++i) {
        s.ring.push(event(i));
    }
    {
        // A new client starts at the newest event: only what follows.
        StreamReader fresh(s.url(), "");
        ASSERT_TRUE(fresh.has(": connected"));
        s.ring.push(event(4));
        s.ring.push(event(2));  // out of order: ignored
        EXPECT_EQ(s.ring.last(), 4u);
        ASSERT_TRUE(fresh.has("id: 4\ndata: {"));
        const std::string t = fresh.text();
        EXPECT_EQ(t.find("id: 3\n"), std::string::npos);
        EXPECT_EQ(t.rfind("retry: ", 0), 0u);
        // One frame: its id line and one data line, whatever the text holds.
        std::size_t at = t.find("id: 4\n");
        EXPECT_EQ(t.find('\n', at + 6), t.find("\n\n", at)) << t;
    }
    {
        StreamReader resumed(s.url(), "2");
        ASSERT_TRUE(resumed.has("id: 4\n"));
        std::string t = resumed.text();
        EXPECT_LT(t.find("id: 3\n"), t.find("id: 4\n"));
        EXPECT_EQ(t.find("id: 2\n"), std::string::npos);
        EXPECT_EQ(t.find("no longer held"), std::string::npos);
    }
    for (uint64_t i = 5; i <= 8; ++i) {
        s.ring.push(event(i));
    }
    {
        // Events 2 to 4 left the ring: the client is told so and gets the rest.
        StreamReader late(s.url(), "1");
        ASSERT_TRUE(late.has("id: 8\n"));
        EXPECT_NE(late.text().find(": some events are no longer held"), std::string::npos);
        EXPECT_NE(late.text().find("id: 5\n"), std::string::npos);
    }
    // A client that went away frees its server thread at once.
    EXPECT_TRUE(waitUntil([&] { return s.clients == 0; }));

    // Clients beyond the limit are turned away.
    std::vector<std::unique_ptr<StreamReader>> readers;
    for (int i = 0; i < 4; ++i) {
        readers.push_back(std::make_unique<StreamReader>(s.url()));
    }
    ASSERT_TRUE(waitUntil([&] { return s.clients == 4; }));
    auto refused = httplib::Client("127.0.0.1", s.port).Get("/api/v1/events");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    s.ring.stop();
}

TEST(EventStreamTest, AClientThatNeverReadsIsDroppedWhileTheOthersGoOn) {
    StreamServer s(100000);
    // A client with a small receive buffer that reads nothing after its request.
    int slow = socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(s.port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    ASSERT_EQ(connect(slow, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::string request = "GET /api/v1/events HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(send(slow, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));

    StreamReader fast(s.url(), "");
    ASSERT_TRUE(waitUntil([&] { return s.clients == 2; }));
    ASSERT_TRUE(fast.has(": connected"));
    // Far more than the sockets hold: about 16 MB of events.
    const uint64_t count = 4000;
    for (uint64_t i = 1; i <= count; ++i) {
        s.ring.push(event(i, std::string(4000, 't')));
    }
    EXPECT_TRUE(fast.has("id: " + std::to_string(count) + "\n", 60));
    // The slow one's server thread gave up on the full socket.
    EXPECT_TRUE(waitUntil([&] { return s.clients == 1; }, 30));
    auto pong = httplib::Client("127.0.0.1", s.port).Get("/ping");
    ASSERT_TRUE(pong);
    EXPECT_EQ(pong->body, "pong");
    close(slow);
}

}  // namespace
