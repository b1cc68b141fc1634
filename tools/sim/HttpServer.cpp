#include "sim/HttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <list>
#include <memory>

#include "sim/Socket.h"

namespace custovia {
namespace sim {
namespace {

constexpr int kReadTimeoutMs = 5000;          // a request that stalls this long is dropped
constexpr int kKeepAliveMs = 30000;           // idle connections are closed after this
constexpr int kPollSliceMs = 100;             // waits look at the stop flag this often
constexpr std::size_t kMaxPayload = 1 << 20;  // larger request bodies answer 413

// Address and port of either end of a connection; "" and -1 when unknown.
void addressOf(socket_t fd, bool peer, std::string& ip, int& port) {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len)
                  : getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ip.clear();
    port = -1;
    if (rc != 0) {
        return;
    }
    char text[INET6_ADDRSTRLEN] = {0};
    if (addr.ss_family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
        port = ntohs(in6->sin6_port);
    }
    ip = text;
}

// A connection as httplib sees it. Writes are collected and sent in one go
// when the response is complete or before the next read (so that an interim
// "100 Continue" reaches the client before its body is awaited).
class Connection : public httplib::Stream {
public:
    Connection(socket_t fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

    // Waits up to `ms` for data; false on timeout, stop, or a closed peer.
    // Bytes already received and not yet read count as data.
    bool waitReadable(int ms) const {
        if (pos_ < len_) {
            return true;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping_) {
            int rc = net::waitReadable(fd_, kPollSliceMs);
            if (rc > 0) {
                return true;
            }
            if (rc < 0) {
                return false;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
        }
        return false;
    }

    bool is_readable() const override { return waitReadable(kReadTimeoutMs); }
    bool is_writable() const override { return !dropped && !stopping_; }

    // httplib reads request lines one byte at a time: reads are served from a
    // buffer, so that a request costs a few system calls instead of two per
    // byte of its header.
    ssize_t read(char* ptr, size_t size) override {
        if (pos_ == len_) {
            if (!flush() || !waitReadable(kReadTimeoutMs)) {
                return -1;
            }
            ssize_t n = net::receive(fd_, in_, sizeof(in_));
            if (n <= 0) {
                return n;
            }
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
        }
        std::size_t count = std::min(size, len_ - pos_);
        std::memcpy(ptr, in_ + pos_, count);
        pos_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (dropped || stopping_) {
            return -1;
        }
        out_.append(ptr, size);
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        addressOf(fd_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        addressOf(fd_, false, ip, port);
    }
    socket_t socket() const override { return fd_; }

    // Sends what was written; false when the peer is gone.
    bool flush() {
        if (dropped) {
            out_.clear();
            return false;
        }
        std::size_t sent = 0;
        while (sent < out_.size()) {
            ssize_t n = net::send(fd_, out_.data() + sent, out_.size() - sent);
            if (n <= 0) {
                out_.clear();
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        out_.clear();
        return true;
    }

    bool dropped = false;
    bool closeAfter = false;

private:
    socket_t fd_;
    const std::atomic<bool>& stopping_;
    std::string out_;
    char in_[16384];
    std::size_t pos_ = 0;  // next unread byte of in_
    std::size_t len_ = 0;  // bytes held in in_
};

thread_local Connection* current = nullptr;

// httplib reads a body only for methods that usually carry one. A body sent
// with another method (GET, HEAD, OPTIONS) would otherwise be taken for the
// next request and answered as garbage, so it is read here and kept.
void readOtherBody(Connection& conn, httplib::Request& req) {
    static const char* const withBody[] = {"POST", "PUT", "PATCH", "DELETE", "PRI"};
    for (const char* m : withBody) {
        if (req.method == m) {
            return;
        }
    }
    if (req.has_header("Transfer-Encoding")) {
        conn.closeAfter = true;  // not worth decoding here: answer, then close
        return;
    }
    std::string text = req.get_header_value("Content-Length");
    if (text.empty()) {
        return;
    }
    std::size_t length = 0;
    if (text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12 ||
        (length = std::stoull(text)) > kMaxPayload) {
        conn.closeAfter = true;
        return;
    }
    std::string body(length, '\0');
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = conn.read(&body[got], length - got);
        if (n <= 0) {
            conn.closeAfter = true;
            return;
        }
        got += static_cast<std::size_t>(n);
    }
    req.body = std::move(body);
}

// One thread per connection: a hanging request must not hold up the others,
// and a keep-alive client holds its connection for a long time.
class ConnectionThreads : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            if (*it->done) {
                it->thread.join();
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        threads_.push_back({std::thread([fn = std::move(fn), done] {
                                fn();
                                *done = true;
                            }),
                            done});
    }

    void shutdown() override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& t : threads_) {
            t.thread.join();
        }
        threads_.clear();
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::list<Worker> threads_;
};

}  // namespace

HttpServer::HttpServer() {
    new_task_queue = [] { return new ConnectionThreads(); };
    // httplib's default options would let a second simulator share a busy
    // port silently.
    set_socket_options(net::setListenOptions);
    set_tcp_nodelay(true);
    set_payload_max_length(kMaxPayload);
    set_keep_alive_timeout(kKeepAliveMs / 1000);
    set_keep_alive_max_count(1000000);  // only advertised: our loop has no limit
}

HttpServer::~HttpServer() {
    shutdown();
}

int HttpServer::bindTo(const std::string& host, int port, std::string* error) {
    net::clearLastError();
    int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        if (error) {
            *error = net::lastErrorText();
        }
        return -1;
    }
    return bound;
}

void HttpServer::startServing() {
    thread_ = std::thread([this] { listen_after_bind(); });
}

void HttpServer::shutdown() {
    stopping_ = true;
    // Closing the listening socket ends the accept loop whether or not it has
    // started yet (httplib's own stop() acts only once the loop runs).
    socket_t listening = svr_sock_.exchange(INVALID_SOCKET);
    if (listening != INVALID_SOCKET) {
        net::shutdown(listening);
        net::close(listening);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (socket_t fd : open_) {
            net::shutdown(fd);
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void HttpServer::dropCurrentConnection() {
    if (current) {
        current->dropped = true;
    }
}

void HttpServer::closeAfterResponse() {
    if (current) {
        current->closeAfter = true;
    }
}

bool HttpServer::process_and_close_socket(socket_t sock) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            open_.insert(sock);
        }
    }
    net::setNoDelay(sock);
    bool ok = false;
    {
        Connection conn(sock, stopping_);
        current = &conn;
        while (!stopping_ && conn.waitReadable(kKeepAliveMs)) {
            bool closed = false;
            ok = process_request(conn, false, closed,
                                 [&conn](httplib::Request& req) { readOtherBody(conn, req); });
            if (!conn.flush() || !ok || closed || conn.closeAfter) {
                break;
            }
        }
        current = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(sock);
        net::shutdown(sock);
        net::close(sock);
    }
    return ok;
}

}  // namespace sim
}  // namespace custovia
