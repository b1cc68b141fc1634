#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "cli/Process.h"

extern char** environ;

namespace custovia {
namespace cli {

namespace {

// This environment with `env` set on top.
std::vector<std::string> environment(const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& v : env) {
            replaced = replaced || v.first == name;
        }
        if (!replaced) {
            out.push_back(entry);
        }
    }
    for (const auto& v : env) {
        out.push_back(v.first + "=" + v.second);
    }
    return out;
}

}  // namespace

ProgramResult runProgram(const std::string& program,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         int64_t timeoutMs) {
    ProgramResult r;
    std::vector<std::string> entries = environment(env);
    std::vector<char*> envp;
    for (auto& e : entries) {
        envp.push_back(&e[0]);
    }
    envp.push_back(nullptr);
    std::string name = program;
    char* argv[] = {&name[0], nullptr};

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that a time-out ends what it started too;
    // default signal handling, whatever this process has set.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, program.c_str(), &files, &attr, argv, envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) {
        r.error = std::strerror(rc);
        return r;
    }
    r.started = true;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto step = std::chrono::milliseconds(1);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            r.error = std::strerror(errno);
            return r;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            r.timedOut = true;
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return r;
        }
        // Most hooks end within milliseconds; the step grows to 50 ms after that.
        std::this_thread::sleep_for(step);
        step = std::min(step * 2, std::chrono::milliseconds(50));
    }
    if (WIFEXITED(status)) {
        r.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        r.signal = WTERMSIG(status);
    }
    return r;
}

}  // namespace cli
}  // namespace custovia
