#include "client/EventHub.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace custovia {

namespace {

struct Queue {
    std::deque<CustoviaEvent> events;
    uint64_t lost = 0;

    void push(const CustoviaEvent& event, std::size_t limit) {
        while (!events.empty() && events.size() >= limit) {
            events.pop_front();
            ++lost;
        }
        events.push_back(event);
    }
    CustoviaEvent pop() {
        CustoviaEvent event = std::move(events.front());
        events.pop_front();
        event.lost += lost;
        lost = 0;
        return event;
    }
};

CustoviaEvent toEvent(const std::string& host, MonitEvent&& from, uint64_t seq) {
    CustoviaEvent event;
    event.seq = seq;
    event.timeMs = from.timeMs;
    event.kind = static_cast<CustoviaEventKind>(from.kind);
    event.kindName = monitEventKindName(from.kind);
    event.host = host;
    event.computer = std::move(from.computer);
    event.device = std::move(from.device);
    event.name = std::move(from.name);
    event.oldValue = std::move(from.oldValue);
    event.newValue = std::move(from.newValue);
    event.text = std::move(from.text);
    return event;
}

}  // namespace

struct EventHub::State {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t seq = 0;
    std::size_t limit = defaultLimit;
    Queue pulled;
    Queue dispatched;
    std::map<int32_t, std::pair<CustoviaEventCallback, void*>> callbacks;
    int32_t nextId = 1;
    int32_t calling = 0;  // id of the callback running, 0 when none
    bool closing = false;
    std::thread thread;
    std::thread::id threadId;

    bool onDispatcher() const { return std::this_thread::get_id() == threadId; }
};

EventHub::EventHub() : state_(std::make_shared<State>()) {}

EventHub::~EventHub() {
    close();
}

void EventHub::close() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->closing = true;
        thread = std::move(state_->thread);
    }
    state_->changed.notify_all();
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id()) {
            // Closed from a callback: the dispatcher ends once it returns,
            // keeping the state alive through its own reference.
            thread.detach();
        } else {
            thread.join();
        }
    }
}

void EventHub::publish(const std::string& host, std::vector<MonitEvent>&& events) {
    if (events.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        const bool dispatching = !state_->callbacks.empty() && !state_->closing;
        for (MonitEvent& change : events) {
            CustoviaEvent event = toEvent(host, std::move(change), ++state_->seq);
            if (dispatching) {
                state_->dispatched.push(event, state_->limit);
            }
            state_->pulled.push(event, state_->limit);
        }
    }
    state_->changed.notify_all();
}

int32_t EventHub::take(CustoviaEvents& out, int32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return !state_->pulled.events.empty() || state_->closing; });
    int32_t moved = 0;
    while (!state_->pulled.events.empty()) {
        out.push_back(state_->pulled.pop());
        ++moved;
    }
    return moved;
}

int32_t EventHub::addCallback(CustoviaEventCallback callback, void* context) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const int32_t id = state_->nextId++;
    state_->callbacks[id] = {callback, context};
    if (!state_->thread.joinable() && !state_->closing) {
        std::shared_ptr<State> state = state_;
        state_->thread = std::thread([state] { dispatch(state); });
        state_->threadId = state_->thread.get_id();
    }
    return id;
}

bool EventHub::removeCallback(int32_t id) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->callbacks.erase(id) == 0) {
        return false;
    }
    if (state_->callbacks.empty()) {
        // Nobody listens any more: what is still queued for the callbacks
        // would reach a later one as stale news.
        state_->dispatched = Queue();
    }
    if (!state_->onDispatcher()) {
        state_->changed.wait(lock, [this, id] { return state_->calling != id; });
    }
    return true;
}

void EventHub::quiesce() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (!state_->onDispatcher()) {
        state_->changed.wait(lock, [this] { return state_->calling == 0; });
    }
}

void EventHub::setLimit(std::size_t limit) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->limit = limit < 1 ? 1 : limit;
}

void EventHub::dispatch(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->changed.wait(lock,
                            [&] { return state->closing || !state->dispatched.events.empty(); });
        if (state->closing) {
            return;
        }
        const CustoviaEvent event = state->dispatched.pop();
        std::vector<int32_t> ids;
        for (const auto& entry : state->callbacks) {
            ids.push_back(entry.first);
        }
        for (int32_t id : ids) {
            auto it = state->callbacks.find(id);
            if (it == state->callbacks.end() || state->closing) {
                continue;
            }
            const auto callback = it->second;
            state->calling = id;
            lock.unlock();
            try {
                callback.first(&event, callback.second);
            } catch (...) {
                // A failing callback loses this event; the others and the
                // later events still arrive.
            }
            lock.lock();
            state->calling = 0;
            state->changed.notify_all();
        }
    }
}

}  // namespace custovia
