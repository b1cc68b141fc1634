#include "serve/EventStream.h"

#include <chrono>
#include <memory>

namespace custovia {
namespace serve {

namespace {

uint64_t lastEventId(const httplib::Request& req) {
    std::string text = req.get_header_value("Last-Event-ID");
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return std::stoull(text);
}

// One client's place in the ring; counts the client while it exists.
struct Cursor {
    Cursor(std::atomic<int>& c, uint64_t at) : clients(c), id(at) {}
    ~Cursor() { --clients; }
    std::atomic<int>& clients;
    uint64_t id;
    bool started = false;
    std::chrono::steady_clock::time_point lastWrite = std::chrono::steady_clock::now();
};

}  // namespace

void addEventStream(httplib::Server& server, EventRing& ring, std::atomic<int>& clients,
                    StreamLimits limits) {
    server.Get("/api/v1/events", [&ring, &clients, limits](const httplib::Request& req,
                                                           httplib::Response& res) {
        if (++clients > limits.maxClients) {
            --clients;
            res.status = 503;
            res.set_content("too many event stream clients\n", "text/plain");
            return;
        }
        uint64_t resume = lastEventId(req);
        auto cursor = std::make_shared<Cursor>(clients, resume ? resume : ring.last());
        res.set_header("Cache-Control", "no-cache");
        res.set_header("X-Accel-Buffering", "no");
        res.set_chunked_content_provider(
            "text/event-stream", [&ring, cursor, limits](std::size_t, httplib::DataSink& sink) {
                std::string out;
                if (!cursor->started) {
                    cursor->started = true;
                    out = "retry: 2000\n: connected\n\n";
                } else if (!ring.wait(cursor->id, std::chrono::milliseconds(250))) {
                    if (ring.stopped()) {
                        sink.done();
                        return false;
                    }
                    auto now = std::chrono::steady_clock::now();
                    if (now - cursor->lastWrite < std::chrono::milliseconds(limits.keepAliveMs)) {
                        // A client that went away frees its thread now, not
                        // at the next write.
                        return !sink.is_writable || sink.is_writable();
                    }
                    out = ": keep-alive\n\n";
                }
                bool missed = false;
                for (const auto& e : ring.since(cursor->id, &missed)) {
                    out += e.frame;
                    cursor->id = e.id;
                }
                // Fell behind the ring while connected: events are gone
                // for this client, which learns it by reconnecting.
                if (missed && out.find(": connected") == std::string::npos) {
                    return false;
                }
                if (missed) {
                    out.insert(0, ": some events are no longer held\n\n");
                }
                cursor->lastWrite = std::chrono::steady_clock::now();
                return sink.write(out.data(), out.size());
            });
    });
}

}  // namespace serve
}  // namespace custovia
