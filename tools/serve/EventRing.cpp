#include "serve/EventRing.h"

#include "common/SnapshotJson.h"

namespace custovia {
namespace serve {

EventRing::EventRing(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

void EventRing::push(const CustoviaEvent& event) {
    StreamEvent s;
    s.id = event.seq;
    // The form `custovia events --json` prints: one line of compact JSON
    // (ending in a line feed), so the data fit one "data:" line.
    s.frame = "id: " + std::to_string(s.id) +
              "\ndata: " + tools::jsonText(tools::eventJson(event), true) + "\n";
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (s.id <= last_) {
            return;
        }
        last_ = s.id;
        events_.push_back(std::move(s));
        while (events_.size() > capacity_) {
            dropped_ = events_.front().id;
            events_.pop_front();
        }
    }
    changed_.notify_all();
}

std::vector<StreamEvent> EventRing::since(uint64_t after, bool* missed) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StreamEvent> out;
    if (missed) {
        *missed = after < dropped_;
    }
    for (const auto& e : events_) {
        if (e.id > after) {
            out.push_back(e);
        }
    }
    return out;
}

bool EventRing::wait(uint64_t after, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return stopped_ || last_ > after; });
    return !stopped_ && last_ > after;
}

uint64_t EventRing::last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
}

void EventRing::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

bool EventRing::stopped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

}  // namespace serve
}  // namespace custovia
