// A build without OpenSSL: the simulator serves plain HTTP only, and asking
// it for HTTPS fails with a clear reason.
#include <stdexcept>

#include "sim/TlsCertificates.h"
#include "sim/TlsChannel.h"

namespace custovia {
namespace sim {
namespace {

[[noreturn]] void unavailable() {
    throw std::runtime_error("this build of the simulator has no TLS (built without OpenSSL)");
}

}  // namespace

TlsContext::TlsContext(const std::string&, const std::string&) {
    unavailable();
}
TlsContext::~TlsContext() = default;

TlsChannel::TlsChannel(const TlsContext&) {
    unavailable();
}
TlsChannel::~TlsChannel() = default;
void TlsChannel::feed(const char*, std::size_t) {}
std::string TlsChannel::takeOutgoing() {
    return std::string();
}
TlsChannel::Result TlsChannel::handshake() {
    return Result::Failed;
}
std::size_t TlsChannel::read(char*, std::size_t, Result* result) {
    *result = Result::Failed;
    return 0;
}
bool TlsChannel::write(const char*, std::size_t) {
    return false;
}
void TlsChannel::close() {}
bool TlsChannel::hasBuffered() const {
    return false;
}

void writeCertificate(const CertificateRequest&, const CertificateFiles&, const CertificateFiles*) {
    unavailable();
}
CertificateFiles writeSelfSigned() {
    unavailable();
}

}  // namespace sim
}  // namespace custovia
