#pragma once
// The simulated world of one service: its own computer and the remote
// computers it knows, each with UPS units that drift, drain and recharge,
// run countdowns and obey commands. Not locked: the owner serialises access.

#include "sim/Models.h"
#include "sim/Simulator.h"

#include <QJsonArray>
#include <QJsonObject>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace custovia {
namespace sim {

// Status and failure flags in the order of their bits.
extern const char* const kStatusNames[25];
extern const char* const kFailureNames[12];

enum Status : std::uint32_t {
    Connected = 1u << 0,
    InShutdown = 1u << 1,
    OpBattery = 1u << 3,
    OpStandBy = 1u << 4,
    OpCheckup = 1u << 5,
    NoVInput = 1u << 7,
    LoVInput = 1u << 8,
    HiVInput = 1u << 9,
    NoSyncInput = 1u << 12,
    SyncInput = 1u << 13,
    HiPOutput = 1u << 15,
    LoBattery = 1u << 16,
    MaxBattery = 1u << 17,
    ShutdownTimerActive = 1u << 22,
};

enum Failure : std::uint32_t {
    FailOvertemp = 1u << 0,
    FailOverload = 1u << 2,
    FailEndBattery = 1u << 7,
};

// A countdown toward a shutdown; index in the device's array = its cause.
struct Countdown {
    bool active = false;
    std::int64_t deadlineMs = 0;
    bool inShutdown = false;  // it ran out and the shutdown began
};

enum Cause { Manual = 1, EndAutonomy = 2, LowBattery = 3, FailureCause = 4, Scheduled = 5 };

struct SimDevice {
    std::string id;
    const ModelInfo* model = nullptr;
    std::string version, name, userName, userProd, idPc;
    std::string portPath, portName;
    bool softUsb = false;

    // Physical state.
    double mainsV = 0, mainsF = 0;  // what the mains delivers when present
    double outV = 0;                // inverter output when running
    double load = 0.3;              // fraction of the nominal power
    double charge = 100;            // percent
    double temperature = 25;
    int icBattery = 2, lineSense = 2;
    int ledRed = 0, ledGreen = 255, ledBlue = 0;
    bool random = false;
    int shutdownTimer = -1, wakeupTimer = -1, nightoffTimer = -1;
    bool manualOutage = false;  // mains lost by command
    bool mainsLost = false;     // effective: by command or schedule
    bool connected = true;      // the service talks to the unit
    bool outputOff = false;     // the unit switched its output off
    std::int64_t dischargeUntilMs = 0;
    std::array<Countdown, 6> countdowns{};
    double forcedLoad = -1;  // fixed load fraction, -1: drifting
    std::uint32_t forcedFailures = 0;
    std::int64_t last = 0;

    // Derived at every reading.
    std::uint32_t status = 0, failures = 0;

    QJsonObject mail, dial, shut;
    std::deque<QJsonObject> events;   // newest last
    std::deque<QJsonObject> samples;  // one per simulated minute, newest last
};

// Whether the unit runs from its battery, and whether it feeds its output, at `now`.
bool onBattery(const SimDevice& d, std::int64_t now);
bool outputOn(const SimDevice& d, std::int64_t now);

struct SimComputer {
    std::string ip, hostname, osVersion;
    int port = 0;
    std::int64_t bootMs = 0;
    std::map<std::string, SimDevice> devices;
    QJsonObject notify, product;
};

class World {
public:
    World(const Options& options, int host, int port);

    // Brings simulated time up to the wall clock (real-time mode only).
    void sync();
    void advance(int seconds);
    std::int64_t nowMs() const { return nowMs_; }

    SimComputer& local() { return local_; }
    // "localhost", the empty text or the own ip: the own computer; else a remote by ip.
    SimComputer* computer(const std::string& key);
    std::vector<SimComputer*> computers();  // own computer first
    SimDevice* device(SimComputer& c, const std::string& id);
    SimDevice* findDevice(const std::string& id);  // on any computer

    QJsonObject computerJson(const SimComputer& c) const;
    QJsonObject deviceJson(const SimDevice& d) const;
    QJsonObject regressiveJson(const SimDevice& d) const;
    QJsonObject logEntryJson(const SimDevice& d, int event) const;
    QJsonObject snapshot();

    // Commands. Each returns an empty text on success, else the reason.
    std::string manualShutdown(SimDevice& d);
    std::string cancelShutdown(SimDevice& d);
    std::string discharge(SimDevice& d);
    void setOutage(SimDevice& d, bool on);
    void refresh(SimDevice& d);  // re-derive readings after a change
    void logEvent(SimDevice& d, int event);
    std::vector<std::string> addDevices(SimComputer& c, int count);

private:
    SimDevice makeDevice(const SimComputer& c, int index);
    std::string newId(const SimComputer& c);
    double uniform();  // [0, 1)
    double walk(double value, double target, double step, double lo, double hi);
    void advanceTo(std::int64_t t);
    void step(SimDevice& d, bool scheduledOutage);
    void derive(SimDevice& d);
    void updateCountdowns(SimDevice& d);
    bool scheduledOutage() const;

    Options options_;
    int host_;
    std::mt19937_64 rng_;
    std::int64_t startMs_ = 0;
    std::int64_t nowMs_ = 0;
    std::int64_t nextStepMs_ = 0;
    std::int64_t offsetMs_ = 0;  // added by advance() in real-time mode
    std::chrono::steady_clock::time_point realStart_;
    SimComputer local_;
    std::map<std::string, SimComputer> remotes_;
};

}  // namespace sim
}  // namespace custovia
