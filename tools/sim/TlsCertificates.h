#pragma once
// Certificates made at run time: the self-signed one of `custovia-sim --tls`,
// and the authorities and server certificates tests need. RSA 2048 keys,
// SHA-256 signatures, PEM files.

#include <string>
#include <vector>

namespace custovia {
namespace sim {

struct CertificateRequest {
    std::string commonName = "custovia-sim";
    // Subject alternative names: IP addresses ("127.0.0.1", "::1") and host
    // names ("localhost").
    std::vector<std::string> names;
    // Validity relative to now, in days; both in the past make it expired.
    int notBeforeDays = -1;
    int notAfterDays = 825;
    bool authority = false;  // may sign other certificates
};

struct CertificateFiles {
    std::string cert;  // PEM certificate
    std::string key;   // PEM private key, unencrypted
};

// Writes a new key and its certificate, issued by `issuer` (its certificate
// and key) or self-signed when null. Throws std::runtime_error naming the
// file or step and OpenSSL's reason.
void writeCertificate(const CertificateRequest& request, const CertificateFiles& out,
                      const CertificateFiles* issuer = nullptr);

// A self-signed certificate for 127.0.0.1 and localhost in a new folder
// under the temporary directory, which only the user can read and which
// outlives the program. Throws std::runtime_error.
CertificateFiles writeSelfSigned();

}  // namespace sim
}  // namespace custovia
