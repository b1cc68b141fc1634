#include "cli/Events.h"

#include <QDateTime>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <ostream>

#include "cli/Process.h"
#include "common/Snapshot.h"
#include "common/SnapshotJson.h"

namespace custovia {
namespace cli {

namespace {

// How long one wait for events lasts at most, so a stop request is seen.
constexpr int32_t kWaitStepMs = 200;

bool isRaise(CustoviaEventKind k) {
    return k == CustoviaEventKind::flagRaised || k == CustoviaEventKind::failureRaised;
}

bool isClear(CustoviaEventKind k) {
    return k == CustoviaEventKind::flagCleared || k == CustoviaEventKind::failureCleared;
}

std::string holdKey(const CustoviaEvent& e) {
    // A flag and a failure of the same name are different conditions.
    bool failure =
        e.kind == CustoviaEventKind::failureRaised || e.kind == CustoviaEventKind::failureCleared;
    return e.host + '\n' + e.computer + '\n' + e.device + '\n' + (failure ? "f:" : "s:") + e.name;
}

}  // namespace

std::string eventLine(const CustoviaEvent& e) {
    std::string line =
        QDateTime::fromMSecsSinceEpoch(e.timeMs).toString("yyyy-MM-dd hh:mm:ss").toStdString() +
        "  " + e.host + "  " + e.text;
    if (e.lost > 0) {
        line += " (" + std::to_string(e.lost) + " earlier events lost)";
    }
    return line + '\n';
}

std::string eventJsonLine(const CustoviaEvent& e) {
    return tools::jsonText(tools::eventJson(e), true);
}

std::vector<std::pair<std::string, std::string>> eventEnvironment(const CustoviaEvent& e) {
    return {{"CUSTOVIA_EVENT", e.kindName},
            {"CUSTOVIA_SEQ", std::to_string(e.seq)},
            {"CUSTOVIA_TIME", std::to_string(e.timeMs)},
            {"CUSTOVIA_HOST", e.host},
            {"CUSTOVIA_COMPUTER", e.computer},
            {"CUSTOVIA_DEVICE", e.device},
            {"CUSTOVIA_NAME", e.name},
            {"CUSTOVIA_OLD", e.oldValue},
            {"CUSTOVIA_NEW", e.newValue},
            {"CUSTOVIA_TEXT", e.text},
            {"CUSTOVIA_LOST", std::to_string(e.lost)}};
}

std::vector<CustoviaEvent> HoldFilter::add(const CustoviaEvent& e, int64_t nowMs) {
    std::vector<CustoviaEvent> out = due(nowMs);
    if (holdMs_ <= 0 || (!isRaise(e.kind) && !isClear(e.kind))) {
        out.push_back(withLost(e));
        return out;
    }
    std::string key = holdKey(e);
    auto it = held_.find(key);
    if (isRaise(e.kind)) {
        if (it == held_.end()) {
            held_.emplace(key, e);
        }
        return out;
    }
    if (it != held_.end()) {
        // Cleared before it held: a blip, neither end is reported. The count
        // of lost events either carried goes with the next event reported.
        pendingLost_ += it->second.lost + e.lost;
        held_.erase(it);
        return out;
    }
    out.push_back(withLost(e));
    return out;
}

std::vector<CustoviaEvent> HoldFilter::due(int64_t nowMs) {
    std::vector<CustoviaEvent> out;
    for (auto it = held_.begin(); it != held_.end();) {
        if (it->second.timeMs + holdMs_ <= nowMs) {
            out.push_back(it->second);
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(out.begin(), out.end(),
              [](const CustoviaEvent& a, const CustoviaEvent& b) { return a.seq < b.seq; });
    if (!out.empty()) {
        out.front() = withLost(out.front());
    }
    return out;
}

CustoviaEvent HoldFilter::withLost(CustoviaEvent e) {
    e.lost += pendingLost_;
    pendingLost_ = 0;
    return e;
}

int64_t HoldFilter::nextDueIn(int64_t nowMs) const {
    int64_t next = -1;
    for (const auto& h : held_) {
        int64_t in = std::max<int64_t>(0, h.second.timeMs + holdMs_ - nowMs);
        next = next < 0 ? in : std::min(next, in);
    }
    return next;
}

int32_t streamEvents(const EventSource& source, const EventOptions& options, std::ostream& out,
                     std::ostream& err, const std::atomic<bool>& stop) {
    HoldFilter hold(options.holdMs);
    int reported = 0;
    auto report = [&](const CustoviaEvent& e) {
        out << (options.json ? eventJsonLine(e) : eventLine(e));
        out.flush();
        ++reported;
        if (options.exec.empty()) {
            return;
        }
        ProgramResult r = runProgram(options.exec, eventEnvironment(e), options.execTimeoutMs);
        std::string failure = programFailure(r, options.execTimeoutMs);
        if (!failure.empty()) {
            err << "custovia: " << options.exec << " for event " << e.seq << " (" << e.kindName
                << "): " << failure << '\n';
            err.flush();
        }
    };
    auto done = [&] { return stop || (options.count > 0 && reported >= options.count); };
    while (!done()) {
        int64_t wait = kWaitStepMs;
        int64_t next = hold.nextDueIn(tools::nowMs());
        if (next >= 0) {
            wait = std::min(wait, next);
        }
        CustoviaEvents events;
        int32_t status = source(&events, static_cast<int32_t>(wait));
        if (status < 0) {
            return status;
        }
        std::vector<CustoviaEvent> ready;
        for (const auto& e : events) {
            for (auto& r : hold.add(e, tools::nowMs())) {
                ready.push_back(std::move(r));
            }
        }
        for (auto& r : hold.due(tools::nowMs())) {
            ready.push_back(std::move(r));
        }
        for (const auto& e : ready) {
            if (done()) {
                break;
            }
            report(e);
        }
    }
    return 0;
}

}  // namespace cli
}  // namespace custovia
