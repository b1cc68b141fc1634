// The interface of a per-host monitoring client, as the client manager sees
// it, and the base that answers the computer-less forms for the service's own
// computer.
//
// Every computer argument is a possibly null text: null or empty means the
// service's own computer ("localhost"). Device identifiers are texts too.
// Reads answer from the client's cache; commands and settings updates send
// their request at once.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "config/CusConfig.h"
#include "config/NotifyConfig.h"
#include "config/Url.h"
#include "model/Computer.h"
#include "model/Device.h"
#include "model/DeviceConfig.h"
#include "model/DeviceDialCfg.h"
#include "model/DeviceMailCfg.h"
#include "model/DeviceShutCfg.h"
#include "model/LogEntry.h"
#include "model/Regressive.h"
#include "tkl/Logger.h"
#include "tkl/Object.h"

namespace custovia {

using ComputerMap = std::map<std::string, Computer>;
using DeviceMap = std::map<std::string, Device>;
using RegressiveMap = std::map<std::string, Regressive>;
using LogEntryList = std::vector<LogEntry>;
using IdList = std::vector<std::string>;

class MonitManagerBase : public tkl::Object {
public:
    ~MonitManagerBase() override;

    // Placeholder operation that raises NotImplementedException (-203).
    virtual void notImplemented() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() = 0;
    // The client's own logger for "monitclient", else the registry's logger.
    virtual tkl::Logger* getLogger(const char* name) = 0;

    // Computer-less forms: the service's own computer.
    virtual IdList getDeviceIdList() = 0;
    virtual DeviceMap getDevices() = 0;
    virtual Device getDevice(const char* device) = 0;
    virtual void deleteDevice(const char* device) = 0;
    virtual DeviceConfig getDeviceConfig(const char* device) = 0;
    virtual DeviceConfig getDeviceConfigByModel(int family, int model) = 0;
    virtual void notImplemented2() = 0;
    virtual RegressiveMap getRegressiveList() = 0;
    virtual Regressive getRegressive(const char* device) = 0;
    virtual void changeUser(const char* device, const char* userName, const char* userProd) = 0;
    virtual void changeColor(const char* device, int red, int green, int blue, bool random) = 0;
    virtual LogEntryList getDeviceLog(const char* device) = 0;
    virtual LogEntryList getDeviceLogHour(const char* device) = 0;
    virtual LogEntryList getDeviceLogDay(const char* device) = 0;
    virtual LogEntryList getDeviceLogMonth(const char* device) = 0;
    virtual DeviceMailCfg getMailConfig(const char* device) = 0;
    virtual void updMailConfig(const char* device, const DeviceMailCfg& config) = 0;
    virtual void mailTest(const char* device) = 0;
    virtual void cancelMailTest(const char* device) = 0;
    virtual DeviceDialCfg getDialerConfig(const char* device) = 0;
    virtual void updDialerConfig(const char* device, const DeviceDialCfg& config) = 0;
    virtual DeviceShutCfg getShutdownConfig(const char* device) = 0;
    virtual void updShutdownConfig(const char* device, const DeviceShutCfg& config) = 0;
    virtual void manualShutdown(const char* device) = 0;
    virtual void cancelShutdown(const char* device) = 0;
    virtual void manualDischarge(const char* device) = 0;
    virtual void setLineSense(const char* device, int value) = 0;
    virtual void setICBattery(const char* device, int value) = 0;
    virtual CusConfig getCusConfig() = 0;
    virtual void updCusConfig(const CusConfig& config) = 0;
    virtual NotifyConfig getNotifyConfig() = 0;
    virtual void updNotifyConfig(const NotifyConfig& config) = 0;

    virtual void start(const Url& url) = 0;
    virtual void start(const char* url) = 0;
    virtual Url getUrl() = 0;

    // Computer-qualified forms.
    virtual ComputerMap getComputers() = 0;
    virtual Computer getComputer(const char* computer) = 0;
    virtual IdList getDeviceIdList(const char* computer) = 0;
    virtual DeviceMap getDevices(const char* computer) = 0;
    virtual Device getDevice(const char* computer, const char* device) = 0;
    virtual void deleteDevice(const char* computer, const char* device) = 0;
    virtual DeviceConfig getDeviceConfig(const char* computer, const char* device) = 0;
    virtual DeviceConfig getDeviceConfigByModel(const char* computer, int family, int model) = 0;
    virtual RegressiveMap getRegressiveList(const char* computer) = 0;
    virtual Regressive getRegressive(const char* computer, const char* device) = 0;
    virtual void changeUser(const char* computer, const char* device, const char* userName,
                            const char* userProd) = 0;
    virtual void changeColor(const char* computer, const char* device, int red, int green, int blue,
                             bool random) = 0;
    virtual LogEntryList getDeviceLog(const char* computer, const char* device) = 0;
    virtual LogEntryList getDeviceLogHour(const char* computer, const char* device) = 0;
    virtual LogEntryList getDeviceLogDay(const char* computer, const char* device) = 0;
    virtual LogEntryList getDeviceLogMonth(const char* computer, const char* device) = 0;
    virtual DeviceMailCfg getMailConfig(const char* computer, const char* device) = 0;
    virtual void updMailConfig(const char* computer, const char* device,
                               const DeviceMailCfg& config) = 0;
    virtual void mailTest(const char* computer, const char* device) = 0;
    virtual void cancelMailTest(const char* computer, const char* device) = 0;
    virtual DeviceDialCfg getDialerConfig(const char* computer, const char* device) = 0;
    virtual void updDialerConfig(const char* computer, const char* device,
                                 const DeviceDialCfg& config) = 0;
    virtual DeviceShutCfg getShutdownConfig(const char* computer, const char* device) = 0;
    virtual void updShutdownConfig(const char* computer, const char* device,
                                   const DeviceShutCfg& config) = 0;
    virtual void manualShutdown(const char* computer, const char* device) = 0;
    virtual void cancelShutdown(const char* computer, const char* device) = 0;
    virtual void manualDischarge(const char* computer, const char* device) = 0;
    virtual void setLineSense(const char* computer, const char* device, int value) = 0;
    virtual void setICBattery(const char* computer, const char* device, int value) = 0;
    virtual CusConfig getCusConfig(const char* computer) = 0;
    virtual void updCusConfig(const char* computer, const CusConfig& config) = 0;
    virtual NotifyConfig getNotifyConfig(const char* computer) = 0;
    virtual void updNotifyConfig(const char* computer, const NotifyConfig& config) = 0;
};

}  // namespace custovia
