// One custovia-serve gateway connected to 1,000 monitoring hosts of 4 units
// (a separate custovia-sim --hosts 1000 on 127.0.0.1 ... 127.0.3.238), as
// started without options (it chooses its refresh period by the number of
// hosts): its CPU share of one core over a window of steady refreshes (at
// least 30 s; CUSTOVIA_BENCH_SERVE_SECONDS changes it), the requests per
// second the refreshes send and the CPU time per request, its resident
// memory, the time of one /metrics scrape (plain and compressed, read in
// large blocks, and as cpp-httplib's client reads it), how many scrapes one
// client gets answered per second, and the memory after several scrapers at
// once. Then a second gateway with the library's own period (--refresh 3;
// CUSTOVIA_BENCH_SERVE_REFRESH changes it, 0 leaves it out) gives the same
// refresh figures: the CPU share follows the requests per second.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

using bench::Clock;
using bench::millisecondsSince;

constexpr int kHosts = 1000;
constexpr int kDevices = 4;

// A program run as a child process with its standard output on a pipe.
struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;

    bool start(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            std::vector<char*> argv;
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        out = fdopen(fds[0], "r");
        return pid > 0;
    }
    std::string line() {
        char buf[512];
        if (!out || !std::fgets(buf, sizeof buf, out)) {
            return std::string();
        }
        std::string l(buf);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) {
            l.pop_back();
        }
        return l;
    }
    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        if (out) {
            std::fclose(out);
            out = nullptr;
        }
    }
};

// User and system CPU seconds of a process so far.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) {
            utime = std::stod(field);
        } else if (i == 15) {
            stime = std::stod(field);
            break;
        }
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// One GET of `path` on 127.0.0.1:`port` read to the end with large reads,
// as a scraper that reads its socket in big blocks does; the bytes received
// (headers and body as sent), 0 on a failure. A client that reads in small
// blocks with a poll before each (cpp-httplib's) spends more of its own time
// on 20 MB than the gateway takes to write them, so both are measured.
std::size_t rawGet(int port, const std::string& path, bool gzip) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                          (gzip ? "Accept-Encoding: gzip\r\n" : "") + "Connection: close\r\n\r\n";
    std::size_t total = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        std::vector<char> buf(1 << 20);
        ssize_t n;
        while ((n = recv(fd, buf.data(), buf.size(), 0)) > 0) {
            total += static_cast<std::size_t>(n);
        }
        // The last chunk of a chunked body, or nothing was sent whole.
        if (n < 0 || total < 5) {
            total = 0;
        }
    }
    close(fd);
    return total;
}

// Starts a gateway on every host of the file with the refresh period (0:
// its default) and waits until every host is up; `url` is where it serves
// (no final slash), `period` the refresh period it reports.
bool startGateway(Program& gateway, const std::string& hostsFile, int refreshSeconds,
                  std::string* url, int* period) {
    std::vector<std::string> args = {CUSTOVIA_SERVE_PROGRAM, "--listen", "127.0.0.1:0",
                                     "--hosts-file", hostsFile};
    if (refreshSeconds > 0) {
        args.push_back("--refresh");
        args.push_back(std::to_string(refreshSeconds));
    }
    gateway.start(args);
    *url = gateway.line();
    if (url->empty()) {
        gateway.stop();
        return false;
    }
    url->pop_back();  // the final slash
    httplib::Client client(*url);
    client.set_read_timeout(30, 0);
    auto begin = Clock::now();
    while (millisecondsSince(begin) < 180000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        auto r = client.Get("/healthz");
        const QJsonObject health =
            r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object()
              : QJsonObject();
        if (health["hostsUp"].toInt() == kHosts) {
            *period = static_cast<int>(std::lround(health["refreshSeconds"].toDouble()));
            std::printf("serve_1000_hosts_refresh_period%s: %d s\n",
                        refreshSeconds == 0 ? "" : "_given", *period);
            std::printf("serve_1000_hosts_ready_time%s: %.1f s\n",
                        refreshSeconds == 0 ? "" : "_given", millisecondsSince(begin) / 1000);
            return true;
        }
    }
    gateway.stop();
    return false;
}

// Requests the library has sent to every host so far, from the health
// records; -1 when the gateway does not answer.
double requestsSent(httplib::Client& client) {
    auto r = client.Get("/api/v1/hosts");
    if (!r || r->status != 200) {
        return -1;
    }
    double sum = 0;
    const QJsonArray hosts =
        QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object()["hosts"].toArray();
    for (const QJsonValue& host : hosts) {
        sum += host.toObject()["health"].toObject()["requests"].toDouble();
    }
    return sum;
}

// CPU share over at least `window` seconds of steady refreshes, nobody
// scraping, the requests per second sent meanwhile and the CPU time per
// request. The hosts started together refresh in step, in one burst per
// period: the window is a whole number of periods, so that it holds as many
// bursts wherever it starts.
void reportRefresh(const Program& gateway, httplib::Client& client, int window, int period,
                   const std::string& suffix) {
    window = (window + period - 1) / period * period;
    // A read of every host's count takes a while on a busy gateway: each
    // count is taken as of the middle of its read.
    auto r0 = Clock::now();
    const double requests0 = requestsSent(client);
    const auto middle0 = r0 + (Clock::now() - r0) / 2;
    const double cpu0 = cpuSeconds(gateway.pid);
    auto w0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(window));
    const double cpu = cpuSeconds(gateway.pid) - cpu0;
    const double seconds = millisecondsSince(w0) / 1000;
    auto r1 = Clock::now();
    const double requests = requestsSent(client) - requests0;
    const auto middle1 = r1 + (Clock::now() - r1) / 2;
    const double span = std::chrono::duration<double>(middle1 - middle0).count();
    const char* name = suffix.c_str();
    std::printf("serve_1000_hosts_cpu%s: %.1f %% of one core (%d s window)\n", name,
                cpu / seconds * 100, window);
    if (requests0 >= 0 && requests > 0) {
        const double perSecond = requests / span;
        std::printf("serve_1000_hosts_requests%s: %.0f per s\n", name, perSecond);
        std::printf("serve_1000_hosts_cpu_per_request%s: %.1f us\n", name,
                    cpu / seconds / perSecond * 1e6);
    }
}

int fail(const char* what) {
    std::fprintf(stderr, "serve_load: %s\n", what);
    std::printf("serve_load_error: 1 %s\n", what);
    return 1;
}

}  // namespace

int main() {
    const char* env = std::getenv("CUSTOVIA_BENCH_SERVE_SECONDS");
    int window = env ? std::atoi(env) : 30;

    Program sim;
    if (!sim.start({CUSTOVIA_SIM_PROGRAM, "--port", "0", "--hosts", std::to_string(kHosts),
                    "--devices", std::to_string(kDevices), "--computers", "0"})) {
        return fail("custovia-sim did not start");
    }
    char folder[] = "/tmp/custovia-bench-serve-XXXXXX";
    std::string dir = mkdtemp(folder);
    std::string hostsFile = dir + "/hosts";
    {
        std::ofstream hosts(hostsFile);
        for (int i = 0; i < kHosts; ++i) {
            std::string url = sim.line();
            if (url.empty()) {
                sim.stop();
                return fail("custovia-sim gave fewer addresses than hosts");
            }
            hosts << url << "\n";
        }
    }
    Program gateway;
    std::string url;
    int period = 0;
    if (!startGateway(gateway, hostsFile, 0, &url, &period) || period < 1) {
        sim.stop();
        return fail("custovia-serve did not start, or not every host came up within 180 s");
    }
    httplib::Client client(url);
    client.set_read_timeout(30, 0);
    reportRefresh(gateway, client, window, period, "");
    std::printf("serve_1000_hosts_rss: %.1f MiB\n", residentKiB(gateway.pid) / 1024.0);

    // Scrapes one after another from one client.
    int port = std::atoi(url.c_str() + url.rfind(':') + 1);
    std::vector<double> times;
    std::vector<double> gzipTimes;
    std::vector<double> httplibTimes;
    std::size_t size = 0;
    std::size_t gzipSize = 0;
    auto s0 = Clock::now();
    while (millisecondsSince(s0) < 5000 || times.size() < 5) {
        auto t = Clock::now();
        std::size_t n = rawGet(port, "/metrics", false);
        if (n == 0) {
            gateway.stop();
            sim.stop();
            return fail("a /metrics scrape failed");
        }
        times.push_back(millisecondsSince(t));
        size = n;
    }
    double rate = times.size() / (millisecondsSince(s0) / 1000);
    // As Prometheus asks: compressed.
    for (int i = 0; i < 5; ++i) {
        auto t = Clock::now();
        gzipSize = rawGet(port, "/metrics", true);
        gzipTimes.push_back(millisecondsSince(t));
    }
    for (int i = 0; i < 5; ++i) {
        auto t = Clock::now();
        auto r = client.Get("/metrics");
        if (!r || r->status != 200) {
            gateway.stop();
            sim.stop();
            return fail("a /metrics scrape failed");
        }
        httplibTimes.push_back(millisecondsSince(t));
    }
    std::printf("serve_metrics_scrape_time: %.1f ms (median of %zu)\n", bench::median(times),
                times.size());
    std::printf("serve_metrics_scrape_gzip_time: %.1f ms (median of %zu)\n",
                bench::median(gzipTimes), gzipTimes.size());
    std::printf("serve_metrics_scrape_httplib_client_time: %.1f ms (median of %zu)\n",
                bench::median(httplibTimes), httplibTimes.size());
    std::printf("serve_metrics_scrapes: %.1f per s\n", rate);
    std::printf("serve_metrics_size: %.0f KiB\n", size / 1024.0);
    std::printf("serve_metrics_gzip_size: %.0f KiB\n", gzipSize / 1024.0);
    std::printf("serve_1000_hosts_rss_after_scrapes: %.1f MiB\n",
                residentKiB(gateway.pid) / 1024.0);

    // Several scrapers at once, three rounds: memory stays where it was.
    long peak = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::thread> scrapers;
        for (int i = 0; i < 8; ++i) {
            scrapers.emplace_back([port] { rawGet(port, "/metrics", false); });
        }
        for (auto& t : scrapers) {
            t.join();
        }
        peak = std::max(peak, residentKiB(gateway.pid));
    }
    std::printf("serve_1000_hosts_rss_after_concurrent_scrapes: %.1f MiB (8 at once, 3 rounds)\n",
                peak / 1024.0);
    gateway.stop();

    const char* given = std::getenv("CUSTOVIA_BENCH_SERVE_REFRESH");
    const int secondPeriod = given ? std::atoi(given) : 3;
    if (secondPeriod > 0) {
        if (!startGateway(gateway, hostsFile, secondPeriod, &url, &period)) {
            sim.stop();
            return fail("custovia-serve --refresh did not start, or hosts stayed down");
        }
        httplib::Client second(url);
        second.set_read_timeout(30, 0);
        reportRefresh(gateway, second, window, period, "_refresh_" + std::to_string(period) + "s");
        gateway.stop();
    }
    std::remove(hostsFile.c_str());
    rmdir(dir.c_str());
    sim.stop();
    return 0;
}
