#include "serve/Server.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "serve/Api.h"
#include "serve/EventStream.h"
#include "serve/Page.h"

namespace custovia {
namespace serve {

namespace {

constexpr int kMaxStreams = 32;
constexpr std::size_t kMaxBody = 64 * 1024;

}  // namespace

Server::Server(Gateway& gateway, const Options& options) : gateway_(gateway), options_(options) {
    // Each event stream client keeps one thread; the others serve requests.
    server_.new_task_queue = [] { return new httplib::ThreadPool(kMaxStreams + 8); };
    server_.set_payload_max_length(kMaxBody);
    server_.set_read_timeout(10, 0);
    // A stream client whose socket stays full this long is dropped.
    server_.set_write_timeout(2, 0);
    server_.set_keep_alive_max_count(100);
    // SO_REUSEADDR only: cpp-httplib's default also sets SO_REUSEPORT, which
    // would let a second gateway share a port that is in use instead of
    // failing to start.
    server_.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    addPageRoutes(server_);
    addApiRoutes(server_, gateway_, options_);
    StreamLimits limits;
    limits.maxClients = kMaxStreams;
    addEventStream(server_, gateway_.events(), streamClients_, limits);
    server_.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            res.set_content("{\"error\":\"" +
                                std::string(res.status == 404 ? "not found" : "bad request") +
                                "\",\"status\":" + std::to_string(res.status) + "}\n",
                            "application/json");
        }
    });
}

Server::~Server() {
    stop(1000);
}

void Server::bind() {
    errno = 0;
    if (options_.listen.port == 0) {
        port_ = server_.bind_to_any_port(options_.listen.host);
    } else {
        port_ = server_.bind_to_port(options_.listen.host, options_.listen.port)
                    ? options_.listen.port
                    : -1;
    }
    if (port_ <= 0) {
        int error = errno;
        throw StartError("cannot listen on " + options_.listen.host + ":" +
                             std::to_string(options_.listen.port) +
                             (error ? std::string(": ") + std::strerror(error) : std::string()),
                         kExitFailed);
    }
}

std::string Server::url() const {
    const std::string& h = options_.listen.host;
    std::string host = h.find(':') != std::string::npos ? "[" + h + "]" : h;
    return "http://" + host + ":" + std::to_string(port_) + "/";
}

void Server::start() {
    thread_ = std::thread([this] {
        server_.listen_after_bind();
        done_ = true;
    });
}

bool Server::stop(int waitMs) {
    gateway_.events().stop();
    server_.stop();
    if (!thread_.joinable()) {
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!done_ && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!done_) {
        thread_.detach();
        return false;
    }
    thread_.join();
    return true;
}

}  // namespace serve
}  // namespace custovia
