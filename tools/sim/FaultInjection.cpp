// The simulator's fault rules at work: the verdict on each request, delays,
// hanging requests and their release.
#include <stdexcept>

#include "sim/Faults.h"
#include "sim/SimulatorImpl.h"

namespace custovia {
namespace sim {
Simulator::Impl::Decision Simulator::Impl::decide(int hostIndex, const std::string& method,
                                                  const std::string& path) {
    Decision d;
    std::lock_guard<std::mutex> lock(faultMutex);
    for (FaultRule& r : faults) {
        if (!ruleMatches(r, hostIndex, method, path, options.apiRoot)) {
            continue;
        }
        if (r.kind == FaultKind::Delay) {
            d.delayMs += r.delayMs;
        } else if (!d.fault) {
            d.fault = true;
            d.kind = r.kind;
            d.status = r.status;
        } else {
            continue;  // a later rule of another kind keeps its count
        }
        if (r.count > 0) {
            --r.count;
        }
    }
    return d;
}

bool Simulator::Impl::pause(int ms) {
    std::unique_lock<std::mutex> lock(faultMutex);
    return !faultCv.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping.load(); });
}

bool Simulator::Impl::hangUntilReleased() {
    std::unique_lock<std::mutex> lock(faultMutex);
    std::uint64_t generation = releaseGeneration;
    ++hanging;
    faultCv.wait(lock, [&] { return stopping || releaseGeneration != generation; });
    --hanging;
    return !stopping;
}

int Simulator::Impl::addFault(FaultRule rule, std::string* error) {
    if (!checkFaultRule(rule, error)) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(faultMutex);
    rule.id = nextFaultId++;
    faults.push_back(rule);
    return rule.id;
}

void Simulator::Impl::clearFaults() {
    std::lock_guard<std::mutex> lock(faultMutex);
    faults.clear();
    ++releaseGeneration;
    faultCv.notify_all();
}

int Simulator::Impl::release() {
    std::lock_guard<std::mutex> lock(faultMutex);
    ++releaseGeneration;
    faultCv.notify_all();
    return hanging;
}

bool Simulator::Impl::removeFault(int id) {
    std::lock_guard<std::mutex> lock(faultMutex);
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->id == id) {
            faults.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<FaultRule> Simulator::Impl::faultRules() const {
    std::lock_guard<std::mutex> lock(faultMutex);
    return faults;
}

int Simulator::addFault(FaultRule rule) {
    std::string error;
    int id = d_->addFault(rule, &error);
    if (id < 0) {
        throw std::invalid_argument(error);
    }
    return id;
}

bool Simulator::removeFault(int id) {
    return d_->removeFault(id);
}

void Simulator::clearFaults() {
    d_->clearFaults();
}

std::vector<FaultRule> Simulator::faults() const {
    return d_->faultRules();
}

void Simulator::releaseHangs() {
    d_->release();
}

int Simulator::hangingCount() const {
    std::lock_guard<std::mutex> lock(d_->faultMutex);
    return d_->hanging;
}

}  // namespace sim
}  // namespace custovia
