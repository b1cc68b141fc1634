// custovia::DeviceShutCfg: the shutdown policy the monitoring service applies
// to one device (countdown lengths per cause, what happens to the UPS and to
// the client computers).
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API DeviceShutCfg : public tkl::Object {
public:
    DeviceShutCfg();
    DeviceShutCfg(const DeviceShutCfg& other);
    DeviceShutCfg& operator=(const DeviceShutCfg& other);
    ~DeviceShutCfg() override;

    // Three groups on separate lines: "shutdown: {...}, ", "device: {...}",
    // "client: {...}", one value per line.
    std::string toString() const override;
    virtual DeviceShutCfg& assign(const DeviceShutCfg& other);
    // Back to the defaults (counters 20/30/20/20/20/10, delay 1000, UPS off
    // after 120, clients shut down (hibernating) after 5).
    virtual void clear();
    // Clears, then reads every member; a missing member gives 0 or the empty
    // text, not the default. Flag members are stored as 1 or 0.
    virtual DeviceShutCfg& fromJson(const tkl::JsonObject& json);
    // Every member, always; id and cliRun as strings, the rest as numbers.
    virtual tkl::JsonObject toJson() const;

    std::string id;
    uint32_t enabled;           // 0 or 1: shutdown management on
    uint32_t counterManual;     // countdown for a manual shutdown
    uint32_t counterOpBattery;  // countdown while on battery
    uint32_t counterLoBattery;  // countdown on low battery
    uint32_t counterFailure;    // countdown on a failure
    uint32_t counterTimer;      // countdown for a scheduled shutdown
    uint32_t counterBatLevel;   // value for the battery-level cause
    uint32_t remCtrlDelay;      // remote control delay
    uint32_t devShutEnabled;    // 0 or 1: turn the UPS off
    uint32_t devStandByKeep;    // 0 or 1: keep the UPS in stand-by
    uint32_t devShutTimer;      // UPS shutdown timer
    uint32_t cliShutEnabled;    // 0 or 1: shut the client computers down
    uint32_t cliHibernate;      // 0 or 1: hibernate them instead
    uint32_t cliShutTimer;      // client shutdown timer
    std::string cliRun;         // command a client runs before shutting down
};

}  // namespace custovia
