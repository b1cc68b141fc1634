#include "mqtt/Publisher.h"

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <random>

namespace custovia {
namespace mqtt {

namespace {

constexpr std::size_t kEventLimit = 20000;  // queued events before a full comparison instead
constexpr std::size_t kCommandLimit = 32;   // queued commands before new ones are refused
constexpr std::size_t kSlice = 64;          // units read between two flushes
// States go at most once: they are the bulk of an outage, every state is
// published again after each reconnection and a newer one replaces it, so a
// state lost with a broken connection costs nothing, and no acknowledgement
// round trip doubles the packets. Everything else goes at least once:
// libmosquitto keeps those messages over a broken connection and sends them
// again, where a dropped one would be lost for good (a removed unit's cleared
// configs are not published again) or would leave a stale retained status.
constexpr int kStateQos = 0;
constexpr int kQos = 1;

std::string clientId() {
    std::random_device rd;
    return "custovia-serve-" + std::to_string(rd() % 1000000000u);
}

std::string compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

Publisher::Publisher(Options options, Source source, CommandHandler commands)
    : options_(std::move(options)), source_(std::move(source)), commands_(std::move(commands)) {
    statusTopic_ = UnitTopics{options_.prefix, options_.discoveryPrefix, "", ""}.gatewayStatus();
}

Publisher::~Publisher() {
    stop();
}

void Publisher::setLog(std::function<void(const std::string&)> log) {
    log_ = std::move(log);
}

void Publisher::log(const std::string& text) const {
    if (log_) {
        log_(text);
    }
}

std::string Publisher::start() {
    if (worker_.joinable()) {
        return std::string();
    }
    ConnectionCallbacks callbacks;
    callbacks.connected = [this] {
        ++connections_;
        {
            std::lock_guard<std::mutex> lock(failureMutex_);
            lastFailure_.clear();
        }
        if (commands_) {
            connection_->subscribe(options_.prefix + "/+/+/command/+", 1);  // no press lost
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connected_ = true;
            republish_ = true;
            outstanding_ = 0;
        }
        wake_.notify_all();
        log("MQTT: connected to " + options_.host + ":" + std::to_string(options_.port));
    };
    callbacks.lost = [this](const std::string& why) {
        // Once per kind of failure, not once per attempt of the back-off.
        bool was = connected_.exchange(false);
        bool report;
        {
            std::lock_guard<std::mutex> lock(failureMutex_);
            report = was || why != lastFailure_;
            lastFailure_ = why;
        }
        if (report) {
            log("MQTT: " + why + " (" + options_.host + ":" + std::to_string(options_.port) +
                "), reconnecting");
        }
    };
    callbacks.acknowledged = [this](int) {
        int left = --outstanding_;
        if (left < 0) {
            outstanding_ = 0;  // messages of an earlier connection
            left = 0;
        }
        // Only two waits care: the publisher thread at the bound, stop() at 0.
        if (left == 0 || left == options_.maxOutstanding - 1) {
            std::lock_guard<std::mutex> lock(mutex_);
            wake_.notify_all();
        }
    };
    callbacks.message = [this](const Message& m) { onMessage(m); };
    connection_.reset(new Connection(options_, clientId(), statusTopic_, std::move(callbacks)));
    stop_ = false;
    // What the gateway holds now is known before the first message arrives:
    // commands are checked against these units.
    fullPass();
    worker_ = std::thread([this] { run(); });
    if (commands_) {
        commandWorker_ = std::thread([this] { runCommands(); });
    }
    std::string error = connection_->start();
    if (!error.empty()) {
        stop();
    }
    return error;
}

void Publisher::stop() {
    if (!worker_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    { std::lock_guard<std::mutex> lock(commandMutex_); }
    commandWake_.notify_all();
    worker_.join();
    if (commandWorker_.joinable()) {
        commandWorker_.join();
    }
    // A clean disconnect sends no last will: say "offline" ourselves and give
    // the broker a moment to take it.
    if (connected_) {
        std::unique_lock<std::mutex> lock(mutex_);
        outstanding_ = 1;
        if (connection_->publish(statusTopic_, "offline", kQos, true) == 1) {
            // Acknowledged by the broker, so it is there before the disconnect.
            wake_.wait_for(lock, std::chrono::milliseconds(300),
                           [this] { return outstanding_ == 0 || !connected_; });
        }
    }
    connection_->stop();
    connected_ = false;
}

void Publisher::onEvent(const CustoviaEvent& event) {
    bool first;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = events_.empty();
        if (events_.size() >= kEventLimit) {
            ++dropped_;
            resync_ = true;
        } else {
            events_.push_back(event);
        }
    }
    // The publisher thread takes every queued event at once: waking it for
    // the first is enough.
    if (first) {
        wake_.notify_all();
    }
}

void CUSTOVIA_CALL Publisher::eventCallback(const CustoviaEvent* event, void* publisher) {
    if (event && publisher) {
        static_cast<Publisher*>(publisher)->onEvent(*event);
    }
}

PublisherStats Publisher::stats() const {
    PublisherStats s;
    s.connected = connected_;
    s.connections = connections_;
    s.published = published_;
    s.droppedEvents = dropped_;
    s.commands = commandCount_;
    return s;
}

void Publisher::run() {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::milliseconds(options_.intervalMs);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        wake_.wait_until(lock, next, [this] {
            return stop_ || !events_.empty() || !touched_.empty() || resync_ || republish_ ||
                   (connected_ && outstanding_ < options_.maxOutstanding && !queue_.empty());
        });
        if (stop_) {
            break;
        }
        std::vector<CustoviaEvent> events;
        events.swap(events_);
        std::vector<Key> touched;
        touched.swap(touched_);
        bool republish = republish_;
        bool full = resync_ || Clock::now() >= next;
        republish_ = resync_ = false;
        lock.unlock();

        if (full) {
            fullPass();
            next = Clock::now() + std::chrono::milliseconds(options_.intervalMs);
        }
        applyEvents(events, touched);
        if (republish) {
            republishAll();
        }
        flush();
        lock.lock();
    }
}

void Publisher::fullPass() {
    if (!source_.hosts) {
        return;
    }
    std::vector<HostState> hosts = source_.hosts();
    std::set<std::string> listed;
    for (const HostState& h : hosts) {
        listed.insert(h.host);
        setReachable(h.host, h.reachable);
        std::set<std::string> seen;
        for (const UnitState& u : h.units) {
            seen.insert(u.device);
            update(h.host, u);
        }
        if (!h.reachable) {
            continue;  // an unreachable host's units are unknown, not gone
        }
        std::vector<Key> gone;
        for (auto it = units_.lower_bound(Key(h.host, std::string()));
             it != units_.end() && it->first.first == h.host; ++it) {
            if (!seen.count(it->first.second) && ++it->second.misses >= 2) {
                gone.push_back(it->first);
            }
        }
        for (const Key& k : gone) {
            remove(k);
        }
    }
    // Hosts the gateway no longer has: their units and availability go.
    std::vector<Key> gone;
    for (const auto& u : units_) {
        if (!listed.count(u.first.first)) {
            gone.push_back(u.first);
        }
    }
    for (const Key& k : gone) {
        remove(k);
    }
    for (auto it = hosts_.begin(); it != hosts_.end();) {
        if (listed.count(it->first)) {
            ++it;
        } else {
            std::string host = it->first;
            it = hosts_.erase(it);
            enqueue(Work::Availability, host);
        }
    }
}

void Publisher::applyEvents(std::vector<CustoviaEvent>& events, std::vector<Key>& touched) {
    bool lost = false;
    for (const CustoviaEvent& e : events) {
        lost = lost || e.lost > 0;
        switch (e.kind) {
            case CustoviaEventKind::hostUnreachable:
                setReachable(e.host, false);
                break;
            case CustoviaEventKind::hostReachable:
                setReachable(e.host, true);
                break;
            case CustoviaEventKind::deviceRemoved:
                remove(Key(e.host, e.device));
                touched.erase(std::remove(touched.begin(), touched.end(), Key(e.host, e.device)),
                              touched.end());
                break;
            default:
                if (!e.device.empty()) {
                    touched.emplace_back(e.host, e.device);
                }
        }
    }
    // One read per unit however many of its events came together, in the
    // order of their first event; published in slices so that the first
    // units of a large burst go out while the rest are still read.
    std::set<Key> seen;
    std::size_t read = 0;
    for (const Key& k : touched) {
        if (!seen.insert(k).second) {
            continue;
        }
        UnitState u;
        if (source_.unit && source_.unit(k.first, k.second, &u)) {
            update(k.first, u);
        }
        if (++read % kSlice == 0) {
            flush();
        }
    }
    if (lost) {
        std::lock_guard<std::mutex> lock(mutex_);
        resync_ = true;  // events were lost: compare everything
    }
}

void Publisher::update(const std::string& host, const UnitState& u) {
    Key key(host, u.device);
    auto it = units_.find(key);
    if (it == units_.end()) {
        Unit unit;
        unit.topics = UnitTopics{options_.prefix, options_.discoveryPrefix, host, u.device};
        unit.stateTopic = unit.topics.state();
        it = units_.emplace(key, std::move(unit)).first;
        if (clears_.erase(key)) {
            dequeue(Work::Clear, key);
        }
        std::lock_guard<std::mutex> lock(commandMutex_);
        targets_[it->second.topics.base()] = key;
    }
    if (!hosts_.count(host)) {
        setReachable(host, true);
    }
    Unit& unit = it->second;
    unit.misses = 0;
    // The age grows with every look; nothing else changed means nothing to
    // build (the full comparison reads every unit, most of them unchanged).
    QJsonObject json = u.json;
    json.remove(QLatin1String("ageMs"));
    if (json == unit.json && !unit.state.empty()) {
        return;
    }
    unit.json = json;
    std::string identity = discoveryIdentity(json);
    if (identity != unit.identity) {
        unit.identity = identity;
        enqueue(Work::Discovery, host, u.device);
    }
    std::string state = compact(statePayload(json));
    if (state != unit.state) {
        unit.state = std::move(state);
        enqueue(Work::State, host, u.device);
    }
}

void Publisher::remove(const Key& key) {
    auto it = units_.find(key);
    if (it == units_.end()) {
        return;
    }
    std::vector<std::string> topics = discoveryTopics(it->second.topics);
    topics.push_back(it->second.topics.state());
    {
        std::lock_guard<std::mutex> lock(commandMutex_);
        targets_.erase(it->second.topics.base());
    }
    units_.erase(it);
    dequeue(Work::Discovery, key);
    dequeue(Work::State, key);
    clears_[key] = std::move(topics);
    enqueue(Work::Clear, key.first, key.second);
}

void Publisher::setReachable(const std::string& host, bool reachable) {
    auto it = hosts_.find(host);
    if (it != hosts_.end() && it->second == reachable) {
        return;
    }
    hosts_[host] = reachable;
    enqueue(Work::Availability, host);
}

void Publisher::republishAll() {
    enqueue(Work::Status);
    for (const auto& h : hosts_) {
        enqueue(Work::Availability, h.first);
    }
    for (const auto& u : units_) {
        enqueue(Work::Discovery, u.first.first, u.first.second);
    }
    for (const auto& u : units_) {
        enqueue(Work::State, u.first.first, u.first.second);
    }
}

void Publisher::enqueue(Work kind, const std::string& host, const std::string& device) {
    if (queued_.emplace(kind, Key(host, device)).second) {
        queue_.push_back(Item{kind, host, device});
    }
}

void Publisher::dequeue(Work kind, const Key& key) {
    if (!queued_.erase(std::make_pair(kind, key))) {
        return;
    }
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [&](const Item& i) {
                                    return i.kind == kind && i.host == key.first &&
                                           i.device == key.second;
                                }),
                 queue_.end());
}

void Publisher::flush() {
    while (!queue_.empty() && connected_ && outstanding_ < options_.maxOutstanding && !stop_) {
        Item item = queue_.front();
        if (!send(item)) {
            return;  // the connection went: everything goes again on the next one
        }
        queue_.pop_front();
        queued_.erase(std::make_pair(item.kind, Key(item.host, item.device)));
    }
}

bool Publisher::send(const Item& item) {
    switch (item.kind) {
        case Work::Status:
            return publish(statusTopic_, "online", kQos);
        case Work::Availability: {
            auto h = hosts_.find(item.host);
            UnitTopics t{options_.prefix, options_.discoveryPrefix, item.host, ""};
            return publish(t.availability(),
                           h == hosts_.end() ? "" : (h->second ? "online" : "offline"), kQos);
        }
        case Work::Discovery: {
            auto u = units_.find(Key(item.host, item.device));
            if (u == units_.end()) {
                return true;
            }
            for (const auto& c :
                 discoveryConfigs(u->second.topics, u->second.json, static_cast<bool>(commands_))) {
                if (!publish(c.first, c.second, kQos)) {
                    return false;
                }
            }
            return true;
        }
        case Work::State: {
            auto u = units_.find(Key(item.host, item.device));
            return u == units_.end() || publish(u->second.stateTopic, u->second.state, kStateQos);
        }
        case Work::Clear: {
            auto c = clears_.find(Key(item.host, item.device));
            if (c == clears_.end()) {
                return true;
            }
            for (const std::string& topic : c->second) {
                if (!publish(topic, std::string(), kQos)) {
                    return false;
                }
            }
            clears_.erase(c);
            return true;
        }
    }
    return true;
}

bool Publisher::publish(const std::string& topic, const std::string& payload, int qos) {
    ++outstanding_;
    int rc = connection_->publish(topic, payload, qos, true);
    if (rc <= 0) {
        --outstanding_;
    }
    if (rc < 0) {
        log("MQTT: the broker connection refuses a message on " + topic);
        return true;  // skipped: it would be refused again
    }
    if (rc == 0) {
        return false;
    }
    ++published_;
    return true;
}

void Publisher::onMessage(const Message& m) {
    // <prefix>/<host>/<device>/command/<name>. A retained command would run
    // again at every start: only live presses count.
    if (m.retained) {
        log("MQTT: ignored a retained command on " + m.topic);
        return;
    }
    const std::string marker = "/command/";
    std::size_t at = m.topic.rfind(marker);
    if (at == std::string::npos) {
        return;
    }
    const std::string base = m.topic.substr(0, at);
    const std::string name = m.topic.substr(at + marker.size());
    const auto& names = commandNames();
    bool known = std::find(names.begin(), names.end(), name) != names.end();
    std::string refusal;
    {
        std::lock_guard<std::mutex> lock(commandMutex_);
        auto target = targets_.find(base);
        if (target == targets_.end()) {
            refusal = "unknown unit";
        } else if (!known) {
            refusal = "unknown command";
        } else if (m.payload != "PRESS") {
            refusal = "payload is not PRESS";
        } else if (commandQueue_.size() >= kCommandLimit) {
            refusal = "too many commands waiting";
        } else {
            commandQueue_.emplace_back(target->second, name);
        }
    }
    if (!refusal.empty()) {
        log("MQTT: refused " + m.topic + ": " + refusal);
        QJsonObject r{{"status", -202}, {"result", QString::fromStdString(refusal)}};
        connection_->publish(m.topic + "/result", compact(r), 0, false);
        return;
    }
    commandWake_.notify_all();
}

void Publisher::runCommands() {
    std::unique_lock<std::mutex> lock(commandMutex_);
    for (;;) {
        commandWake_.wait(lock, [this] {
            std::lock_guard<std::mutex> stopLock(mutex_);
            return stop_ || !commandQueue_.empty();
        });
        {
            std::lock_guard<std::mutex> stopLock(mutex_);
            if (stop_) {
                return;
            }
        }
        auto command = commandQueue_.front();
        commandQueue_.pop_front();
        lock.unlock();

        const Key& unit = command.first;
        ++commandCount_;
        CommandResult result = commands_(unit.first, unit.second, command.second);
        log("MQTT: " + command.second + " " + unit.first + "/" + unit.second + ": " + result.text);
        UnitTopics t{options_.prefix, options_.discoveryPrefix, unit.first, unit.second};
        QJsonObject r{{"status", result.status}, {"result", QString::fromStdString(result.text)}};
        connection_->publish(t.command(command.second) + "/result", compact(r), 0, false);
        {
            std::lock_guard<std::mutex> stateLock(mutex_);
            touched_.push_back(unit);  // the command changes what the unit reports
        }
        wake_.notify_all();
        lock.lock();
    }
}

}  // namespace mqtt
}  // namespace custovia
