// Simulator throughput from one keep-alive client, the client's own CPU time
// per request (what any libcurl client pays for one request over loopback:
// the floor under the library's refresh), and the time of one refresh
// cycle's worth of requests against 100 devices.
#include "sim/Simulator.h"

#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

size_t discard(char*, size_t size, size_t n, void*) {
    return size * n;
}

class KeepAlive {
public:
    KeepAlive() : curl_(curl_easy_init()) {
        headers_ = curl_slist_append(nullptr, "Accept: application/json");
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &discard);
    }
    ~KeepAlive() {
        curl_slist_free_all(headers_);
        curl_easy_cleanup(curl_);
    }
    bool get(const std::string& url) {
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        long status = 0;
        bool ok = curl_easy_perform(curl_) == CURLE_OK;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return ok && status == 200;
    }

private:
    CURL* curl_;
    curl_slist* headers_;
};

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of the calling thread (user and system), in microseconds.
double threadCpuUs() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    auto us = [](const timeval& t) { return t.tv_sec * 1e6 + static_cast<double>(t.tv_usec); };
    return us(u.ru_utime) + us(u.ru_stime);
}

}  // namespace

int main() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    custovia::sim::Options options;
    options.devices = 100;
    custovia::sim::Simulator sim(options);
    sim.start();
    std::string api = sim.url() + "/api/";
    std::vector<std::string> ids = sim.deviceIds();
    KeepAlive client;

    for (int i = 0; i < 200; ++i) {  // warm up
        client.get(api + "device/" + ids[0]);
    }
    const int requests = 10000;
    int failures = 0;
    auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = threadCpuUs();
    for (int i = 0; i < requests; ++i) {
        failures += client.get(api + "device/" + ids[static_cast<std::size_t>(i) % 3]) ? 0 : 1;
    }
    double rate = requests / seconds(std::chrono::steady_clock::now() - t0);
    const double cpuPerRequest = (threadCpuUs() - cpu0) / requests;
    std::printf("sim_requests_per_second: %.0f req/s\n", rate);
    std::printf("client_cpu_per_request: %.1f us\n", cpuPerRequest);

    // The requests of one refresh cycle against 100 devices and one computer.
    auto t1 = std::chrono::steady_clock::now();
    client.get(api + "computer");
    client.get(api.substr(0, api.size() - 1));
    client.get(api + "device");
    for (const auto& id : ids) {
        std::string dev = api + "device/" + id;
        for (const char* tail : {"", "/mailcfg", "/dialcfg", "/shutcfg"}) {
            failures += client.get(dev + tail) ? 0 : 1;
        }
    }
    client.get(api + "notifycfg");
    std::printf("sim_refresh_cycle_100_devices: %.1f ms\n",
                seconds(std::chrono::steady_clock::now() - t1) * 1000);
    if (failures) {
        std::printf("sim_failed_requests: %d requests\n", failures);
    }
    sim.stop();
    curl_global_cleanup();
    return failures ? 1 : 0;
}
