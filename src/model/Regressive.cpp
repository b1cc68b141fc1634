#include "model/Regressive.h"

#include <sstream>

#include "tkl/JsonRead.h"
#include "tkl/System.h"

namespace custovia {

std::string regressiveCauseName(RegressiveCause cause) {
    switch (cause) {
        case RegressiveCause::None:
            return "None";
        case RegressiveCause::Manual:
            return "Manual";
        case RegressiveCause::EndAutonomy:
            return "EndAutonomy";
        case RegressiveCause::LoBattery:
            return "LoBattery";
        case RegressiveCause::Failure:
            return "Failure";
        case RegressiveCause::Scheduled:
            return "Scheduled";
    }
    return std::to_string(static_cast<int32_t>(cause));
}

// --- Regressive -------------------------------------------------------------

Regressive::Regressive() : Regressive(RegressiveCause::None) {}

Regressive::Regressive(RegressiveCause cause)
    : cause_(cause), active_(false), initial_(0), value_(-1), max_(0), inShutdown_(false) {}

Regressive::Regressive(RegressiveCause cause, bool active, uint32_t initial, int32_t value,
                       uint32_t max, bool inShutdown)
    : cause_(cause),
      active_(active),
      initial_(initial),
      value_(value),
      max_(max),
      inShutdown_(inShutdown) {}

Regressive::Regressive(const Regressive& other) : tkl::Object(other) {
    assign(other);
}

Regressive& Regressive::operator=(const Regressive& other) {
    return assign(other);
}

Regressive::~Regressive() = default;

std::string Regressive::toString() const {
    std::ostringstream out;
    out << "active=" << (active_ ? 1 : 0) << ", cause=" << static_cast<int32_t>(cause_)
        << ", value=" << value_ << ", max=" << max_ << ", initial=" << initial_
        << ", inShutdown=" << (inShutdown_ ? 1 : 0) << "\n";
    return out.str();
}

void Regressive::start(uint32_t length) {
    if (active_)
        return;
    inShutdown_ = false;
    max_ = length;
    initial_ = tkl::System::getTicks();
    active_ = true;
    value_ = static_cast<int32_t>(length);
}

void Regressive::stop() {
    active_ = false;
}

void Regressive::activate() {
    active_ = true;
}

void Regressive::clear() {
    max_ = 0;
    value_ = -1;
    initial_ = 0;
    active_ = false;
    inShutdown_ = false;
}

void Regressive::update() {
    if (!active_ || value_ == 0)
        return;
    // Unsigned arithmetic wraps with the tick counter; read as signed, a
    // deadline already passed comes out negative.
    const uint32_t left = initial_ + max_ - tkl::System::getTicks();
    const int32_t remaining = static_cast<int32_t>(left);
    value_ = remaining < 0 ? 0 : remaining;
}

Regressive& Regressive::assign(const Regressive& other) {
    cause_ = other.cause_;
    active_ = other.active_;
    initial_ = other.initial_;
    value_ = other.value_;
    max_ = other.max_;
    inShutdown_ = other.inShutdown_;
    return *this;
}

int32_t Regressive::value() const {
    return active_ ? value_ : -1;
}

RegressiveCause Regressive::cause() const {
    return cause_;
}

std::string Regressive::causeName() const {
    return regressiveCauseName(cause_);
}

Regressive& Regressive::fromJson(const tkl::JsonObject& json) {
    clear();
    cause_ = static_cast<RegressiveCause>(tkl::jsonread::toInt32(json, "cause"));
    active_ = json.value("active").toBool();
    value_ = tkl::jsonread::toInt32(json, "value");
    inShutdown_ = json.value("inShutdown").toBool();
    return *this;
}

tkl::JsonObject Regressive::toJson() const {
    const uint8_t isTrue = 1;
    tkl::JsonObject json;
    json.insert("cause", tkl::JsonValue(static_cast<int32_t>(cause_)));
    json.insert("value", tkl::JsonValue(value_));
    // A countdown is reported running whenever it holds a value, also while
    // it is paused.
    if (value_ >= 0)
        json.insert("active", tkl::JsonValue(isTrue));
    if (inShutdown_)
        json.insert("inShutdown", tkl::JsonValue(isTrue));
    return json;
}

// --- RegressiveCounter ------------------------------------------------------

RegressiveCounter::RegressiveCounter() {
    for (RegressiveCause cause :
         {RegressiveCause::Manual, RegressiveCause::EndAutonomy, RegressiveCause::LoBattery,
          RegressiveCause::Failure, RegressiveCause::Scheduled}) {
        entries_.emplace(static_cast<int32_t>(cause), Regressive(cause));
    }
}

RegressiveCounter::RegressiveCounter(const RegressiveCounter& other)
    : tkl::Object(other), entries_(other.entries_) {}

RegressiveCounter& RegressiveCounter::operator=(const RegressiveCounter& other) {
    return assign(other);
}

RegressiveCounter::~RegressiveCounter() = default;

std::string RegressiveCounter::toString() const {
    std::ostringstream out;
    out << "\nregressive: [";
    bool first = true;
    for (const auto& entry : entries_) {
        if (!first)
            out << ", ";
        first = false;
        out << "{cause=" << entry.second.causeName() << ", value=" << entry.second.value() << "}";
    }
    out << "]\n";
    return out.str();
}

RegressiveCounter& RegressiveCounter::assign(const RegressiveCounter& other) {
    entries_ = other.entries_;
    return *this;
}

Regressive& RegressiveCounter::at(RegressiveCause cause) {
    return entries_.at(static_cast<int32_t>(cause));
}

const Regressive& RegressiveCounter::at(RegressiveCause cause) const {
    return entries_.at(static_cast<int32_t>(cause));
}

RegressiveCounter::Map::const_iterator RegressiveCounter::leading() const {
    auto best = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        const int32_t v = it->second.value();
        if (v == -1)
            continue;
        // Strictly smaller only: on a tie the lower cause, met first, stays.
        if (best == entries_.end() || v < best->second.value())
            best = it;
    }
    return best;
}

bool RegressiveCounter::isActive(RegressiveCause cause) const {
    return at(cause).isActive();
}

bool RegressiveCounter::isActive() const {
    return current().isActive();
}

bool RegressiveCounter::isExpired(RegressiveCause cause) const {
    return at(cause).value() == 0;
}

bool RegressiveCounter::isExpired() const {
    const Regressive lead = current();
    return lead.isActive() && lead.value() == 0;
}

void RegressiveCounter::start(RegressiveCause cause, uint32_t length) {
    at(cause).start(length);
}

void RegressiveCounter::clear(RegressiveCause cause) {
    at(cause).clear();
}

void RegressiveCounter::clearAll() {
    for (auto& entry : entries_)
        entry.second.clear();
}

void RegressiveCounter::stop(RegressiveCause cause) {
    at(cause).stop();
}

void RegressiveCounter::stopAll() {
    for (auto& entry : entries_)
        entry.second.stop();
}

void RegressiveCounter::activate(RegressiveCause cause) {
    at(cause).activate();
}

void RegressiveCounter::activateAll() {
    for (auto& entry : entries_)
        entry.second.activate();
}

void RegressiveCounter::update() {
    for (auto& entry : entries_)
        entry.second.update();
}

Regressive RegressiveCounter::current() const {
    const auto lead = leading();
    return lead != entries_.end() ? lead->second : Regressive();
}

bool RegressiveCounter::inShutdown() const {
    return current().inShutdown();
}

void RegressiveCounter::setInShutdown(bool flag) {
    const auto lead = leading();
    if (lead != entries_.end())
        entries_.at(lead->first).setInShutdown(flag);
}

}  // namespace custovia
