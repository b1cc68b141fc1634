// custovia::MonitData: a snapshot of everything monitored for one device at
// one moment: current and previous state, model description, shutdown
// settings, countdowns and the leading countdown now and before.
#pragma once

#include <cstdint>
#include <string>

#include "model/Device.h"
#include "model/DeviceConfig.h"
#include "model/DeviceShutCfg.h"
#include "model/Regressive.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API MonitData : public tkl::Object {
public:
    MonitData();
    MonitData(const MonitData& other);
    MonitData& operator=(const MonitData& other);
    ~MonitData() override;

    // Seven "label: {...}," lines, then "remoteCtrlTimer = " and the timer.
    std::string toString() const override;
    virtual MonitData& assign(const MonitData& other);
    // Clears every part; the five countdown entries stay (idle), the two
    // leading countdowns keep their cause, and the remote timer is stopped.
    virtual void clear();

    Device actualState;                   // current state of the device
    Device oldState;                      // state before the current one
    DeviceConfig config;                  // model description
    DeviceShutCfg shutCfg;                // shutdown settings
    RegressiveCounter regressiveCounter;  // countdowns per cause
    Regressive actualRegressive;          // leading countdown now
    Regressive oldRegressive;             // leading countdown before
    int64_t remoteCtrlTimer;              // remote control timer; -1 = not running
};

}  // namespace custovia
