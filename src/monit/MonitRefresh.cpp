// When refresh cycles run, and what their end records: the health record,
// the cycle's result for a caller waiting on it, and the change events.
#include <algorithm>
#include <utility>

#include "monit/MonitClient.h"
#include "monit/MonitClientLock.h"
#include "tkl/DateTime.h"
#include "tkl/Exception.h"

namespace custovia {

thread_local MonitClient::CycleRun* MonitClient::currentRun_ = nullptr;

namespace {

// Makes `run` the calling thread's current cycle for the scope.
template <typename Run>
class CurrentRun {
public:
    CurrentRun(Run*& slot, Run* run) : slot_(slot), saved_(slot) { slot_ = run; }
    ~CurrentRun() { slot_ = saved_; }
    CurrentRun(const CurrentRun&) = delete;
    CurrentRun& operator=(const CurrentRun&) = delete;

private:
    Run*& slot_;
    Run* saved_;
};

}  // namespace

MonitClient::CycleRun* MonitClient::currentRun() const {
    return currentRun_ != nullptr && currentRun_->client == this ? currentRun_ : nullptr;
}

bool MonitClient::cycleCut(tkl::Timer* timer) const {
    if (stopping_ || (timer != nullptr && timer->isStopRequested())) {
        return true;
    }
    CycleRun* run = currentRun();
    if (run != nullptr && run->hasDeadline && Clock::now() >= run->deadline) {
        run->timedOut = true;
    }
    return run != nullptr && run->timedOut;
}

void MonitClient::refresh(tkl::Timer* timer) {
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (cycleActive_) {
            // A caller runs a cycle right now: this tick has nothing to add.
            return;
        }
        cycleActive_ = true;
    }
    runClaimed(timer, 0, false);
}

void MonitClient::refreshNow() {
    {
        std::unique_lock<std::mutex> state(stateMutex_);
        stateChanged_.wait(state, [this] { return !cycleActive_; });
        cycleActive_ = true;
    }
    runClaimed(&timer_, 0, true);
}

int32_t MonitClient::refreshWithin(int32_t timeoutMs) {
    const bool bounded = timeoutMs > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    {
        std::unique_lock<std::mutex> state(stateMutex_);
        if (cycleActive_) {
            const uint64_t ended = cyclesEnded_;
            auto over = [&] { return cyclesEnded_ != ended; };
            if (!bounded) {
                stateChanged_.wait(state, over);
            } else if (!stateChanged_.wait_until(state, deadline, over)) {
                // The cycle this caller waited for ends now rather than when
                // its own requests time out; its end lifts the abort again.
                abortedForWaiter_ = true;
                http_.abort();
                return tkl::TimeoutException::defaultCode;
            }
            return lastResult_;
        }
        cycleActive_ = true;
    }
    return runClaimed(&timer_, timeoutMs, true);
}

int32_t MonitClient::runClaimed(tkl::Timer* timer, int32_t timeoutMs, bool restartTimer) {
    CycleRun run;
    run.client = this;
    run.hasDeadline = timeoutMs > 0;
    run.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int32_t result = tkl::IOException::defaultCode;
    {
        std::lock_guard<std::mutex> cycle(cycleMutex_);
        const int64_t startedMs = tkl::DateTime::now();
        bool complete = false;
        {
            CurrentRun<CycleRun> current(currentRun_, &run);
            try {
                complete = runCycle(timer);
            } catch (...) {
                // Nothing escapes a cycle; the next one starts afresh.
            }
        }
        try {
            result = endCycle(timer, run, complete, startedMs);
        } catch (...) {
            // The record and the events of one cycle are lost at worst
            // (memory); the cycle's claim is given back below all the same.
        }
    }
    if (restartTimer) {
        timer_.restartWait();
    }
    // The last touch of the client: stop() waits for the claim to be given
    // back before the client may go.
    std::lock_guard<std::mutex> state(stateMutex_);
    cycleActive_ = false;
    lastResult_ = result;
    ++cyclesEnded_;
    if (abortedForWaiter_) {
        abortedForWaiter_ = false;
        if (!stopping_ && running_) {
            http_.clearAbort();
        }
    }
    stateChanged_.notify_all();
    return result;
}

MonitView MonitClient::takeView() {
    MonitView view;
    CacheLock lock(*this);
    auto local = computers_.find(kLocalhost);
    if (local == computers_.end()) {
        return view;
    }
    const MonitClientComputer& cached = local->second;
    view.devices = cached.devices;
    view.countdowns = cached.regressives;
    // Settings count once all three groups of a unit have been read. Their
    // JSON forms are written from the cache itself rather than from copies.
    for (const auto& entry : view.devices) {
        const std::string& id = entry.first;
        auto mail = cached.mailConfigs.find(id);
        auto dial = cached.dialConfigs.find(id);
        auto shut = cached.shutConfigs.find(id);
        if (mail == cached.mailConfigs.end() || dial == cached.dialConfigs.end() ||
            shut == cached.shutConfigs.end()) {
            continue;
        }
        auto& groups = view.settings[id];
        groups["mail"] = mail->second.toJson();
        groups["dialer"] = dial->second.toJson();
        groups["shutdown"] = shut->second.toJson();
    }
    return view;
}

int32_t MonitClient::endCycle(tkl::Timer* timer, const CycleRun& run, bool complete,
                              int64_t startedMs) {
    const bool stopped = stopping_ || (timer != nullptr && timer->isStopRequested());
    const int32_t failureCode = run.firstCode != 0 ? run.firstCode : tkl::IOException::defaultCode;
    if (stopped) {
        // A cycle cut by a stop tells nothing about the host.
        return failureCode;
    }
    const int64_t endMs = tkl::DateTime::now();
    const bool reached = run.succeeded > 0;
    std::vector<MonitEvent> events;
    auto hostEvent = [&](MonitEventKind kind, std::string text) {
        MonitEvent event;
        event.timeMs = endMs;
        event.kind = kind;
        event.text = std::move(text);
        events.push_back(std::move(event));
    };
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        MonitHealth& h = health_;
        ++h.cycles;
        h.lastCycleMs = static_cast<int32_t>(std::max<int64_t>(0, endMs - startedMs));
        h.requests = requests_;
        h.connections = http_.connectCount();
        if (run.failed > 0) {
            h.lastErrorCode = run.lastCode;
            h.lastError = run.lastError;
        }
        if (reached) {
            h.lastSuccessMs = endMs;
            h.consecutiveFailures = 0;
            if (!h.reachable) {
                h.reachable = true;
                hostEvent(MonitEventKind::HostReachable, "Host " + url_.host + " answers again");
            }
        } else {
            h.lastFailureMs = endMs;
            ++h.consecutiveFailures;
            if (h.reachable && h.consecutiveFailures >= unreachableAfter_) {
                h.reachable = false;
                hostEvent(MonitEventKind::HostUnreachable,
                          "Host " + url_.host + " is unreachable: " +
                              std::to_string(h.consecutiveFailures) + " refresh cycles in a row " +
                              "reached nothing (error " + std::to_string(h.lastErrorCode) + ")");
            }
        }
    }
    bool ownCached = false;
    if (reached) {
        MonitView view = takeView();
        {
            CacheLock lock(*this);
            ownCached = computers_.count(kLocalhost) != 0;
        }
        std::vector<MonitEvent> changes = changes_.update(std::move(view), endMs);
        events.insert(events.end(), std::make_move_iterator(changes.begin()),
                      std::make_move_iterator(changes.end()));
    }
    if (!events.empty() && sink_) {
        sink_(std::move(events));
    }
    if (run.timedOut && !(complete && reached)) {
        return tkl::TimeoutException::defaultCode;
    }
    return reached && ownCached ? 1 : failureCode;
}

MonitHealth MonitClient::health() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    MonitHealth h = health_;
    h.requests = requests_;
    h.connections = http_.connectCount();
    return h;
}

void MonitClient::setUnreachableAfter(int32_t cycles) {
    unreachableAfter_ = std::max<int32_t>(1, cycles);
}

void MonitClient::setEventSink(MonitEventSink sink) {
    std::lock_guard<std::mutex> cycle(cycleMutex_);
    sink_ = std::move(sink);
}

}  // namespace custovia
