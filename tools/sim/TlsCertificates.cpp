#include "sim/TlsCertificates.h"

#include <QDir>
#include <QTemporaryDir>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace custovia {
namespace sim {
namespace {

struct Free {
    void operator()(X509* x) const { X509_free(x); }
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    void operator()(BIO* b) const { BIO_free(b); }
    void operator()(X509_EXTENSION* e) const { X509_EXTENSION_free(e); }
    void operator()(BIGNUM* n) const { BN_free(n); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

[[noreturn]] void fail(const std::string& what) {
    std::string reason;
    while (unsigned long e = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(e, line, sizeof(line));
        reason += (reason.empty() ? "" : "; ") + std::string(line);
    }
    throw std::runtime_error(what + (reason.empty() ? "" : ": " + reason));
}

bool isAddress(const std::string& name) {
    return name.find(':') != std::string::npos ||
           name.find_first_not_of("0123456789.") == std::string::npos;
}

void addExtension(X509* cert, X509V3_CTX* ctx, int nid, const std::string& value) {
    Owned<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, ctx, nid, value.c_str()));
    if (!ext || X509_add_ext(cert, ext.get(), -1) != 1) {
        fail("cannot add the certificate extension " + value);
    }
}

Owned<BIO> openFile(const std::string& path, const char* mode) {
    Owned<BIO> bio(BIO_new_file(path.c_str(), mode));
    if (!bio) {
        fail("cannot open " + path);
    }
    return bio;
}

}  // namespace

void writeCertificate(const CertificateRequest& request, const CertificateFiles& out,
                      const CertificateFiles* issuer) {
    ERR_clear_error();
    Owned<EVP_PKEY> key(EVP_RSA_gen(2048));
    Owned<X509> cert(X509_new());
    if (!key || !cert) {
        fail("cannot make a key");
    }
    Owned<X509> issuerCert;
    Owned<EVP_PKEY> issuerKey;
    if (issuer) {
        issuerCert.reset(
            PEM_read_bio_X509(openFile(issuer->cert, "r").get(), nullptr, nullptr, nullptr));
        issuerKey.reset(
            PEM_read_bio_PrivateKey(openFile(issuer->key, "r").get(), nullptr, nullptr, nullptr));
        if (!issuerCert || !issuerKey) {
            fail("cannot read the issuer " + issuer->cert);
        }
    }

    X509_set_version(cert.get(), 2);  // X.509 v3
    unsigned char serial[16];
    RAND_bytes(serial, sizeof(serial));
    serial[0] &= 0x7f;  // a positive number
    Owned<BIGNUM> number(BN_bin2bn(serial, sizeof(serial), nullptr));
    BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(cert.get()));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), long(request.notBeforeDays) * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), long(request.notAfterDays) * 86400);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(request.commonName.c_str()),
                               -1, -1, 0);
    X509* signer = issuer ? issuerCert.get() : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));

    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, signer, cert.get(), nullptr, nullptr, 0);
    addExtension(cert.get(), &ctx, NID_basic_constraints,
                 request.authority ? "critical,CA:TRUE" : "critical,CA:FALSE");
    addExtension(cert.get(), &ctx, NID_key_usage,
                 request.authority ? "critical,keyCertSign,cRLSign,digitalSignature"
                                   : "critical,digitalSignature,keyEncipherment");
    addExtension(cert.get(), &ctx, NID_subject_key_identifier, "hash");
    if (signer != cert.get()) {
        addExtension(cert.get(), &ctx, NID_authority_key_identifier, "keyid:always");
    }
    if (!request.authority || !request.names.empty()) {
        addExtension(cert.get(), &ctx, NID_ext_key_usage, "serverAuth");
    }
    std::string alt;
    for (const std::string& name : request.names) {
        alt += (alt.empty() ? "" : ",") + std::string(isAddress(name) ? "IP:" : "DNS:") + name;
    }
    if (!alt.empty()) {
        addExtension(cert.get(), &ctx, NID_subject_alt_name, alt);
    }
    if (X509_sign(cert.get(), issuer ? issuerKey.get() : key.get(), EVP_sha256()) <= 0) {
        fail("cannot sign the certificate");
    }

    if (PEM_write_bio_PrivateKey(openFile(out.key, "w").get(), key.get(), nullptr, nullptr, 0,
                                 nullptr, nullptr) != 1) {
        fail("cannot write " + out.key);
    }
    if (PEM_write_bio_X509(openFile(out.cert, "w").get(), cert.get()) != 1) {
        fail("cannot write " + out.cert);
    }
}

CertificateFiles writeSelfSigned() {
    QTemporaryDir folder(QDir::tempPath() + "/custovia-sim-tls-XXXXXX");
    if (!folder.isValid()) {
        throw std::runtime_error("cannot make a folder for the certificate: " +
                                 folder.errorString().toStdString());
    }
    folder.setAutoRemove(false);
    CertificateFiles files{folder.filePath("cert.pem").toStdString(),
                           folder.filePath("key.pem").toStdString()};
    CertificateRequest request;
    request.names = {"127.0.0.1", "localhost"};
    // Its own authority: a client can trust exactly this certificate.
    request.authority = true;
    writeCertificate(request, files);
    return files;
}

}  // namespace sim
}  // namespace custovia
