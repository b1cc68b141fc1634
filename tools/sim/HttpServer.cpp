#include "sim/HttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <list>
#include <memory>

#include "sim/Socket.h"
#include "sim/TlsChannel.h"

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
// "100 Continue" reaches the client before its body is awaited). With a TLS
// channel the same bytes travel encrypted; every wait stays a socket wait.
class Connection : public httplib::Stream {
public:
    Connection(socket_t fd, const std::atomic<bool>& stopping, TlsChannel* tls)
        : fd_(fd), stopping_(stopping), tls_(tls) {}

    // Waits up to `ms` for data; false on timeout, stop, or a closed peer.
    // Bytes already received and not yet read count as data.
    bool waitReadable(int ms) const {
        if (pos_ < len_ || (tls_ && tls_->hasBuffered())) {
            return true;
        }
        return waitSocket(ms);
    }

    // Waits up to `ms` for bytes on the socket itself.
    bool waitSocket(int ms) const {
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
            ssize_t n = tls_ ? receivePlain() : net::receive(fd_, in_, sizeof(in_));
            if (n <= 0) {
                return n;
            }
            if (!tls_ && first_ && refuseTls(static_cast<std::size_t>(n))) {
                return -1;
            }
            first_ = false;
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
        bool ok = true;
        if (tls_) {
            ok = out_.empty() || tls_->write(out_.data(), out_.size());
            out_.clear();
            ok = ok && sendRaw(tls_->takeOutgoing());
        } else {
            ok = sendRaw(out_);
        }
        out_.clear();
        return ok;
    }

    // The TLS handshake, within the read time-out and the stop.
    bool handshake() {
        for (;;) {
            TlsChannel::Result r = tls_->handshake();
            if (!sendRaw(tls_->takeOutgoing()) || r != TlsChannel::Result::NeedInput) {
                return r == TlsChannel::Result::Done;
            }
            if (!feedTls()) {
                return false;
            }
        }
    }

    // Ends the session with its closing alert, unless the connection is to
    // close without a word.
    void closeTls() {
        if (tls_ && !dropped) {
            tls_->close();
            sendRaw(tls_->takeOutgoing());
        }
    }

    bool dropped = false;
    bool closeAfter = false;

private:
    bool sendRaw(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = net::send(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Waits for encrypted bytes and hands them to the channel.
    bool feedTls() {
        char raw[16384];
        if (!waitSocket(kReadTimeoutMs)) {
            return false;
        }
        ssize_t n = net::receive(fd_, raw, sizeof(raw));
        if (n <= 0) {
            return false;
        }
        tls_->feed(raw, static_cast<std::size_t>(n));
        return true;
    }

    // Decrypted bytes into in_: the count, 0 when the peer ended the session,
    // -1 on failure or time-out.
    ssize_t receivePlain() {
        for (;;) {
            TlsChannel::Result r;
            std::size_t n = tls_->read(in_, sizeof(in_), &r);
            if (n > 0) {
                return static_cast<ssize_t>(n);
            }
            if (r == TlsChannel::Result::Closed) {
                return 0;
            }
            if (r != TlsChannel::Result::NeedInput || !sendRaw(tls_->takeOutgoing()) ||
                !feedTls()) {
                return -1;
            }
        }
    }

    // A TLS handshake sent to the plain server gets a short plain answer at
    // once, which the client's TLS layer reports as a wrong protocol, instead
    // of waiting for a request line that never comes.
    bool refuseTls(std::size_t n) {
        if (n < 3 || in_[0] != 0x16 || in_[1] != 0x03) {
            return false;
        }
        static const char answer[] =
            "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Type: text/plain\r\n"
            "Content-Length: 30\r\n\r\nThis port serves plain HTTP.\r\n";
        sendRaw(std::string(answer, sizeof(answer) - 1));
        dropped = true;
        return true;
    }

    socket_t fd_;
    const std::atomic<bool>& stopping_;
    TlsChannel* tls_;
    bool first_ = true;  // no byte received yet
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

HttpServer::HttpServer(const std::string& certFile, const std::string& keyFile) {
    if (!certFile.empty() || !keyFile.empty()) {
        tls_ = std::make_unique<TlsContext>(certFile, keyFile);
    }
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
    std::unique_ptr<TlsChannel> tls;
    try {
        if (tls_) {
            tls = std::make_unique<TlsChannel>(*tls_);
        }
    } catch (const std::exception&) {
        // No session (out of memory): the connection just closes.
    }
    if (!tls_ || tls) {
        Connection conn(sock, stopping_, tls.get());
        current = &conn;
        bool ready = !tls || conn.handshake();
        while (ready && !stopping_ && conn.waitReadable(kKeepAliveMs)) {
            bool closed = false;
            ok = process_request(conn, false, closed,
                                 [&conn](httplib::Request& req) { readOtherBody(conn, req); });
            if (!conn.flush() || !ok || closed || conn.closeAfter) {
                break;
            }
        }
        if (ready) {
            conn.closeTls();
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
