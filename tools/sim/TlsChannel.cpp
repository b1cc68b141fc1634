#include "sim/TlsChannel.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <climits>
#include <stdexcept>

namespace custovia {
namespace sim {
namespace {

// OpenSSL's queued errors as one line, emptying the queue.
std::string takeErrors() {
    std::string text;
    while (unsigned long e = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(e, line, sizeof(line));
        if (!text.empty()) {
            text += "; ";
        }
        text += line;
    }
    return text.empty() ? "unknown error" : text;
}

int clamp(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

}  // namespace

TlsContext::TlsContext(const std::string& certFile, const std::string& keyFile) {
    ERR_clear_error();
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (ctx_ == nullptr) {
        throw std::runtime_error("cannot set up TLS: " + takeErrors());
    }
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    // The memory buffers may hand a write over in pieces.
    SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(ctx_, certFile.c_str()) != 1) {
        std::string reason = takeErrors();
        SSL_CTX_free(ctx_);
        throw std::runtime_error("cannot use the certificate " + certFile + ": " + reason);
    }
    if (SSL_CTX_use_PrivateKey_file(ctx_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx_) != 1) {
        std::string reason = takeErrors();
        SSL_CTX_free(ctx_);
        throw std::runtime_error("cannot use the key " + keyFile + ": " + reason);
    }
}

TlsContext::~TlsContext() {
    SSL_CTX_free(ctx_);
}

TlsChannel::TlsChannel(const TlsContext& context) : ssl_(SSL_new(context.handle())) {
    if (ssl_ == nullptr) {
        throw std::runtime_error("cannot set up a TLS session: " + takeErrors());
    }
    // Read and write buffers of their own; SSL_free frees both.
    SSL_set_bio(ssl_, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(ssl_);
}

TlsChannel::~TlsChannel() {
    SSL_free(ssl_);
}

void TlsChannel::feed(const char* data, std::size_t size) {
    BIO_write(SSL_get_rbio(ssl_), data, clamp(size));
}

std::string TlsChannel::takeOutgoing() {
    BIO* out = SSL_get_wbio(ssl_);
    std::string bytes(static_cast<std::size_t>(BIO_ctrl_pending(out)), '\0');
    if (!bytes.empty()) {
        int n = BIO_read(out, &bytes[0], clamp(bytes.size()));
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    return bytes;
}

TlsChannel::Result TlsChannel::resultOf(int rc) {
    switch (SSL_get_error(ssl_, rc)) {
        case SSL_ERROR_WANT_READ:
            return Result::NeedInput;
        case SSL_ERROR_ZERO_RETURN:
            return Result::Closed;
        default:
            // A peer that speaks no TLS or rejects our certificate: nothing
            // is kept of OpenSSL's reasons, the connection just ends.
            ERR_clear_error();
            failed_ = true;
            return Result::Failed;
    }
}

TlsChannel::Result TlsChannel::handshake() {
    if (failed_) {
        return Result::Failed;
    }
    int rc = SSL_do_handshake(ssl_);
    return rc == 1 ? Result::Done : resultOf(rc);
}

std::size_t TlsChannel::read(char* buffer, std::size_t size, Result* result) {
    if (failed_) {
        *result = Result::Failed;
        return 0;
    }
    int n = SSL_read(ssl_, buffer, clamp(size));
    if (n > 0) {
        *result = Result::Done;
        return static_cast<std::size_t>(n);
    }
    *result = resultOf(n);
    return 0;
}

bool TlsChannel::write(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (!failed_ && done < size) {
        int n = SSL_write(ssl_, data + done, clamp(size - done));
        if (n <= 0) {
            resultOf(n);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return !failed_;
}

void TlsChannel::close() {
    if (!failed_ && SSL_is_init_finished(ssl_)) {
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
}

bool TlsChannel::hasBuffered() const {
    return SSL_pending(ssl_) > 0 || BIO_ctrl_pending(SSL_get_rbio(ssl_)) > 0;
}

}  // namespace sim
}  // namespace custovia
