// Helpers of the TLS tests. The certificates are, made at run time in a temporary folder:
// an authority, a second one, and server certificates for 127.0.0.1 and
// localhost (issued by the first authority, expired, issued for another
// name, self-signed). The error log collects the monitoring client's error
// lines in a file.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/TlsCertificates.h"
#include "tkl/Logger.h"

namespace tlstest {

struct Certificates {
    using Files = custovia::sim::CertificateFiles;

    QTemporaryDir temporary;
    QString folder;  // where the files are: `into`, or a temporary folder
    Files ca, otherCa, good, expired, otherName, selfSigned;

    std::string path(const QString& file) const { return (folder + "/" + file).toStdString(); }
    Files files(const char* name) const {
        return {path(QString(name) + ".pem"), path(QString(name) + ".key")};
    }

    explicit Certificates(const QString& into = QString())
        : folder(into.isEmpty() ? temporary.path() : into) {
        custovia::sim::CertificateRequest authority;
        authority.authority = true;
        authority.commonName = "test authority";
        ca = files("ca");
        writeCertificate(authority, ca);
        authority.commonName = "another authority";
        otherCa = files("other-ca");
        writeCertificate(authority, otherCa);

        custovia::sim::CertificateRequest server;
        server.names = {"127.0.0.1", "localhost"};
        good = files("good");
        writeCertificate(server, good, &ca);
        selfSigned = files("self-signed");
        writeCertificate(server, selfSigned);
        custovia::sim::CertificateRequest other = server;
        other.names = {"other.example"};
        otherName = files("other-name");
        writeCertificate(other, otherName, &ca);
        custovia::sim::CertificateRequest old = server;
        old.notBeforeDays = -30;
        old.notAfterDays = -1;
        expired = files("expired");
        writeCertificate(old, expired, &ca);
    }
};

// The "monitclient" channel writes its lines from `level` up to a file in
// `folder` while this object lives.
class ErrorLog {
public:
    explicit ErrorLog(const QString& folder, tkl::LogLevel level = tkl::LogLevel::Error)
        : path_((folder + "/monitclient.log").toStdString()) {
        std::remove(path_.c_str());
        tkl::LoggerOptions options("monitclient", level, tkl::LogOutput::File);
        options.fileName = path_;
        tkl::Logger::getLogger("monitclient")->setOptions(options);
    }
    ~ErrorLog() { tkl::Logger::getLogger("monitclient")->setOptions(tkl::LoggerOptions()); }
    std::string text() const {
        std::ifstream in(path_);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    std::string path_;
};

}  // namespace tlstest
