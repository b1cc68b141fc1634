// One refresh cycle of 100 devices over HTTPS against the same over plain
// HTTP, and the TLS handshakes (new connections) of 20 cycles: the client
// keeps its connection, so one is the aim.
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"
#include "monit/MonitClient.h"
#include "sim/Simulator.h"
#include "sim/TlsCertificates.h"

namespace {

using bench::Clock;
using bench::median;
using bench::millisecondsSince;

constexpr int kDevices = 100;
constexpr int kCycles = 20;

struct Figures {
    double first = 0;      // ms of the first cycle (interface and models too)
    double cycle = 0;      // median ms of the others
    long connections = 0;  // over all kCycles cycles
    std::size_t cached = 0;
};

Figures measure(const custovia::sim::Options& options) {
    custovia::sim::Simulator sim(options);
    sim.start();
    custovia::MonitClient client;
    client.setRefreshInterval(3600 * 1000);
    client.start(sim.url().c_str());
    Figures f;
    Clock::time_point begin = Clock::now();
    client.refreshNow();
    f.first = millisecondsSince(begin);
    std::vector<double> times;
    for (int i = 1; i < kCycles; ++i) {
        begin = Clock::now();
        client.refreshNow();
        times.push_back(millisecondsSince(begin));
    }
    f.cycle = median(times);
    f.connections = client.connectionCount();
    f.cached = client.getDevices().size();
    client.stop();
    return f;
}

}  // namespace

int main() {
    QTemporaryDir folder;
    custovia::sim::CertificateFiles files{folder.filePath("cert.pem").toStdString(),
                                          folder.filePath("key.pem").toStdString()};
    custovia::sim::CertificateRequest request;
    request.names = {"127.0.0.1"};
    custovia::sim::writeCertificate(request, files);

    custovia::sim::Options plain = bench::world(kDevices);
    custovia::sim::Options secure = plain;
    secure.tlsCert = files.cert;
    secure.tlsKey = files.key;
    Figures http = measure(plain);
    Figures https = measure(secure);

    std::printf("tls_cycle_100_devices_http_time: %.2f ms\n", http.cycle);
    std::printf("tls_cycle_100_devices_https_time: %.2f ms\n", https.cycle);
    std::printf("tls_cycle_100_devices_https_extra: %.1f %%\n",
                (https.cycle / http.cycle - 1.0) * 100.0);
    std::printf("tls_cycle_100_devices_https_first_time: %.2f ms\n", https.first);
    std::printf("tls_cycle_handshakes: %ld handshakes (over %d cycles)\n", https.connections,
                kCycles);
    if (http.cached != kDevices || https.cached != kDevices) {
        std::printf("tls_cycle_error: %zu and %zu devices cached\n", http.cached, https.cached);
    }
    return 0;
}
