#pragma once
// Monitoring service simulator: a real HTTP server that answers every request
// of the monitoring client with simulated UPS units, keeps a journal of what it
// received, and injects faults on demand. Usable inside a test process or as
// the custovia-sim program.
//
// Thread safety: every public operation may be called from any thread while
// the simulator serves.

#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace custovia {
namespace sim {

// What an injected fault does to a matching request.
enum class FaultKind {
    Delay,      // answer normally after delayMs
    Hang,       // read the request and never answer, until released or stopped
    Status,     // answer with `status` and a small JSON error body
    Malformed,  // answer 200 with a body that is not valid JSON
    Truncated,  // announce the full body, send half of it, close the connection
    Drop,       // close the connection without sending anything
};

const char* faultKindName(FaultKind kind);
bool faultKindFromName(const std::string& name, FaultKind* kind);

// One fault rule. A rule matches a request of the monitoring interface (never
// one of the control interface) when the method matches (empty: any) and the
// path matches: `prefix` is compared with the start of the request path, and
// a prefix without a leading "/" also with the start of the path below the
// interface root ("device/" matches "/api/device/X"); `regex` (Perl syntax)
// is searched in the request path. Both empty: every request. `count` limits how many
// requests the rule affects (-1: unlimited); a used-up rule stays listed with
// count 0 and no longer matches.
struct FaultRule {
    FaultKind kind = FaultKind::Status;
    std::string prefix;
    std::string regex;
    std::string method;
    int status = 500;
    int delayMs = 0;
    int count = -1;
    int host = -1;  // index of the served address (see Options::hosts); -1: all
    int id = 0;     // assigned by addFault

    // Parses the command-line form KIND[=VALUE][*COUNT][@PREFIX|~REGEX], for
    // example "status=503*3@notifycfg", "delay=250", "hang~/shutdown$".
    // VALUE is the status for `status` and the milliseconds for `delay`.
    static bool parse(const std::string& text, FaultRule* rule, std::string* error);
    QJsonObject toJson() const;
    static bool fromJson(const QJsonObject& o, FaultRule* rule, std::string* error);
};

// One received request of the monitoring interface.
struct JournalEntry {
    std::uint64_t seq = 0;  // 1, 2, ... in arrival order, across all hosts
    int host = 0;           // index of the address that received it
    std::string method;
    std::string path;   // decoded path, without the query
    std::string query;  // raw query text, without "?"
    std::string body;
    std::string userAgent;
    std::string accept;
    std::string contentType;
    int status = 0;           // status answered; 0 while unanswered or when no answer was sent
    std::int64_t timeMs = 0;  // wall clock at arrival, milliseconds since 1970
    QJsonObject toJson() const;
};

// Most hosts one simulator serves, and the loopback address of host `index`
// when it serves several: 127.0.0.1 ... 127.0.0.254, then 127.0.1.1 ...
constexpr int kMaxHosts = 254 * 16;
std::string hostAddress(int index);

struct Options {
    std::string address = "127.0.0.1";  // with hosts > 1 see hostAddress()
    int port = 0;                       // 0: chosen by the system
    int hosts = 1;                      // independent services on consecutive addresses
    int devices = 3;                    // devices of each service's own computer
    int computers = 1;                  // remote computers each service knows
    int remoteDevices = 2;              // devices of each remote computer
    std::uint64_t seed = 1;             // same seed, same world
    // Simulated time: by default it follows the wall clock (times `speed`).
    // With realTime false it stands still and moves only by advance().
    bool realTime = true;
    double speed = 1.0;
    // Simulated time at start, milliseconds since 1970; -1: the wall clock.
    std::int64_t startTimeMs = -1;
    std::string apiRoot = "api";  // the "uri" the service announces in "mon"
    bool outage = false;          // start with the mains lost on every device
    int outageEverySec = 0;       // scheduled outages: period in simulated seconds (0: none)
    int outageLengthSec = 30;     // and their length
    std::vector<FaultRule> faults;
    // Set: every address serves HTTPS with this certificate and key (PEM
    // files), control interface included; start() fails when they cannot be used.
    std::string tlsCert;
    std::string tlsKey;
    std::size_t journalLimit = 20000;  // older entries are dropped beyond this
    // Called on the serving thread once a request of the monitoring interface
    // is answered (status 0: closed without an answer).
    std::function<void(const JournalEntry&)> onAnswered;
};

class Simulator {
public:
    explicit Simulator(Options options = Options());
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds every address and starts serving. Throws std::runtime_error with a
    // message naming the address and the reason (for example a busy port).
    void start();
    // Stops serving and returns promptly, also while requests hang: hanging
    // and delayed requests are ended without an answer, open connections closed.
    void stop();
    bool isRunning() const;

    int port() const;
    std::string address(int host = 0) const;
    std::string url(int host = 0) const;  // "http://127.0.0.1:PORT" (https with TLS)
    int hostCount() const;
    const Options& options() const;

    // Journal of received requests, oldest first.
    std::vector<JournalEntry> journal() const;
    std::vector<JournalEntry> journalSince(std::uint64_t seq) const;  // entries with seq > seq
    void clearJournal();
    // Waits until at least `count` requests with seq > `since` have arrived;
    // true when reached in time.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout,
                         std::uint64_t since = 0) const;
    std::uint64_t lastSeq() const;

    // Faults. addFault returns the rule's id.
    int addFault(FaultRule rule);
    bool removeFault(int id);
    void clearFaults();  // also releases hanging requests
    std::vector<FaultRule> faults() const;
    void releaseHangs();  // hanging requests go on and are answered normally
    int hangingCount() const;

    // The simulated world of one host.
    // Mains lost (true) or back (false), for one device or (empty) every device
    // of every computer of the host.
    bool setOutage(bool on, const std::string& device = std::string(), int host = 0);
    // Moves simulated time forward in steps of one second.
    void advance(int seconds, int host = -1);
    std::vector<std::string> deviceIds(const std::string& computer = "localhost",
                                       int host = 0) const;
    std::vector<std::string> computerIds(int host = 0) const;  // remote computers' ips
    // Changes a device the way the control interface does (load, charge,
    // temperature, connected, family, model, failures); false when unknown or invalid.
    bool changeDevice(const std::string& device, const QJsonObject& changes,
                      std::string* error = nullptr, int host = 0);
    std::vector<std::string> addDevices(int count, const std::string& computer = "localhost",
                                        int host = 0);
    // Everything the host knows, as the control interface's state answer.
    QJsonObject snapshot(int host = 0) const;

    // The inside, shared by the simulator's own source files (SimulatorImpl.h).
    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

}  // namespace sim
}  // namespace custovia
