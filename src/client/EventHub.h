// custovia::EventHub: the change events of one handle. It numbers them,
// queues them for waitEvents() and hands them to the registered callbacks
// on a dispatcher thread of its own, in order. Both queues are bounded: a
// full queue drops its oldest event and the next event taken from it counts
// the drop in `lost`.
//
// Thread safety: every member may be called from any thread, also from a
// callback (which then does not wait for itself).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "client/custovia_ext.h"
#include "monit/MonitEvent.h"

namespace custovia {

class EventHub {
public:
    static constexpr std::size_t defaultLimit = 10000;

    EventHub();
    // Same as close().
    ~EventHub();
    EventHub(const EventHub&) = delete;
    EventHub& operator=(const EventHub&) = delete;

    // Numbers the events of one cycle of `host` and queues them: always for
    // take(), for the dispatcher while a callback is registered.
    void publish(const std::string& host, std::vector<MonitEvent>&& events);
    // Appends the queued events to `out`, waiting up to timeoutMs for the
    // first when none is queued. Returns how many were moved.
    int32_t take(CustoviaEvents& out, int32_t timeoutMs);
    // Returns the callback's id (>= 1).
    int32_t addCallback(CustoviaEventCallback callback, void* context);
    // False for an unknown id. Waits for a call of the callback in progress
    // unless it runs on the dispatcher thread.
    bool removeCallback(int32_t id);
    // Waits until no callback runs (at once on the dispatcher thread).
    void quiesce();
    void setLimit(std::size_t limit);
    // Ends the dispatcher after the callback in progress, if any, and wakes
    // the callers waiting in take(). Later events are only numbered.
    void close();

private:
    struct State;
    static void dispatch(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace custovia
