#include "sim/World.h"

#include "sim/Settings.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace custovia {
namespace sim {

const char* const kStatusNames[25] = {
    "connected",
    "inShutdown",
    "opStartup",
    "opBattery",
    "opStandBy",
    "opCheckup",
    "opWarning",
    "noVInput",
    "loVInput",
    "hiVInput",
    "loFInput",
    "hiFInput",
    "noSyncInput",
    "syncInput",
    "noiseInput",
    "hiPOutput",
    "loBattery",
    "maxBattery",
    "noBattery",
    "oldBattery",
    "moreBattery",
    "lessBattery",
    "shutdownTimerActive",
    "remoteControlActive",
    "noCalibrated",
};

const char* const kFailureNames[12] = {
    "overtemp", "internal",   "overload", "shortcircuit",    "inverter",  "fan",
    "tiristor", "endBattery", "loVInput", "abnormalVOutput", "hiPOutput", "abnormalVBattery",
};

namespace {

// Event codes of the device log.
enum Event {
    EvOutage = 1,
    EvMainsBack = 2,
    EvLowBattery = 3,
    EvShutdownRequested = 4,
    EvShutdownCancelled = 5,
    EvTestStarted = 6,
    EvTestEnded = 7,
    EvShutdownBegun = 8,
    EvOutputOff = 9,
    EvOutputOn = 10,
    EvFailure = 11,
};

constexpr std::size_t kMaxEvents = 200;
constexpr std::size_t kMaxSamples = 24 * 60;
constexpr std::int64_t kStepMs = 1000;
constexpr std::int64_t kMaxCatchUpMs = 3600 * 1000;  // longer gaps are skipped, not replayed
constexpr int kDischargeTestSec = 30;

const char* const kOsVersions[] = {"Windows 10 Pro 64-bit", "Windows Server 2019 Standard",
                                   "Windows 11 Pro 64-bit", "Windows Server 2022 Datacenter"};

std::int64_t wallMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

bool discharging(const SimDevice& d, std::int64_t now) {
    return d.dischargeUntilMs > now;
}
std::int64_t settingMs(const SimDevice& d, const char* key) {
    return static_cast<std::int64_t>(d.shut.value(key).toDouble()) * 1000;
}

}  // namespace

bool onBattery(const SimDevice& d, std::int64_t now) {
    return d.mainsLost || discharging(d, now);
}

bool outputOn(const SimDevice& d, std::int64_t now) {
    return !d.outputOff && !(onBattery(d, now) && d.charge <= 0);
}

World::World(const Options& options, int host, int port)
    : options_(options),
      host_(host),
      rng_(options.seed ^ (static_cast<std::uint64_t>(host) * 0x9E3779B97F4A7C15ull)) {
    startMs_ = options.startTimeMs >= 0 ? options.startTimeMs : wallMs();
    nowMs_ = startMs_;
    nextStepMs_ = startMs_ + kStepMs;
    realStart_ = std::chrono::steady_clock::now();

    local_.ip = options.address;
    local_.hostname = "SIM-HOST-" + std::to_string(host + 1);
    local_.osVersion = kOsVersions[rng_() % 4];
    local_.port = port;
    local_.bootMs = startMs_ - static_cast<std::int64_t>(3600 + rng_() % (30 * 86400)) * 1000;
    local_.notify = defaultSettings(SettingsKind::Notify, "");
    local_.product = defaultSettings(SettingsKind::Product, "");
    addDevices(local_, std::max(0, options.devices));
    for (int j = 0; j < std::max(0, options.computers); ++j) {
        SimComputer c;
        c.ip = "10." + std::to_string(host + 1) + "." + std::to_string(j / 240) + "." +
               std::to_string(j % 240 + 10);
        c.hostname = "SIM-NODE-" + std::to_string(host + 1) + "-" + std::to_string(j + 1);
        c.osVersion = kOsVersions[rng_() % 4];
        c.port = 4470;
        c.bootMs = startMs_ - static_cast<std::int64_t>(3600 + rng_() % (30 * 86400)) * 1000;
        c.notify = defaultSettings(SettingsKind::Notify, "");
        c.product = defaultSettings(SettingsKind::Product, "");
        addDevices(c, std::max(0, options.remoteDevices));
        remotes_.emplace(c.ip, std::move(c));
    }
    if (options.outage) {
        for (SimComputer* c : computers()) {
            for (auto& [id, d] : c->devices) {
                setOutage(d, true);
            }
        }
    }
}

double World::uniform() {
    return static_cast<double>(rng_() >> 11) * (1.0 / 9007199254740992.0);
}

double World::walk(double value, double target, double step, double lo, double hi) {
    // A random walk pulled gently back toward its target.
    value += (uniform() * 2 - 1) * step + (target - value) * 0.05;
    return std::clamp(value, lo, hi);
}

std::string World::newId(const SimComputer& c) {
    for (;;) {
        std::string id = "SIM" + std::to_string(1000000 + rng_() % 9000000);
        if (!findDevice(id) && c.devices.count(id) == 0) {
            return id;
        }
    }
}

SimDevice World::makeDevice(const SimComputer& c, int index) {
    const auto& models = modelCatalogue();
    SimDevice d;
    d.id = newId(c);
    d.model = &models[rng_() % models.size()];
    const ModelInfo& m = *d.model;
    d.version = std::to_string(1 + rng_() % 4) + "." + std::to_string(rng_() % 20);
    d.name = m.name;
    d.userName = (&c == &local_ ? "UPS " : c.hostname + " UPS ") + std::to_string(index + 1);
    d.idPc = c.ip;
    std::string type = m.portType;
    char hex[16];
    if (type == "hid") {
        std::snprintf(hex, sizeof(hex), "%04x", m.vid);
        std::string vid = std::string("vid_") + hex;
        std::snprintf(hex, sizeof(hex), "%04x", m.pid);
        d.portPath = "\\\\?\\hid#" + vid + "&pid_" + hex + "#7&" + std::to_string(rng_() % 100000) +
                     "&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
        d.portName = "HID#" + vid;
    } else if (type == "cdc") {
        d.portName = "COM" + std::to_string(5 + index);
        d.portPath = "\\\\.\\" + d.portName;
    } else {
        d.portName = "COM" + std::to_string(1 + index);
        d.portPath = d.portName;
    }
    d.mainsV = m.nominalVInput * (0.98 + 0.04 * uniform());
    d.mainsF = m.nominalFOutput + (uniform() - 0.5) * 0.1;
    d.outV = m.nominalVOutput;
    d.load = 0.15 + 0.5 * uniform();
    d.charge = std::min(100.0, 90 + 12 * uniform());
    d.temperature = 24 + 6 * uniform();
    d.icBattery = 1 + static_cast<int>(rng_() % 4);
    static const int palette[][3] = {{0, 255, 0}, {0, 128, 255}, {255, 160, 0}, {255, 255, 255}};
    const int* led = palette[rng_() % 4];
    d.ledRed = led[0];
    d.ledGreen = led[1];
    d.ledBlue = led[2];
    d.mail = defaultSettings(SettingsKind::Mail, d.id);
    d.dial = defaultSettings(SettingsKind::Dialer, d.id);
    d.shut = defaultSettings(SettingsKind::Shutdown, d.id);
    d.last = nowMs_;
    return d;
}

std::vector<std::string> World::addDevices(SimComputer& c, int count) {
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) {
        SimDevice d = makeDevice(c, static_cast<int>(c.devices.size()));
        ids.push_back(d.id);
        auto& placed = c.devices.emplace(d.id, std::move(d)).first->second;
        derive(placed);
    }
    return ids;
}

SimComputer* World::computer(const std::string& key) {
    if (key.empty() || key == "localhost" || key == local_.ip) {
        return &local_;
    }
    auto it = remotes_.find(key);
    return it == remotes_.end() ? nullptr : &it->second;
}

std::vector<SimComputer*> World::computers() {
    std::vector<SimComputer*> all{&local_};
    for (auto& [ip, c] : remotes_) {
        all.push_back(&c);
    }
    return all;
}

SimDevice* World::device(SimComputer& c, const std::string& id) {
    auto it = c.devices.find(id);
    return it == c.devices.end() ? nullptr : &it->second;
}

SimDevice* World::findDevice(const std::string& id) {
    for (SimComputer* c : computers()) {
        if (SimDevice* d = device(*c, id)) {
            return d;
        }
    }
    return nullptr;
}

bool World::scheduledOutage() const {
    if (options_.outageEverySec <= 0) {
        return false;
    }
    std::int64_t sec = (nowMs_ - startMs_) / 1000;
    return sec >= options_.outageEverySec &&
           sec % options_.outageEverySec < options_.outageLengthSec;
}

void World::sync() {
    if (!options_.realTime) {
        return;
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - realStart_)
                       .count();
    advanceTo(startMs_ + offsetMs_ + static_cast<std::int64_t>(elapsed * options_.speed));
}

void World::advance(int seconds) {
    if (seconds <= 0) {
        return;
    }
    std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000;
    offsetMs_ += ms;
    advanceTo(nowMs_ + ms);
}

void World::advanceTo(std::int64_t t) {
    if (t <= nowMs_) {
        return;
    }
    if (t - nextStepMs_ > kMaxCatchUpMs) {
        nextStepMs_ += (t - nextStepMs_ - kMaxCatchUpMs) / kStepMs * kStepMs;
    }
    while (nextStepMs_ <= t) {
        nowMs_ = nextStepMs_;
        bool sched = scheduledOutage();
        for (SimComputer* c : computers()) {
            for (auto& [id, d] : c->devices) {
                step(d, sched);
            }
        }
        nextStepMs_ += kStepMs;
    }
    nowMs_ = t;
    // Countdowns run out between steps too.
    for (SimComputer* c : computers()) {
        for (auto& [id, d] : c->devices) {
            derive(d);
        }
    }
}

void World::step(SimDevice& d, bool sched) {
    if (!d.connected) {
        return;  // no readings from a unit the service cannot reach
    }
    const ModelInfo& m = *d.model;
    bool lost = d.manualOutage || sched;
    if (lost != d.mainsLost) {
        d.mainsLost = lost;
        logEvent(d, lost ? EvOutage : EvMainsBack);
    }
    d.mainsV = walk(d.mainsV, m.nominalVInput, m.nominalVInput * 0.004, m.nominalVInput * 0.94,
                    m.nominalVInput * 1.06);
    d.mainsF =
        walk(d.mainsF, m.nominalFOutput, 0.02, m.nominalFOutput - 0.3, m.nominalFOutput + 0.3);
    d.outV = walk(d.outV, m.nominalVOutput, m.nominalVOutput * 0.002, m.nominalVOutput * 0.98,
                  m.nominalVOutput * 1.02);
    d.load = d.forcedLoad >= 0 ? d.forcedLoad : walk(d.load, 0.35, 0.015, 0.05, 0.85);

    bool battery = onBattery(d, nowMs_);
    bool output = outputOn(d, nowMs_);
    bool charging = !d.mainsLost && !discharging(d, nowMs_) && d.charge < 100;
    if (battery && output) {
        // Half load empties a full battery in the model's autonomy.
        d.charge -= 100.0 / m.autonomySec * (std::max(d.load, 0.05) / 0.5);
    } else if (charging) {
        d.charge += 0.04 + 0.02 * d.icBattery;
    }
    d.charge = std::clamp(d.charge, 0.0, 100.0);
    if (d.dischargeUntilMs > 0 && (nowMs_ >= d.dischargeUntilMs || d.charge < 50)) {
        d.dischargeUntilMs = 0;
        logEvent(d, EvTestEnded);
    }
    double target = 22 + (output ? 16 * d.load : 0) + (charging ? 2 : 0);
    d.temperature += (target - d.temperature) * 0.02 + (uniform() * 2 - 1) * 0.1;
    if (d.shutdownTimer > 0 && --d.shutdownTimer == 0) {
        d.shutdownTimer = -1;
        d.outputOff = true;
        logEvent(d, EvOutputOff);
    }
    d.last = nowMs_;
    if ((nowMs_ - startMs_) % 60000 == 0) {
        d.samples.push_back(logEntryJson(d, 0));
        if (d.samples.size() > kMaxSamples) {
            d.samples.pop_front();
        }
    }
    derive(d);
}

void World::derive(SimDevice& d) {
    std::uint32_t before = d.status;
    std::uint32_t failedBefore = d.failures;
    const ModelInfo& m = *d.model;
    bool battery = onBattery(d, nowMs_);
    bool output = outputOn(d, nowMs_);
    std::uint32_t s = 0;
    if (d.connected) {
        s |= Connected;
    }
    s |= d.mainsLost ? (NoVInput | NoSyncInput) : SyncInput;
    if (!d.mainsLost && d.mainsV < m.nominalVInput * 0.95) {
        s |= LoVInput;
    }
    if (!d.mainsLost && d.mainsV > m.nominalVInput * 1.05) {
        s |= HiVInput;
    }
    if (battery && output) {
        s |= OpBattery;
    }
    if (discharging(d, nowMs_)) {
        s |= OpCheckup;
    }
    if (d.outputOff) {
        s |= OpStandBy;
    }
    if (output && d.load > 0.9) {
        s |= HiPOutput;
    }
    if (d.charge < 20) {
        s |= LoBattery;
    }
    if (!battery && d.charge >= 99.5) {
        s |= MaxBattery;
    }
    std::uint32_t f = d.forcedFailures;
    if (battery && d.charge <= 0) {
        f |= FailEndBattery;
    }
    if (d.load > 1.0) {
        f |= FailOverload;
    }
    if (d.temperature > 55) {
        f |= FailOvertemp;
    }
    d.status = s;
    d.failures = f;
    updateCountdowns(d);
    if ((d.status & LoBattery) && !(before & LoBattery) && battery) {
        logEvent(d, EvLowBattery);
    }
    if ((d.failures & ~failedBefore) != 0) {
        logEvent(d, EvFailure);
    }
}

void World::updateCountdowns(SimDevice& d) {
    auto start = [&](int cause, const char* key) {
        Countdown& c = d.countdowns[cause];
        if (!c.active) {
            c.active = true;
            c.deadlineMs = nowMs_ + settingMs(d, key);
            c.inShutdown = false;
        }
    };
    auto clear = [&](int cause) { d.countdowns[cause] = Countdown(); };
    bool enabled = d.shut.value("enabled").toDouble() != 0;
    if (enabled && d.mainsLost) {
        start(EndAutonomy, "counterOpBattery");
    } else {
        clear(EndAutonomy);
    }
    if (enabled && d.mainsLost && (d.status & LoBattery)) {
        start(LowBattery, "counterLoBattery");
    } else {
        clear(LowBattery);
    }
    if (enabled && (d.failures & ~FailEndBattery)) {
        start(FailureCause, "counterFailure");
    } else {
        clear(FailureCause);
    }
    bool active = false;
    bool shutting = false;
    for (int cause = Manual; cause <= Scheduled; ++cause) {
        Countdown& c = d.countdowns[cause];
        if (!c.active) {
            continue;
        }
        active = true;
        if (!c.inShutdown && c.deadlineMs <= nowMs_) {
            c.inShutdown = true;
            logEvent(d, EvShutdownBegun);
            if (d.shut.value("devShutEnabled").toDouble() != 0 && !d.outputOff &&
                d.shutdownTimer < 0) {
                d.shutdownTimer = static_cast<int>(d.shut.value("devShutTimer").toDouble());
                if (d.shutdownTimer <= 0) {
                    d.shutdownTimer = -1;
                    d.outputOff = true;
                    logEvent(d, EvOutputOff);
                }
            }
        }
        shutting = shutting || c.inShutdown;
    }
    if (!shutting) {
        d.shutdownTimer = -1;
        if (d.outputOff) {
            d.outputOff = false;
            logEvent(d, EvOutputOn);
        }
    }
    if (active) {
        d.status |= ShutdownTimerActive;
    }
    if (shutting) {
        d.status |= InShutdown;
    }
    if (d.outputOff) {
        d.status |= OpStandBy;
    }
}

void World::refresh(SimDevice& d) {
    derive(d);
}

void World::logEvent(SimDevice& d, int event) {
    d.events.push_back(logEntryJson(d, event));
    if (d.events.size() > kMaxEvents) {
        d.events.pop_front();
    }
}

std::string World::manualShutdown(SimDevice& d) {
    if (!d.model->has("hasManualShutdown")) {
        return "this model has no manual shutdown";
    }
    Countdown& c = d.countdowns[Manual];
    if (!c.active) {
        c.active = true;
        c.deadlineMs = nowMs_ + settingMs(d, "counterManual");
        c.inShutdown = false;
        logEvent(d, EvShutdownRequested);
    }
    derive(d);
    return std::string();
}

std::string World::cancelShutdown(SimDevice& d) {
    if (d.countdowns[Manual].active) {
        d.countdowns[Manual] = Countdown();
        logEvent(d, EvShutdownCancelled);
    }
    derive(d);
    return std::string();
}

std::string World::discharge(SimDevice& d) {
    if (!d.model->has("hasSetDischargeBattery")) {
        return "this model has no battery test";
    }
    if (d.mainsLost) {
        return "no battery test while the mains is lost";
    }
    if (!discharging(d, nowMs_)) {
        d.dischargeUntilMs = nowMs_ + kDischargeTestSec * 1000;
        logEvent(d, EvTestStarted);
    }
    derive(d);
    return std::string();
}

void World::setOutage(SimDevice& d, bool on) {
    d.manualOutage = on;
    bool lost = on || scheduledOutage();
    if (lost != d.mainsLost) {
        d.mainsLost = lost;
        if (lost) {
            d.dischargeUntilMs = 0;
        }
        logEvent(d, lost ? EvOutage : EvMainsBack);
    }
    derive(d);
}

}  // namespace sim
}  // namespace custovia
