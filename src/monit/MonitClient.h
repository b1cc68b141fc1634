// custovia::MonitClient: the client of the monitoring service of one host.
//
// It owns one HTTP client (one connection, reused), the service address, the
// "monitclient" logger, a refresh timer and the cache the timer fills. Reads
// answer from the cache and never wait for the network; device commands and
// settings updates send their request at once.
//
// custovia::MonitClientTimer runs one refresh cycle per tick on its thread.
//
// A refresh cycle runs on the timer's thread, or on a caller's thread through
// refreshWithin() or refreshNow(); never two at a time. Its end updates the
// host's health record and hands the changes it saw to the event sink.
//
// Locks, always taken in this order and never the other way round:
//   cycle lock    held by the cycle that runs.
//   cache lock    the timer thread's mutex; guards the cache. Reads and cache
//                 updates hold it briefly; commands hold it across their
//                 request. It acts only while the client runs.
//   request lock  one transfer at a time on the HTTP client. The refresh
//                 holds it only for a transfer, never while it waits for the
//                 cache lock.
//
// Failures:
//   every request        tkl::IOException -320, after an Error log line
//   commands             tkl::NotFoundException -302 (see the operations)
//   device id null/empty tkl::InvalidArgumentException -202, nothing sent
//   cached reads         tkl::NotFoundException -302 while nothing is cached
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "monit/MonitChanges.h"
#include "monit/MonitClientBase.h"
#include "monit/MonitClientComputer.h"
#include "monit/MonitEvent.h"
#include "tkl/Http.h"
#include "tkl/Json.h"
#include "tkl/Thread.h"

namespace custovia {

class MonitClient;

// The refresh timer of a client: every tick runs one refresh cycle.
class MonitClientTimer : public tkl::Timer {
public:
    explicit MonitClientTimer(MonitClient* owner);
    ~MonitClientTimer() override;

    void onTimeout(tkl::Timer* timer) override;

    MonitClient* owner;
};

class MonitClient : public MonitClientBase {
public:
    using ComputerTable = std::map<std::string, MonitClientComputer>;

    static constexpr uint32_t defaultRefreshInterval = 3000;  // ms between cycles
    static constexpr int32_t requestTimeout = 30000;          // ms per request

    // Not started; no request is sent.
    MonitClient();
    ~MonitClient() override;

    void stop() override;
    bool isRunning() override;
    tkl::Logger* getLogger(const char* name) override;
    // Stops first when running, then refreshes every interval; the first
    // cycle runs one interval after start. Returns once the refresh thread
    // runs, so the cache lock is effective from then on. Raises
    // tkl::SystemException (-305) when the thread cannot be created.
    void start(const Url& url) override;
    void start(const char* url) override;
    Url getUrl() override;

    // Cached reads and commands for a computer (null or empty: the service's
    // own computer).
    ComputerMap getComputers() override;
    Computer getComputer(const char* computer) override;
    IdList getDeviceIdList(const char* computer) override;
    DeviceMap getDevices(const char* computer) override;
    Device getDevice(const char* computer, const char* device) override;
    void deleteDevice(const char* computer, const char* device) override;
    DeviceConfig getDeviceConfig(const char* computer, const char* device) override;
    // Sends its request at once (model descriptions are not cached by model).
    DeviceConfig getDeviceConfigByModel(const char* computer, int family, int model) override;
    RegressiveMap getRegressiveList(const char* computer) override;
    Regressive getRegressive(const char* computer, const char* device) override;
    void changeUser(const char* computer, const char* device, const char* userName,
                    const char* userProd) override;
    void changeColor(const char* computer, const char* device, int red, int green, int blue,
                     bool random) override;
    // The histories are not read from the service: always empty.
    LogEntryList getDeviceLog(const char* computer, const char* device) override;
    LogEntryList getDeviceLogHour(const char* computer, const char* device) override;
    LogEntryList getDeviceLogDay(const char* computer, const char* device) override;
    LogEntryList getDeviceLogMonth(const char* computer, const char* device) override;
    DeviceMailCfg getMailConfig(const char* computer, const char* device) override;
    void updMailConfig(const char* computer, const char* device,
                       const DeviceMailCfg& config) override;
    void mailTest(const char* computer, const char* device) override;
    void cancelMailTest(const char* computer, const char* device) override;
    DeviceDialCfg getDialerConfig(const char* computer, const char* device) override;
    void updDialerConfig(const char* computer, const char* device,
                         const DeviceDialCfg& config) override;
    DeviceShutCfg getShutdownConfig(const char* computer, const char* device) override;
    void updShutdownConfig(const char* computer, const char* device,
                           const DeviceShutCfg& config) override;
    void manualShutdown(const char* computer, const char* device) override;
    void cancelShutdown(const char* computer, const char* device) override;
    void manualDischarge(const char* computer, const char* device) override;
    void setLineSense(const char* computer, const char* device, int value) override;
    void setICBattery(const char* computer, const char* device, int value) override;
    CusConfig getCusConfig(const char* computer) override;
    // A failure of the request is logged and otherwise ignored.
    void updCusConfig(const char* computer, const CusConfig& config) override;
    NotifyConfig getNotifyConfig(const char* computer) override;
    // A failure of the request is logged and otherwise ignored.
    void updNotifyConfig(const char* computer, const NotifyConfig& config) override;

    using MonitClientBase::cancelMailTest;
    using MonitClientBase::cancelShutdown;
    using MonitClientBase::changeColor;
    using MonitClientBase::changeUser;
    using MonitClientBase::deleteDevice;
    using MonitClientBase::getCusConfig;
    using MonitClientBase::getDevice;
    using MonitClientBase::getDeviceConfig;
    using MonitClientBase::getDeviceConfigByModel;
    using MonitClientBase::getDeviceIdList;
    using MonitClientBase::getDeviceLog;
    using MonitClientBase::getDeviceLogDay;
    using MonitClientBase::getDeviceLogHour;
    using MonitClientBase::getDeviceLogMonth;
    using MonitClientBase::getDevices;
    using MonitClientBase::getDialerConfig;
    using MonitClientBase::getMailConfig;
    using MonitClientBase::getNotifyConfig;
    using MonitClientBase::getRegressive;
    using MonitClientBase::getRegressiveList;
    using MonitClientBase::getShutdownConfig;
    using MonitClientBase::mailTest;
    using MonitClientBase::manualDischarge;
    using MonitClientBase::manualShutdown;
    using MonitClientBase::setICBattery;
    using MonitClientBase::setLineSense;
    using MonitClientBase::updCusConfig;
    using MonitClientBase::updDialerConfig;
    using MonitClientBase::updMailConfig;
    using MonitClientBase::updNotifyConfig;
    using MonitClientBase::updShutdownConfig;

    // The cache entry of a computer (null or empty: "localhost"); the caller
    // holds the cache lock. Raises tkl::NotFoundException -302
    // "Computer id <key> not found." when it is not cached.
    MonitClientComputer& computer(const char* id);
    const MonitClientComputer& computer(const char* id) const;
    // buildUrl() with the service address as base.
    std::string urlFor(const std::string& path) const;
    // base + "/" (unless base ends with one) + path without a leading "/".
    static std::string buildUrl(const std::string& base, const std::string& path);

    // The requests of the monitoring interface. Each raises tkl::IOException
    // -320 on any failure (not running, transfer, status other than 200,
    // malformed answer). An empty computer is the service's own computer.
    void getApiUri();
    void getComputerList();
    Computer getVersion(const std::string& computer);
    DeviceMap getDeviceList(const std::string& computer);
    void delDevice(const std::string& computer, const std::string& device);
    // Also updates the cached device (keeping its port) and stores its
    // regressive record; raises std::out_of_range for a device not cached.
    Device getDeviceDetail(const std::string& computer, const std::string& device);
    // Also stores the description as the cached one of the device.
    DeviceConfig getDeviceConfig(const std::string& computer, const std::string& device);
    DeviceConfig getDeviceConfig(const std::string& computer, int family, int model);
    void putDeviceUser(const std::string& computer, const std::string& device,
                       const std::string& userName, const std::string& userProd);
    void putDeviceShutdown(const std::string& computer, const std::string& device);
    void delDeviceShutdown(const std::string& computer, const std::string& device);
    void putDeviceDischarge(const std::string& computer, const std::string& device);
    void putDeviceSetLineSense(const std::string& computer, const std::string& device, int value);
    void putDeviceSetICBattery(const std::string& computer, const std::string& device, int value);
    void putChangeColor(const std::string& computer, const std::string& device, int red, int green,
                        int blue, bool random);
    // The four history requests answer the service's JSON object as it is.
    tkl::JsonObject getDeviceLog(const std::string& computer, const std::string& device);
    tkl::JsonObject getDeviceLogHour(const std::string& computer, const std::string& device);
    tkl::JsonObject getDeviceLogDay(const std::string& computer, const std::string& device);
    tkl::JsonObject getDeviceLogMonth(const std::string& computer, const std::string& device);
    DeviceMailCfg getMailConfig(const std::string& computer, const std::string& device);
    void postMailConfig(const std::string& computer, const std::string& device,
                        const DeviceMailCfg& config);
    void putMailTest(const std::string& computer, const std::string& device);
    void delMailTest(const std::string& computer, const std::string& device);
    DeviceDialCfg getDialerConfig(const std::string& computer, const std::string& device);
    void postDialerConfig(const std::string& computer, const std::string& device,
                          const DeviceDialCfg& config);
    DeviceShutCfg getShutdownConfig(const std::string& computer, const std::string& device);
    void postShutdownConfig(const std::string& computer, const std::string& device,
                            const DeviceShutCfg& config);
    CusConfig getCustoviaConfig(const std::string& computer);
    void postCustoviaConfig(const std::string& computer, const CusConfig& config);
    NotifyConfig getNotifyConfig(const std::string& computer);
    void postNotifyConfig(const std::string& computer, const NotifyConfig& config);

    // Runs one refresh cycle on the calling thread, as a timer tick does,
    // after the cycle in progress (if any) has ended. For tests and
    // measurements.
    void refreshNow();
    // Runs a refresh cycle now on the calling thread; when a cycle is
    // running already, waits for that one instead of starting another.
    // timeoutMs > 0 bounds the wait, also each request's time. Returns 1 when
    // the cycle reached the service and the service's own computer is cached
    // (every read answers), otherwise the code of the cycle's first failed
    // request, or -314 when the time ran out first; the transfer in flight
    // is then aborted. The timer's next cycle follows one interval after the
    // end of this one.
    int32_t refreshWithin(int32_t timeoutMs);
    // The health record, from memory.
    MonitHealth health() const;
    // Failed cycles in a row after which the host counts as unreachable
    // (values below 1 are taken as 1).
    void setUnreachableAfter(int32_t cycles);
    // Receives the changes each cycle sees (set before start()).
    void setEventSink(MonitEventSink sink);
    // Milliseconds between cycles (default 3000); applies from the next wait.
    void setRefreshInterval(uint32_t milliseconds);
    uint32_t refreshInterval() const { return refreshInterval_; }
    // TCP connections the HTTP client has opened so far.
    long connectionCount() const;
    // Certificate checks of HTTPS services (see tkl::HttpClient); set before
    // start().
    void setTlsVerification(const std::string& caFile, bool verifyHost);
    // An identifier as one path segment: characters outside the segment's
    // set percent-encoded, "." and ".." with their dots encoded.
    static std::string pathSegment(const std::string& id);
    // The text with the value of every "...password" JSON member masked.
    static std::string maskPasswords(const std::string& text);

private:
    friend class MonitClientTimer;
    class CacheLock;

    enum class Base { Service, Api };

    using Clock = std::chrono::steady_clock;
    // What one cycle has seen so far: its requests' outcomes and its
    // deadline. Reached through currentRun() by the cycle's own thread only,
    // so that requests of other threads (commands) do not count.
    struct CycleRun {
        const MonitClient* client;
        bool hasDeadline = false;
        Clock::time_point deadline;
        // Set once the deadline ended a request or the cycle.
        bool timedOut = false;
        int32_t succeeded = 0;
        int32_t failed = 0;
        int32_t firstCode = 0;
        int32_t lastCode = 0;
        std::string lastError;
    };
    static thread_local CycleRun* currentRun_;
    CycleRun* currentRun() const;

    // A timer tick: one refresh cycle, unless one runs already.
    void refresh(tkl::Timer* timer);
    // Runs one cycle with its accounting; the caller has claimed the cycle
    // (cycleActive_). Returns its result as refreshWithin() does; with
    // restartTimer the timer's wait begins again at the cycle's end.
    int32_t runClaimed(tkl::Timer* timer, int32_t timeoutMs, bool restartTimer);
    // The steps of a cycle; false when it was cut short.
    bool runCycle(tkl::Timer* timer);
    // Whether the cycle must end now: stop requested or deadline passed.
    bool cycleCut(tkl::Timer* timer) const;
    // Health record and events at the end of a cycle; returns its result.
    int32_t endCycle(tkl::Timer* timer, const CycleRun& run, bool complete, int64_t startedMs);
    MonitView takeView();
    // What a request's log line says about it: the operation, the request
    // sent (its URL; every request asks for JSON) and libcurl's reason for a
    // failed transfer.
    struct RequestLog {
        const char* operation = "";
        bool sent = false;
        std::string url;
        std::string transfer;
        // "MonitClient: <operation> Request: url: ..., headers: {...}"
        std::string text() const;
    };
    // The request procedure around `build`, which receives the log record.
    template <typename Build>
    auto request(const char* operation, Build build);
    // Steps of a request after the running check: URL, headers, transfer,
    // status check, trace line, and the parsed object when `parse`.
    tkl::JsonObject exchange(RequestLog& log, const char* method, Base base,
                             const std::string& path, const tkl::JsonObject* body, bool parse);
    void sendBody(const char* operation, const char* method, const std::string& path,
                  const tkl::JsonObject& body);
    tkl::JsonObject getObject(const char* operation, const std::string& path);
    std::string apiUri() const;

    tkl::HttpClient http_;
    MonitClientTimer timer_;
    std::atomic<bool> running_{false};
    tkl::Logger* logger_;
    Url url_;
    std::string apiUri_;
    ComputerTable computers_;

    std::atomic<uint32_t> refreshInterval_{defaultRefreshInterval};
    std::atomic<bool> stopping_{false};
    std::atomic<int32_t> unreachableAfter_{2};
    std::atomic<int64_t> requests_{0};
    std::mutex cycleMutex_;
    // Guarded by the cycle lock.
    MonitChanges changes_;
    MonitEventSink sink_;
    // Guards the cycle's claim, its result and the health record; waiters
    // for a cycle in progress wait on stateChanged_.
    mutable std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    bool cycleActive_ = false;
    uint64_t cyclesEnded_ = 0;
    int32_t lastResult_ = 0;
    bool abortedForWaiter_ = false;
    MonitHealth health_;
    std::mutex requestMutex_;
    // Guards apiUri_ on its own, so that a request sent under the cache
    // lock can read it.
    mutable std::mutex apiMutex_;
};

}  // namespace custovia
