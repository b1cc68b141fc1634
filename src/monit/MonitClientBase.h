// custovia::MonitClientBase: answers the computer-less operations of a
// monitoring client for the service's own computer by forwarding them to the
// computer-qualified forms with a null computer. The computer-qualified forms
// stay for the concrete client.
#pragma once

#include "monit/MonitManagerBase.h"

namespace custovia {

class MonitClientBase : public MonitManagerBase {
public:
    MonitClientBase();
    MonitClientBase(const MonitClientBase&) = delete;
    MonitClientBase& operator=(const MonitClientBase&) = delete;
    ~MonitClientBase() override;

    // Both raise tkl::NotImplementedException ("Error: not implemented.", -203).
    void notImplemented() override;
    void notImplemented2() override;

    // These three never raise: any failure answers an empty result.
    IdList getDeviceIdList() override;
    DeviceMap getDevices() override;
    RegressiveMap getRegressiveList() override;

    Device getDevice(const char* device) override;
    void deleteDevice(const char* device) override;
    DeviceConfig getDeviceConfig(const char* device) override;
    DeviceConfig getDeviceConfigByModel(int family, int model) override;
    Regressive getRegressive(const char* device) override;
    void changeUser(const char* device, const char* userName, const char* userProd) override;
    void changeColor(const char* device, int red, int green, int blue, bool random) override;
    LogEntryList getDeviceLog(const char* device) override;
    LogEntryList getDeviceLogHour(const char* device) override;
    LogEntryList getDeviceLogDay(const char* device) override;
    LogEntryList getDeviceLogMonth(const char* device) override;
    DeviceMailCfg getMailConfig(const char* device) override;
    void updMailConfig(const char* device, const DeviceMailCfg& config) override;
    void mailTest(const char* device) override;
    void cancelMailTest(const char* device) override;
    DeviceDialCfg getDialerConfig(const char* device) override;
    void updDialerConfig(const char* device, const DeviceDialCfg& config) override;
    DeviceShutCfg getShutdownConfig(const char* device) override;
    void updShutdownConfig(const char* device, const DeviceShutCfg& config) override;
    void manualShutdown(const char* device) override;
    void cancelShutdown(const char* device) override;
    void manualDischarge(const char* device) override;
    void setLineSense(const char* device, int value) override;
    void setICBattery(const char* device, int value) override;
    CusConfig getCusConfig() override;
    void updCusConfig(const CusConfig& config) override;
    NotifyConfig getNotifyConfig() override;
    void updNotifyConfig(const NotifyConfig& config) override;

    // The computer-qualified forms stay visible next to the overrides above.
    using MonitManagerBase::cancelMailTest;
    using MonitManagerBase::cancelShutdown;
    using MonitManagerBase::changeColor;
    using MonitManagerBase::changeUser;
    using MonitManagerBase::deleteDevice;
    using MonitManagerBase::getCusConfig;
    using MonitManagerBase::getDevice;
    using MonitManagerBase::getDeviceConfig;
    using MonitManagerBase::getDeviceConfigByModel;
    using MonitManagerBase::getDeviceIdList;
    using MonitManagerBase::getDeviceLog;
    using MonitManagerBase::getDeviceLogDay;
    using MonitManagerBase::getDeviceLogHour;
    using MonitManagerBase::getDeviceLogMonth;
    using MonitManagerBase::getDevices;
    using MonitManagerBase::getDialerConfig;
    using MonitManagerBase::getMailConfig;
    using MonitManagerBase::getNotifyConfig;
    using MonitManagerBase::getRegressive;
    using MonitManagerBase::getRegressiveList;
    using MonitManagerBase::getShutdownConfig;
    using MonitManagerBase::mailTest;
    using MonitManagerBase::manualDischarge;
    using MonitManagerBase::manualShutdown;
    using MonitManagerBase::setICBattery;
    using MonitManagerBase::setLineSense;
    using MonitManagerBase::updCusConfig;
    using MonitManagerBase::updDialerConfig;
    using MonitManagerBase::updMailConfig;
    using MonitManagerBase::updNotifyConfig;
    using MonitManagerBase::updShutdownConfig;
};

}  // namespace custovia
