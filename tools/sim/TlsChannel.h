#pragma once
// TLS for the simulator's HTTP server. OpenSSL works on memory buffers only:
// the server's own socket calls carry the bytes, so waits stay bounded and
// woken by a stop, and nothing here touches a socket.
//
// TlsContext  the server's certificate and key, loaded once, shared by every
//             connection of the server.
// TlsChannel  the TLS state of one connection.

#include <cstddef>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;

namespace custovia {
namespace sim {

class TlsContext {
public:
    // Throws std::runtime_error naming the file and OpenSSL's reason when the
    // certificate or the key cannot be used.
    TlsContext(const std::string& certFile, const std::string& keyFile);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    ssl_ctx_st* handle() const { return ctx_; }

private:
    ssl_ctx_st* ctx_ = nullptr;
};

class TlsChannel {
public:
    enum class Result {
        Done,       // the step completed
        NeedInput,  // more bytes from the peer are needed first
        Closed,     // the peer ended the session
        Failed      // a protocol error; the connection is unusable
    };

    explicit TlsChannel(const TlsContext& context);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Bytes received from the peer.
    void feed(const char* data, std::size_t size);
    // Bytes to send to the peer, taken out of the channel.
    std::string takeOutgoing();

    // Runs the server side of the handshake as far as the received bytes allow.
    Result handshake();
    // Up to `size` plain bytes: the count, or 0 with the reason in `result`.
    std::size_t read(char* buffer, std::size_t size, Result* result);
    // Encrypts the bytes for takeOutgoing(); false when the channel failed.
    bool write(const char* data, std::size_t size);
    // Queues the closing alert (a clean end of the session).
    void close();
    // Received bytes not consumed yet, plain or still encrypted.
    bool hasBuffered() const;

private:
    Result resultOf(int rc);

    ssl_st* ssl_ = nullptr;
    bool failed_ = false;
};

}  // namespace sim
}  // namespace custovia
