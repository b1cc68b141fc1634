#pragma once
// Inside of Simulator, shared by its request handling and its control interface.

#include "sim/HttpServer.h"
#include "sim/Simulator.h"
#include "sim/World.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace custovia {
namespace sim {

struct Host {
    std::string address;
    std::unique_ptr<World> world;
    std::mutex worldMutex;
    std::unique_ptr<HttpServer> server;
};

struct Simulator::Impl {
    explicit Impl(Options o);

    // Answers one request of any kind received by `host`.
    void handle(int host, const httplib::Request& req, httplib::Response& res);
    void control(int host, const httplib::Request& req, httplib::Response& res);

    std::uint64_t record(int host, const httplib::Request& req);
    void finish(std::uint64_t seq, int status);

    // What the fault rules make of a request; consumes the rules' counts.
    struct Decision {
        int delayMs = 0;
        bool fault = false;  // `kind` applies
        FaultKind kind = FaultKind::Status;
        int status = 0;
    };
    Decision decide(int host, const std::string& method, const std::string& path);
    bool pause(int ms);        // false when the simulator stops meanwhile
    bool hangUntilReleased();  // false when the simulator stops meanwhile
    int addFault(FaultRule rule, std::string* error);
    bool removeFault(int id);
    std::vector<FaultRule> faultRules() const;
    void clearFaults();
    // Lets hanging requests go on; returns how many were hanging.
    int release();

    Host& host(int index);
    void stopServers();

    Options options;
    int port = 0;
    std::vector<std::unique_ptr<Host>> hosts;
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};

    mutable std::mutex journalMutex;
    mutable std::condition_variable journalCv;
    std::deque<JournalEntry> journal;
    std::uint64_t nextSeq = 1;

    mutable std::mutex faultMutex;
    std::condition_variable faultCv;
    std::vector<FaultRule> faults;
    int nextFaultId = 1;
    std::uint64_t releaseGeneration = 0;
    int hanging = 0;
};

void writeJson(httplib::Response& res, int status, const QJsonObject& body);

}  // namespace sim
}  // namespace custovia
