// custovia::MonitClientComputer: what a monitoring client keeps about one
// computer of its service. Entries of remote computers hold only their
// computer record; the service's own computer also holds its devices, their
// countdowns, model descriptions and action settings, and its notification
// settings.
#pragma once

#include <map>
#include <string>

#include "config/CusConfig.h"
#include "config/NotifyConfig.h"
#include "model/Computer.h"
#include "model/Device.h"
#include "model/DeviceConfig.h"
#include "model/DeviceDialCfg.h"
#include "model/DeviceMailCfg.h"
#include "model/DeviceShutCfg.h"
#include "model/Regressive.h"
#include "tkl/Object.h"

namespace custovia {

// The cache key of the service's own computer.
inline const std::string kLocalhost = "localhost";

class MonitClientComputer : public tkl::Object {
public:
    MonitClientComputer();
    // A snapshot: the source's computer, devices, regressives and device
    // configurations; every other member starts from its initial value.
    MonitClientComputer(const MonitClientComputer& other);
    // Same as assign().
    MonitClientComputer& operator=(const MonitClientComputer& other);
    ~MonitClientComputer() override;

    // Replaces computer, devices, regressives and deviceConfigs by copies of
    // the other entry's; the settings members stay as they are.
    virtual void assign(const MonitClientComputer& other);

    Computer computer;
    std::map<std::string, DeviceMailCfg> mailConfigs;
    std::map<std::string, DeviceDialCfg> dialConfigs;
    std::map<std::string, DeviceShutCfg> shutConfigs;
    std::map<std::string, Device> devices;
    std::map<std::string, Regressive> regressives;
    std::map<std::string, DeviceConfig> deviceConfigs;
    CusConfig cusConfig;  // never refreshed: always its defaults
    NotifyConfig notifyConfig;
};

}  // namespace custovia
