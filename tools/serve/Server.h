// The gateway's HTTP server: cpp-httplib with request limits, a thread pool
// large enough for the event stream clients, every route, and a bind that
// fails before anything is served.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

#include "serve/Gateway.h"

namespace custovia {
namespace serve {

class Server {
public:
    Server(Gateway& gateway, const Options& options);
    ~Server();

    // Binds the listen address; StartError (failed) when it cannot.
    void bind();
    // "http://ADDR:PORT/" with the port bound.
    std::string url() const;
    // Serves on a thread of its own.
    void start();
    // Stops accepting, ends the event streams; waits up to `waitMs` for the
    // requests in progress. False when some did not end in time.
    bool stop(int waitMs);

private:
    Gateway& gateway_;
    Options options_;
    httplib::Server server_;
    std::atomic<int> streamClients_{0};
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> done_{false};
};

}  // namespace serve
}  // namespace custovia
