// CPU time and memory of one program connected to 1, 10 and 100 monitoring
// hosts through the exported functions, over a window of steady refreshes
// (30 s; CUSTOVIA_BENCH_HOSTS_SECONDS changes it). The hosts are served by a
// separate custovia-sim process (--hosts N), so only the client is measured.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "client/custovia.h"

namespace {

using bench::Clock;
using bench::millisecondsSince;
using bench::residentKiB;

constexpr int kDevices = 3;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 8, "Threads:") == 0) {
            return std::atoi(line.c_str() + 8);
        }
    }
    return 0;
}

// custovia-sim --hosts N as a child process; its first N output lines are
// the hosts' addresses.
struct SimProcess {
    pid_t pid = -1;
    std::vector<std::string> urls;

    bool start(int hosts) {
        int out[2];
        if (pipe(out) != 0) {
            return false;
        }
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            const std::string count = std::to_string(hosts);
            const std::string devices = std::to_string(kDevices);
            execl(CUSTOVIA_SIM_PROGRAM, "custovia-sim", "--hosts", count.c_str(), "--devices",
                  devices.c_str(), "--port", "0", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* lines = fdopen(out[0], "r");
        char line[256];
        while (static_cast<int>(urls.size()) < hosts && std::fgets(line, sizeof(line), lines)) {
            std::string url(line);
            url.erase(url.find_last_not_of("\r\n") + 1);
            urls.push_back(url);
        }
        // Further output of the simulator goes nowhere.
        std::fclose(lines);
        return static_cast<int>(urls.size()) == hosts;
    }

    ~SimProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

std::string hostOf(const std::string& url) {
    std::string rest = url.substr(url.find("://") + 3);
    return rest.substr(0, rest.find(':'));
}

// Connects one host and disconnects it again, so that what a process pays
// once (libcurl and TLS set-up, Qt, the first thread) is not charged to the
// hosts measured afterwards. Returns the resident memory it added.
long warmUp() {
    SimProcess sim;
    if (!sim.start(1)) {
        return -1;
    }
    const long before = residentKiB();
    CustoviaHandle handle = openCli();
    connectCli(handle, sim.urls[0].c_str());
    const std::string host = hostOf(sim.urls[0]);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (getDeviceCount(handle, host.c_str(), nullptr, nullptr) != kDevices &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const long after = residentKiB();
    disconnectCli(handle, host.c_str());
    closeCli(handle);
    return after - before;
}

void load(int hosts, int seconds) {
    SimProcess sim;
    const std::string name = "hosts_load_" + std::to_string(hosts) + "_hosts";
    if (!sim.start(hosts)) {
        std::printf("%s_error: custovia-sim did not start\n", name.c_str());
        return;
    }
    const long rssBefore = residentKiB();
    CustoviaHandle handle = openCli();
    for (const std::string& url : sim.urls) {
        connectCli(handle, url.c_str());
    }
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (const std::string& url : sim.urls) {
        const std::string host = hostOf(url);
        while (getDeviceCount(handle, host.c_str(), nullptr, nullptr) != kDevices &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (Clock::now() >= deadline) {
        std::printf("%s_error: not every host was refreshed\n", name.c_str());
    }

    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    long rssPeak = 0;
    for (int i = 0; i < seconds; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rssPeak = std::max(rssPeak, residentKiB());
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuStart;
    const int threads = threadCount();

    std::vector<double> disconnects;
    for (const std::string& url : sim.urls) {
        const auto begin = Clock::now();
        disconnectCli(handle, hostOf(url).c_str());
        disconnects.push_back(millisecondsSince(begin));
    }
    closeCli(handle);

    std::printf("%s_cpu: %.2f %% of one core\n", name.c_str(), 100.0 * cpu / wall);
    std::printf("%s_cpu_per_host: %.3f %% of one core\n", name.c_str(), 100.0 * cpu / wall / hosts);
    std::printf("%s_memory: %ld KiB\n", name.c_str(), rssPeak - rssBefore);
    std::printf("%s_memory_per_host: %ld KiB\n", name.c_str(), (rssPeak - rssBefore) / hosts);
    std::printf("%s_threads: %d threads\n", name.c_str(), threads);
    std::printf("%s_disconnect_max: %.2f ms\n", name.c_str(),
                *std::max_element(disconnects.begin(), disconnects.end()));
}

}  // namespace

int main() {
    const char* text = std::getenv("CUSTOVIA_BENCH_HOSTS_SECONDS");
    const int seconds = text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 30;
    std::printf("hosts_load_window: %d s\n", seconds);
    std::printf("hosts_load_first_host_once: %ld KiB\n", warmUp());
    for (int hosts : {1, 10, 100}) {
        load(hosts, seconds);
    }
    return 0;
}
