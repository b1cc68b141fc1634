// What the tests that run real programs on loopback share: the wait of
// WaitFor.h counted in seconds, a free port chosen by the system, and a
// temporary folder removed with everything in it.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "WaitFor.h"

namespace loopback_test {

using Clock = std::chrono::steady_clock;

// Waits until `done` holds or `seconds` pass; true when it held.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 20) {
    return testsupport::waitFor(done, std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
}

// A port nobody listens on right now, chosen by the system.
inline int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// A temporary folder under /tmp named after `prefix`, removed with
// everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "custovia-test") {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        path_ = mkdtemp(&pattern[0]) ? pattern : std::string();
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::system(("rm -rf '" + path_ + "'").c_str());
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name, const std::string& content) const {
        std::string p = path_ + "/" + name;
        std::ofstream(p) << content;
        return p;
    }
    // Writes an executable shell script and returns its path.
    std::string script(const std::string& name, const std::string& body) const {
        std::string p = file(name, "#!/bin/sh\n" + body + "\n");
        chmod(p.c_str(), 0755);
        return p;
    }
    // The content of file `name`, empty when there is none.
    std::string read(const std::string& name) const {
        std::ifstream in(path_ + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

}  // namespace loopback_test
