// `custovia events`: the change events of the connected hosts as lines or
// JSON lines, optionally held back until a raised flag has lasted, and
// handed to a program each.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "client/custovia_ext.h"

namespace custovia {
namespace cli {

struct EventOptions {
    bool json = false;
    int count = 0;     // stop after this many events reported; 0: never
    std::string exec;  // program run once per reported event; empty: none
    int64_t execTimeoutMs = 10000;
    int64_t holdMs = 0;  // a raised flag or failure is reported once it held this long
};

// "2026-12-07 07:10:00  127.0.0.1  UPS 3 (SIM2466394) is on battery", with the
// count of lost events when there are any.
std::string eventLine(const CustoviaEvent& event);
// Every member of the event, one JSON line.
std::string eventJsonLine(const CustoviaEvent& event);
// The variables a program run for the event gets: CUSTOVIA_EVENT (the kind),
// CUSTOVIA_SEQ, CUSTOVIA_TIME (ms since 1970), CUSTOVIA_HOST,
// CUSTOVIA_COMPUTER, CUSTOVIA_DEVICE, CUSTOVIA_NAME, CUSTOVIA_OLD,
// CUSTOVIA_NEW, CUSTOVIA_TEXT, CUSTOVIA_LOST.
std::vector<std::pair<std::string, std::string>> eventEnvironment(const CustoviaEvent& event);

// Holds back raised flags and failures: one is reported once it has stood for
// the hold time (counted from the event's time); when it is cleared before,
// neither the raise nor the clear is reported. Every other event passes at once.
class HoldFilter {
public:
    explicit HoldFilter(int64_t holdMs) : holdMs_(holdMs) {}
    // What to report now that `event` came in at `nowMs`.
    std::vector<CustoviaEvent> add(const CustoviaEvent& event, int64_t nowMs);
    // The held events whose time has come by `nowMs`, oldest first.
    std::vector<CustoviaEvent> due(int64_t nowMs);
    // Milliseconds from `nowMs` until the next held event is due; -1 when none.
    int64_t nextDueIn(int64_t nowMs) const;

private:
    // The event with the lost count of suppressed events added.
    CustoviaEvent withLost(CustoviaEvent event);

    int64_t holdMs_;
    uint64_t pendingLost_ = 0;
    std::map<std::string, CustoviaEvent> held_;  // by host, computer, device and name
};

// Where events come from: moves the queued ones into the vector, waiting up
// to the time-out when there are none; a negative status on failure.
using EventSource = std::function<int32_t(CustoviaEvents*, int32_t timeoutMs)>;

// Reports events until `stop` is set, the count is reached or the source
// fails (its status is returned then; 0 otherwise). A program that fails,
// hangs or cannot start is reported on `err`; the stream goes on.
int32_t streamEvents(const EventSource& source, const EventOptions& options, std::ostream& out,
                     std::ostream& err, const std::atomic<bool>& stop);

}  // namespace cli
}  // namespace custovia
