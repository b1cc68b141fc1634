#include <gtest/gtest.h>

#include <curl/curl.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/Http.h"

using namespace std::chrono_literals;
using testsupport::waitFor;
using tkl::HttpClient;
using tkl::HttpClientData;
using tkl::HttpClientRequest;
using tkl::HttpClientResponse;

namespace {

// An HTTP server on a free loopback port that records requests and echoes
// bodies; "/broken" answers 500, "/hang" waits for release() or the stop.
class TestServer {
public:
    TestServer() {
        auto handle = [this](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock<std::mutex> lock(mutex_);
            seen_.push_back(request);
            lock.unlock();
            if (request.path == "/broken") {
                response.status = 500;
                response.set_content("{\"error\":1}", "application/json");
            } else if (request.path == "/hang") {
                waitFor([this] { return released_.load(); }, 20s);
                response.set_content("late", "text/plain");
            } else {
                response.set_header("X-Echo", "yes");
                response.set_content("echo:" + request.body, "text/plain");
            }
        };
        server_.Get(".*", handle).Post(".*", handle).Put(".*", handle).Delete(".*", handle);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        waitFor([this] { return server_.is_running(); });
    }
    ~TestServer() {
        release();
        server_.stop();
        thread_.join();
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<httplib::Request> seen() {
        std::lock_guard<std::mutex> guard(mutex_);
        return seen_;
    }
    void release() { released_ = true; }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::atomic<bool> released_{false};
    std::vector<httplib::Request> seen_;
};

template <class Call>
void expectCurlFailure(Call call, CURLcode code) {
    tkltest::expectThrow<tkl::ProtocolException>(
        call, "Error posting HTTP data in cURL. Code: " + std::to_string(code), -3200);
}

}  // namespace

TEST(HttpClient, EveryMethodAndHeaderAsTheServerSawItAndRepliesAsReceived) {
    TestServer server;
    HttpClient client;
    HttpClientRequest request(server.url("/echo"));
    HttpClientData body("{\"a\":1}", "application/json");
    HttpClientData none;

    HttpClientResponse reply = client.post(request, body);
    EXPECT_EQ(reply.status(), 200);
    EXPECT_EQ(reply.content().toString(), "echo:{\"a\":1}");
    EXPECT_EQ(reply.header("Content-Type"), "text/plain");
    EXPECT_EQ(reply.header("X-Echo"), "yes");
    // A request after one with a body never sends the old body again.
    client.get(request);
    client.del(request, none);
    client.post(request, none);
    client.put(request, none);

    std::vector<httplib::Request> seen = server.seen();
    ASSERT_EQ(seen.size(), 5u);
    const std::pair<const char*, const char*> expected[] = {
        {"POST", "{\"a\":1}"}, {"GET", ""}, {"DELETE", ""}, {"POST", ""}, {"PUT", ""}};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].method, expected[i].first);
        EXPECT_EQ(seen[i].body, expected[i].second);
        bool withBody = *expected[i].second != '\0';
        EXPECT_EQ(seen[i].get_header_value_count("Content-Type"), withBody ? 1u : 0u);
        EXPECT_EQ(seen[i].get_header_value("Content-Type"), withBody ? "application/json" : "");
        // Only a GET goes without a length; the others say 0 when empty.
        EXPECT_EQ(seen[i].has_header("Content-Length"), seen[i].method != "GET");
        EXPECT_EQ(seen[i].get_header_value("User-Agent"), "HttpClient/1.0");
    }

    // An error status is an ordinary reply.
    reply = client.get(HttpClientRequest(server.url("/broken")));
    EXPECT_EQ(reply.status(), 500);
    std::string text = reply.toString();
    EXPECT_EQ(text.substr(text.find(", content:")), ", content: \"{\"error\":1}\"");
    // Headers of an earlier reply do not leak into the next one.
    EXPECT_THROW(reply.header("X-Echo"), std::out_of_range);

    // An own content type in any case replaces the default one. A fresh client:
    // the server closes a connection after five requests.
    HttpClient fresh;
    request.setHeader("content-TYPE", "application/xml");
    fresh.post(request, HttpClientData("<a/>", "text/plain"));
    request.setHeader("content-TYPE", "");  // removes it
    fresh.post(request, HttpClientData(std::string("plain"), ""));
    fresh.setUserAgent("");
    fresh.get(request);
    seen = server.seen();
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[6].get_header_value_count("Content-Type"), 1u);
    EXPECT_EQ(seen[6].get_header_value("Content-Type"), "application/xml");
    EXPECT_EQ(seen[7].get_header_value("Content-Type"), "text/plain");
    EXPECT_EQ(seen[8].get_header_value("User-Agent"), std::string("CURL/") + LIBCURL_VERSION);
    // Consecutive requests share one connection.
    EXPECT_EQ(seen[7].remote_port, seen[6].remote_port);
    EXPECT_EQ(seen[8].remote_port, seen[6].remote_port);
}

TEST(HttpClient, AbortedAndTimedOutTransfersFailWithTheLibcurlCode) {
    // First, so the client closes before the server stops (no keep-alive wait).
    TestServer server;
    HttpClient client;
    // An abort from another thread ends a hanging transfer promptly.
    const HttpClientRequest hang(server.url("/hang"));
    auto ended = std::async(std::launch::async, [&] {
        expectCurlFailure([&] { client.get(hang); }, CURLE_ABORTED_BY_CALLBACK);
        return std::chrono::steady_clock::now();
    });
    ASSERT_TRUE(waitFor([&] { return server.seen().size() == 1; }));
    auto aborted = std::chrono::steady_clock::now();
    client.abort();
    EXPECT_LT(ended.get() - aborted, 100ms);
    // Aborted stays aborted until cleared.
    const HttpClientRequest echo(server.url("/echo"));
    expectCurlFailure([&] { client.get(echo); }, CURLE_ABORTED_BY_CALLBACK);
    client.clearAbort();

    client.setTimeout(0);
    client.setTimeout(-5);
    EXPECT_EQ(client.timeout(), 30000);
    client.setTimeout(200);
    expectCurlFailure([&] { client.get(hang); }, CURLE_OPERATION_TIMEDOUT);
    server.release();
    EXPECT_EQ(client.get(echo).status(), 200);
}

TEST(HttpClientData, ContentTypesAndCopies) {
    tkl::HttpClientData data;
    data.setText(static_cast<const char*>(nullptr));
    EXPECT_EQ(data.contentType(), "text/plain");
    const uint8_t bytes[] = {'a', 0, 'b'};
    data.append(bytes, 3, "");
    EXPECT_EQ(data.size(), 3);
    EXPECT_EQ(data.contentType(), "application/octet-stream");
    uint8_t out[2] = {};
    EXPECT_EQ(data.read(out, 2), 2);  // no more than the buffer holds
    EXPECT_EQ(data.read(nullptr, 5), 0);
    EXPECT_TRUE(data.toJsonObject().isEmpty());

    HttpClientRequest request("http://h/x");
    request.setHeader("B", "2");
    request.setHeader("A", "1");
    request.setHeader("", "ignored");
    EXPECT_EQ(request.toString(), "url: \"http://h/x\", headers: {\"A\":\"1\", \"B\":\"2\"}");
}
