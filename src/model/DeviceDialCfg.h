// custovia::DeviceDialCfg: the telephone dialer settings of one device.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API DeviceDialCfg : public tkl::Object {
public:
    DeviceDialCfg();
    DeviceDialCfg(const DeviceDialCfg& other);
    DeviceDialCfg& operator=(const DeviceDialCfg& other);
    ~DeviceDialCfg() override;

    // One "name=value" per line, each but the last ending in ", ".
    std::string toString() const override;
    virtual DeviceDialCfg& assign(const DeviceDialCfg& other);
    // Everything 0 or empty.
    virtual void clear();
    // Clears, then reads every member; missing members give 0 or "".
    virtual DeviceDialCfg& fromJson(const tkl::JsonObject& json);
    // Every member, always.
    virtual tkl::JsonObject toJson() const;

    std::string id;
    uint32_t trigger;     // what starts the dialer, as coded by the service
    uint32_t triggerTmr;  // trigger timer
    uint32_t outputTmr;   // output timer
    std::string phone1;   // numbers to call, in order
    std::string phone2;
    std::string phone3;
    std::string phone4;
    std::string phone5;
    std::string phone6;
    std::string phone7;
    std::string phone8;
};

}  // namespace custovia
