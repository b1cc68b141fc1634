// The gateway's MQTT publisher: keeps the broker's retained topics in step
// with what the gateway sees of its units, and passes commands pressed in
// Home Assistant to the gateway's command path.
//
// Per unit it publishes, retained: the state object on
// <prefix>/<host>/<device>/state, the host's availability ("online" or
// "offline" from its health) on <prefix>/<host>/availability, and the Home
// Assistant discovery configs of its sensors, binary sensors and (with a
// command handler) buttons. <prefix>/status is "online" while the gateway is
// connected and, as its last will, "offline" when it is not. A removed unit's
// configs and state are cleared with empty retained messages.
//
// Everything runs on the publisher's own thread and libmosquitto's network
// thread: onEvent() only queues, so a broker that is slow or down never holds
// up the caller. What is waiting to be published is kept as one entry per
// topic (the newest value wins), so the backlog is bounded by the number of
// units, not by the length of an outage. After every (re)connection all
// topics are published again: a broker that restarted without persistence
// gets everything back.
//
// Thread safety: onEvent() and stats() may be called from any thread;
// start() and stop() from one thread. The Source functions and the command
// handler are called on the publisher's threads, never two at a time each.
#pragma once

#include <QJsonObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "client/custovia_ext.h"
#include "mqtt/Connection.h"
#include "mqtt/Discovery.h"
#include "mqtt/MqttOptions.h"

namespace custovia {
namespace mqtt {

// One unit as the gateway's JSON interface shows it (/api/v1/devices/{id}).
struct UnitState {
    std::string device;
    QJsonObject json;
};

// One host: its health and every unit it reports now.
struct HostState {
    std::string host;  // the library's host key
    bool reachable = true;
    std::vector<UnitState> units;
};

// Where the publisher reads what to publish. Both read memory only.
struct Source {
    // Every host with its units, for the periodic full comparison. A unit
    // missing from a reachable host in two comparisons in a row is removed.
    std::function<std::vector<HostState>()> hosts;
    // One unit now, after an event named it; false when it is not known.
    std::function<bool(const std::string& host, const std::string& device, UnitState* out)> unit;
};

struct CommandResult {
    int32_t status = 0;  // the library's status: 1 success, negative failure
    std::string text;    // for people
};
// The gateway's command path (the one its HTTP commands use), called with a
// command of commandNames() for a unit the publisher has published.
using CommandHandler = std::function<CommandResult(
    const std::string& host, const std::string& device, const std::string& command)>;

struct PublisherStats {
    bool connected = false;
    uint64_t connections = 0;    // successful connections so far
    uint64_t published = 0;      // messages handed to the broker connection
    uint64_t droppedEvents = 0;  // events not queued (full queue: a full comparison follows)
    uint64_t commands = 0;       // commands passed to the handler
};

class Publisher {
public:
    // Without a command handler there are no buttons and no command topics.
    Publisher(Options options, Source source, CommandHandler commands = CommandHandler());
    ~Publisher();  // stop()
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Where notable happenings go (connected, lost, commands); before start().
    void setLog(std::function<void(const std::string&)> log);

    // Starts the threads and the connection; returns at once. An empty text,
    // or why it cannot start.
    std::string start();
    // Publishes "offline" on <prefix>/status when connected (waiting up to
    // 0.3 s for it to go out), disconnects and ends the threads.
    void stop();

    // Queues a change event; never waits on the broker.
    void onEvent(const CustoviaEvent& event);
    // The same, in the shape addEventCallback() takes, with the publisher as
    // context.
    static void CUSTOVIA_CALL eventCallback(const CustoviaEvent* event, void* publisher);

    PublisherStats stats() const;

private:
    enum class Work { Status, Availability, Discovery, State, Clear };
    struct Item {
        Work kind;
        std::string host;
        std::string device;
    };
    struct Unit {
        UnitTopics topics;
        std::string stateTopic;
        QJsonObject json;      // the last reading, without its age
        std::string identity;  // discoveryIdentity() last published
        std::string state;     // state payload last queued
        int misses = 0;        // full comparisons in a row that did not list it
    };
    using Key = std::pair<std::string, std::string>;  // host, device

    void run();
    void runCommands();
    void fullPass();
    void applyEvents(std::vector<CustoviaEvent>& events, std::vector<Key>& touched);
    void update(const std::string& host, const UnitState& unit);
    void remove(const Key& key);
    void setReachable(const std::string& host, bool reachable);
    void republishAll();
    void enqueue(Work kind, const std::string& host = std::string(),
                 const std::string& device = std::string());
    void dequeue(Work kind, const Key& key);
    void flush();
    bool send(const Item& item);
    bool publish(const std::string& topic, const std::string& payload, int qos);
    void onMessage(const Message& message);
    void log(const std::string& text) const;

    Options options_;
    Source source_;
    CommandHandler commands_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<Connection> connection_;
    std::string statusTopic_;
    std::mutex failureMutex_;
    std::string lastFailure_;  // the last connection failure reported

    // Shared with the callers and the network thread, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CustoviaEvent> events_;
    std::vector<Key> touched_;  // units a command changed
    std::atomic<bool> stop_{false};
    bool republish_ = false;
    bool resync_ = false;
    std::atomic<bool> connected_{false};
    std::atomic<int> outstanding_{0};
    std::atomic<uint64_t> connections_{0}, published_{0}, dropped_{0}, commandCount_{0};

    // The publisher thread's own.
    std::map<Key, Unit> units_;
    std::map<std::string, bool> hosts_;
    std::deque<Item> queue_;
    std::set<std::pair<Work, Key>> queued_;  // what queue_ holds, to queue each once
    std::map<Key, std::vector<std::string>> clears_;

    // Commands: the units' topic bases, and the queue of the command thread.
    std::mutex commandMutex_;
    std::condition_variable commandWake_;
    std::map<std::string, Key> targets_;  // UnitTopics::base() -> unit
    std::deque<std::pair<Key, std::string>> commandQueue_;

    std::thread worker_;
    std::thread commandWorker_;
};

}  // namespace mqtt
}  // namespace custovia
