// Wall time of `custovia status` against a service with 100 units, from the
// start of the process to its end: what a user waits for at the prompt.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SimWorld.h"

namespace {

// Runs the tool once with its output thrown away; its exit status.
int runStatus(const std::string& url) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(CUSTOVIA_CLI_PROGRAM, "custovia", "--host", url.c_str(), "status",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace

int main() {
    custovia::sim::Simulator sim(bench::world(100));
    sim.start();
    std::vector<double> times;
    int failures = 0;
    // A slow tool (seconds per run) gets fewer runs.
    for (int i = 0; i < 20 && (i < 3 || times.back() < 1000); ++i) {
        auto begin = bench::Clock::now();
        failures += runStatus(sim.url()) != 0;
        times.push_back(bench::millisecondsSince(begin));
    }
    std::printf("cli_status_100_devices_median: %.1f ms\n", bench::median(times));
    std::printf("cli_status_100_devices_p90: %.1f ms\n", bench::percentile(times, 0.9));
    if (failures > 0) {
        std::printf("cli_status_error: %d runs\n", failures);
    }
    return failures > 0 ? 1 : 0;
}
