// write_test_certificates FOLDER: writes the certificate set of the TLS tests
// (see TlsTestSupport.h) into FOLDER, for the simulators the Windows tests
// run against.
#include <QString>

#include <cstdio>
#include <exception>

#include "TlsTestSupport.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_test_certificates FOLDER\n");
        return 2;
    }
    try {
        tlstest::Certificates certificates(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "write_test_certificates: %s\n", e.what());
        return 1;
    }
    return 0;
}
