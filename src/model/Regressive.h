// Countdowns toward a shutdown: custovia::Regressive (one cause) and
// custovia::RegressiveCounter (one countdown per cause, and which one runs
// out first). Countdowns are measured against the system's 32-bit
// millisecond tick counter, so they keep running between readings; update()
// brings the remaining value up to date, also across a wrap of the counter.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

// What a countdown is for. Values outside the table are kept as they are and
// print as their decimal number.
enum class RegressiveCause : int32_t {
    None = 0,
    Manual = 1,
    EndAutonomy = 2,
    LoBattery = 3,
    Failure = 4,
    Scheduled = 5,
};

// "None", "Manual", ... or the decimal number of an unknown cause.
TKL_API std::string regressiveCauseName(RegressiveCause cause);

class TKL_API Regressive : public tkl::Object {
public:
    // Idle: cause None, not active, value -1, no length, not in shutdown.
    Regressive();
    explicit Regressive(RegressiveCause cause);
    // A countdown with every field given: `initial` is the tick count at its
    // start, `value` the remaining milliseconds as last updated (-1: none),
    // `max` its length.
    Regressive(RegressiveCause cause, bool active, uint32_t initial, int32_t value, uint32_t max,
               bool inShutdown);
    Regressive(const Regressive& other);
    Regressive& operator=(const Regressive& other);
    ~Regressive() override;

    // "active=1, cause=2, value=900, max=1000, initial=123, inShutdown=0\n"
    std::string toString() const override;
    // Starts an idle or stopped countdown of `length` milliseconds from now
    // and resets inShutdown. A running countdown is left alone.
    virtual void start(uint32_t length);
    // Pauses: value() reads -1, but every field stays.
    virtual void stop();
    // Resumes with the same start tick, so the time spent stopped counts.
    virtual void activate();
    // Back to idle; the cause stays.
    virtual void clear();
    // Recomputes the remaining milliseconds of a running countdown from the
    // tick counter. The value never goes below 0 and stays at 0 once there.
    virtual void update();
    virtual Regressive& assign(const Regressive& other);
    // Remaining milliseconds, or -1 when not running.
    virtual int32_t value() const;
    virtual RegressiveCause cause() const;
    virtual std::string causeName() const;
    // Clears, then reads "cause", "active", "value" and "inShutdown".
    virtual Regressive& fromJson(const tkl::JsonObject& json);
    // "cause" and "value" always; "active" (1) when the stored value is not
    // negative, "inShutdown" (1) when set. False flags are left out.
    virtual tkl::JsonObject toJson() const;

    // Plain accessors of the stored state.
    bool isActive() const { return active_; }
    uint32_t initial() const { return initial_; }
    uint32_t max() const { return max_; }
    bool inShutdown() const { return inShutdown_; }
    // Set by the owner when the shutdown this countdown leads to begins.
    void setInShutdown(bool flag) { inShutdown_ = flag; }

private:
    RegressiveCause cause_;
    bool active_;
    uint32_t initial_;
    int32_t value_;
    uint32_t max_;
    bool inShutdown_;
};

class TKL_API RegressiveCounter : public tkl::Object {
public:
    using Map = std::map<int32_t, Regressive>;

    // One idle countdown for each cause Manual to Scheduled; none for None.
    RegressiveCounter();
    RegressiveCounter(const RegressiveCounter& other);
    RegressiveCounter& operator=(const RegressiveCounter& other);
    ~RegressiveCounter() override;

    // "\nregressive: [{cause=Manual, value=-1}, ...]\n"
    std::string toString() const override;
    virtual RegressiveCounter& assign(const RegressiveCounter& other);

    // Operations naming a cause throw std::out_of_range ("map::at") for a
    // cause without an entry, and then change nothing.
    virtual bool isActive(RegressiveCause cause) const;
    // Whether the countdown that runs out first is running.
    virtual bool isActive() const;
    // Whether that cause's countdown runs and has reached 0.
    virtual bool isExpired(RegressiveCause cause) const;
    virtual bool isExpired() const;
    virtual void start(RegressiveCause cause, uint32_t length);
    virtual void clear(RegressiveCause cause);
    virtual void clearAll();
    virtual void stop(RegressiveCause cause);
    virtual void stopAll();
    virtual void activate(RegressiveCause cause);
    virtual void activateAll();
    // Updates every countdown.
    virtual void update();
    // A copy of the running countdown with the least time left (the lower
    // cause on a tie), or an idle Regressive when none runs.
    virtual Regressive current() const;
    virtual bool inShutdown() const;
    // Marks the countdown current() would choose; nothing when none runs.
    virtual void setInShutdown(bool flag);

    const Map& entries() const { return entries_; }

private:
    Regressive& at(RegressiveCause cause);
    const Regressive& at(RegressiveCause cause) const;
    // The running countdown with the least time left, end() when none runs.
    Map::const_iterator leading() const;

    Map entries_;
};

}  // namespace custovia
