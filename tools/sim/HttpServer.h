#pragma once
// The simulator's HTTP server: cpp-httplib's request parsing and routing with
// our own connection handling, so that the simulator can
// - set TCP_NODELAY on every accepted socket and send each response in one
//   write (a response split into small writes waits for the client's delayed
//   acknowledgement otherwise),
// - keep connections alive for as many requests as the client sends,
// - close a connection without answering (fault injection),
// - stop promptly: open connections are shut down, waits are woken,
// - serve HTTPS through OpenSSL over the same connection handling.

#include <httplib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace custovia {
namespace sim {

class TlsContext;

class HttpServer : public httplib::Server {
public:
    // With a certificate and key (PEM files) every connection speaks TLS.
    // Throws std::runtime_error when they cannot be used.
    HttpServer(const std::string& certFile = std::string(),
               const std::string& keyFile = std::string());
    ~HttpServer() override;

    // Binds host:port (0: any) without SO_REUSEPORT, so a busy port fails.
    // Returns the bound port, or -1 with a reason in `error`.
    int bindTo(const std::string& host, int port, std::string* error);
    // Serves on a thread of its own until shutdown().
    void startServing();
    // Stops accepting, shuts every open connection down, joins all threads.
    void shutdown();
    bool stopping() const { return stopping_; }

    // From inside a handler: the connection of the current request is closed
    // without an answer, whatever the handler puts in the response.
    static void dropCurrentConnection();
    // From inside a handler: the connection is closed after this response.
    static void closeAfterResponse();

private:
    bool process_and_close_socket(socket_t sock) override;

    std::unique_ptr<TlsContext> tls_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::set<socket_t> open_;
    std::thread thread_;
};

}  // namespace sim
}  // namespace custovia
