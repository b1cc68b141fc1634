// Process launch on POSIX systems: fork and exec, with a close-on-exec pipe
// that carries the error of a failed exec back to the caller; waiting on a
// process descriptor where the kernel offers one.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmpx.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "tkl/Exception.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

extern char** environ;

namespace tkl {
namespace process {

// Who a process runs as.
struct Identity {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
    std::string name;
    std::string home;
};

namespace {

std::string errorText(int error) {
    return System::getErrorText(static_cast<uint32_t>(error));
}

[[noreturn]] void fail(const char* failure, int error) {
    throw SystemException(failure + errorText(error), SystemException::defaultCode);
}

// The program file that exec would run for `program`: a name with a "/" as
// given, otherwise the first executable file of that name in PATH. Resolved
// before fork so that the child only makes system calls.
bool findProgram(const std::string& program, std::string& file, int& error) {
    if (program.find('/') != std::string::npos) {
        file = program;
        return true;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
    error = ENOENT;
    size_t start = 0;
    for (;;) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            if (::access(candidate.c_str(), X_OK) == 0) {
                file = candidate;
                return true;
            }
            error = EACCES;
        }
        if (end == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
}

std::vector<std::string> environmentFor(const Identity* user) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text(*entry);
        if (user != nullptr && (text.rfind("HOME=", 0) == 0 || text.rfind("USER=", 0) == 0 ||
                                text.rfind("LOGNAME=", 0) == 0)) {
            continue;
        }
        entries.push_back(text);
    }
    if (user != nullptr) {
        entries.push_back("HOME=" + user->home);
        entries.push_back("USER=" + user->name);
        entries.push_back("LOGNAME=" + user->name);
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// Runs in the forked child: only system calls until exec.
[[noreturn]] void runChild(int reportFd, const char* file, char** argv, char** envp,
                           const Identity* user) {
    // A session of its own: the caller's terminal signals do not reach it.
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    bool ready = true;
    if (user != nullptr) {
        ready = ::setgroups(user->groups.size(), user->groups.data()) == 0 &&
                ::setgid(user->gid) == 0 && ::setuid(user->uid) == 0;
    }
    if (ready) {
        ::execve(file, argv, envp);
    }
    int error = errno;
    ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// The user at the active console: the login on the active virtual terminal,
// else the first login on a graphical display.
std::optional<Identity> consoleUser() {
    std::string active;
    std::getline(std::ifstream("/sys/class/tty/tty0/active"), active);
    std::string userName;
    {
        // The login records are read through a process-wide cursor.
        static std::mutex cursor;
        std::lock_guard<std::mutex> lock(cursor);
        ::setutxent();
        while (const utmpx* entry = ::getutxent()) {
            if (entry->ut_type != USER_PROCESS) {
                continue;
            }
            std::string line(entry->ut_line, ::strnlen(entry->ut_line, sizeof entry->ut_line));
            std::string user(entry->ut_user, ::strnlen(entry->ut_user, sizeof entry->ut_user));
            if (!active.empty() && line == active) {
                userName = user;
                break;
            }
            if (userName.empty() && !line.empty() && line[0] == ':') {
                userName = user;
            }
        }
        ::endutxent();
    }
    if (userName.empty()) {
        return std::nullopt;
    }
    passwd record{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwnam_r(userName.c_str(), &record, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    Identity user{record.pw_uid, record.pw_gid, {}, record.pw_name, record.pw_dir};
    int count = 64;
    for (int attempt = 0; attempt < 4; ++attempt) {
        user.groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(record.pw_name, record.pw_gid, user.groups.data(), &count) >= 0) {
            user.groups.resize(static_cast<size_t>(count));
            return user;
        }
    }
    user.groups.assign(1, record.pw_gid);
    return user;
}

int32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// One look at the process: true with its exit code when it has ended.
bool reap(pid_t pid, int flags, int32_t& exitCode) {
    for (;;) {
        int status = 0;
        pid_t result = ::waitpid(pid, &status, flags);
        if (result == pid) {
            exitCode = exitCodeOf(status);
            return true;
        }
        if (result == 0) {
            return false;
        }
        if (errno != EINTR) {
            fail("Error in GetExitCodeProcess(): ", errno);
        }
    }
}

// Waits up to `milliseconds` for the process to end, without reaping it.
void awaitEnd(pid_t pid, int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    auto left = [&] {
        auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return rest.count() > 0 ? static_cast<int>(rest.count()) : 0;
    };
#ifdef SYS_pidfd_open
    int descriptor = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (descriptor >= 0) {
        pollfd entry{descriptor, POLLIN, 0};
        while (::poll(&entry, 1, left()) < 0 && errno == EINTR) {
        }
        ::close(descriptor);
        return;
    }
#endif
    // Without process descriptors: look again in growing steps.
    for (int step = 1; left() > 0; step = std::min(step * 2, 50)) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(step, left())));
    }
}

}  // namespace

System::ProcessHandle spawn(const std::vector<std::string>& args, const Identity* asUser,
                            const char* failure) {
    std::string file;
    int error = ENOENT;
    if (args.empty() || args[0].empty() || !findProgram(args[0], file, error)) {
        fail(failure, error);
    }
    std::vector<std::string> argTexts(args);
    std::vector<std::string> envTexts = environmentFor(asUser);
    std::vector<char*> argv = pointers(argTexts);
    std::vector<char*> envp = pointers(envTexts);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        fail(failure, errno);
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        error = errno;
        ::close(report[0]);
        ::close(report[1]);
        fail(failure, error);
    }
    if (pid == 0) {
        ::close(report[0]);
        runChild(report[1], file.c_str(), argv.data(), envp.data(), asUser);
    }
    ::close(report[1]);
    // The pipe closes without data when exec succeeded.
    int childError = 0;
    ssize_t count;
    while ((count = ::read(report[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (count == static_cast<ssize_t>(sizeof childError)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        fail(failure, childError);
    }
    return pid;
}

}  // namespace process

System::ProcessHandle System::execute(const char* cmdline, int32_t /*showMode*/) {
    std::string text = process::checkedCommandLine(cmdline);
    return process::spawn(process::splitCommandLine(text), nullptr, "Error in CreateProcess(): ");
}

System::ProcessHandle System::executeAsUser(const char* cmdline, int32_t /*showMode*/) {
    process::checkedCommandLine(cmdline);
    std::string text = process::checkedCommandLine(process::withoutQuotes(cmdline).c_str());
    std::optional<process::Identity> user = process::consoleUser();
    // Only a privileged caller can act for another user; anyone else runs the
    // command as themselves.
    const process::Identity* asUser =
        user && ::geteuid() == 0 && user->uid != ::geteuid() ? &*user : nullptr;
    return process::spawn({"/bin/sh", "-c", text}, asUser, "Error in CreateProcessAsUser(): ");
}

int32_t System::waitProcess(ProcessHandle process, int32_t timeout) {
    // 0 and negative ids name process groups to waitpid: never ours to wait on.
    if (process <= 0) {
        process::fail("Error in GetExitCodeProcess(): ", ECHILD);
    }
    auto pid = static_cast<pid_t>(process);
    int32_t exitCode = -1;
    if (timeout < 0) {
        process::reap(pid, 0, exitCode);
        return exitCode;
    }
    if (process::reap(pid, WNOHANG, exitCode) || timeout == 0) {
        return exitCode;
    }
    process::awaitEnd(pid, timeout);
    process::reap(pid, WNOHANG, exitCode);
    return exitCode;
}

void System::closeProcess(ProcessHandle /*process*/) {
    // A process id holds nothing: the wait that returned the exit code
    // reaped the process.
}

}  // namespace tkl
