// The gateway's memory of recent change events, as Server-Sent Events
// frames keyed by the event's sequence number. Stream clients read from it
// at their own pace: the producer (the library's event dispatcher) never
// waits for a client. A client that reconnects with the last id it saw gets
// what followed while the ring still holds it.
//
// Thread safety: every operation may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "client/custovia_ext.h"

namespace custovia {
namespace serve {

struct StreamEvent {
    uint64_t id = 0;
    std::string frame;  // "id: N\ndata: {...}\n\n"
};

class EventRing {
public:
    explicit EventRing(std::size_t capacity);

    // Adds an event; the oldest one goes when the ring is full. Events must
    // come in increasing sequence order; one that does not is ignored.
    void push(const CustoviaEvent& event);
    // Events with id > `after`, oldest first. `missed` tells whether some of
    // those already left the ring.
    std::vector<StreamEvent> since(uint64_t after, bool* missed) const;
    // Waits up to `timeout` for an event with id > `after`; false on time-out
    // or once stopped.
    bool wait(uint64_t after, std::chrono::milliseconds timeout) const;
    // Id of the newest event, 0 when none came yet.
    uint64_t last() const;
    // Wakes every waiter for good: the gateway is going down.
    void stop();
    bool stopped() const;

private:
    std::size_t capacity_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<StreamEvent> events_;
    uint64_t last_ = 0;
    uint64_t dropped_ = 0;  // id of the newest event that left the ring
    bool stopped_ = false;
};

}  // namespace serve
}  // namespace custovia
