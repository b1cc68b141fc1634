// custovia::LogEntry: one entry of a device's event history, with the
// measurements and flags at that moment.
#pragma once

#include <cstdint>
#include <string>

#include "model/DeviceVars.h"
#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API LogEntry : public tkl::Object {
public:
    LogEntry();
    LogEntry(const LogEntry& other);
    LogEntry& operator=(const LogEntry& other);
    ~LogEntry() override;

    // One line: "id=..., dateTime=<local time>, event=..., vars: {...},
    // flags: {...}, fail: {...}"; the time and the event only when known.
    std::string toString() const override;
    virtual LogEntry& assign(const LogEntry& other);
    // No id, event -1, time 0, sub-records cleared.
    virtual void clear();
    // Clears, then reads "id", "event", "dateTime" (milliseconds), and the
    // objects "vars", "flags" and "fail".
    virtual LogEntry& fromJson(const tkl::JsonObject& json);
    // "id" only for a well-formed 10-character device id; everything else
    // always.
    virtual tkl::JsonObject toJson() const;

    std::string id;        // device id
    int32_t event;         // event code as numbered by the service; -1 = none
    int64_t dateTime;      // milliseconds since 1970-01-01 UTC
    DeviceVars vars;       // measurements at that moment
    DeviceFlags flags;     // status flags at that moment
    DeviceFailFlags fail;  // failure flags at that moment
};

}  // namespace custovia
