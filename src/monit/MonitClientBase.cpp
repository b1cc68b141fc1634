#include "monit/MonitClientBase.h"

#include "tkl/Exception.h"

namespace custovia {

MonitClientBase::MonitClientBase() = default;

MonitClientBase::~MonitClientBase() = default;

void MonitClientBase::notImplemented() {
    throw tkl::NotImplementedException("Error: not implemented.",
                                       tkl::NotImplementedException::defaultCode);
}

void MonitClientBase::notImplemented2() {
    notImplemented();
}

// The device and regressive lists of the own computer serve listings that
// simply show nothing until the first refresh has filled the cache.
IdList MonitClientBase::getDeviceIdList() {
    try {
        return getDeviceIdList(nullptr);
    } catch (...) {
        return IdList();
    }
}

DeviceMap MonitClientBase::getDevices() {
    try {
        return getDevices(nullptr);
    } catch (...) {
        return DeviceMap();
    }
}

RegressiveMap MonitClientBase::getRegressiveList() {
    try {
        return getRegressiveList(nullptr);
    } catch (...) {
        return RegressiveMap();
    }
}

Device MonitClientBase::getDevice(const char* device) {
    return getDevice(nullptr, device);
}

void MonitClientBase::deleteDevice(const char* device) {
    deleteDevice(nullptr, device);
}

DeviceConfig MonitClientBase::getDeviceConfig(const char* device) {
    return getDeviceConfig(nullptr, device);
}

DeviceConfig MonitClientBase::getDeviceConfigByModel(int family, int model) {
    return getDeviceConfigByModel(nullptr, family, model);
}

Regressive MonitClientBase::getRegressive(const char* device) {
    return getRegressive(nullptr, device);
}

void MonitClientBase::changeUser(const char* device, const char* userName, const char* userProd) {
    changeUser(nullptr, device, userName, userProd);
}

void MonitClientBase::changeColor(const char* device, int red, int green, int blue, bool random) {
    changeColor(nullptr, device, red, green, blue, random);
}

LogEntryList MonitClientBase::getDeviceLog(const char* device) {
    return getDeviceLog(nullptr, device);
}

LogEntryList MonitClientBase::getDeviceLogHour(const char* device) {
    return getDeviceLogHour(nullptr, device);
}

LogEntryList MonitClientBase::getDeviceLogDay(const char* device) {
    return getDeviceLogDay(nullptr, device);
}

LogEntryList MonitClientBase::getDeviceLogMonth(const char* device) {
    return getDeviceLogMonth(nullptr, device);
}

DeviceMailCfg MonitClientBase::getMailConfig(const char* device) {
    return getMailConfig(nullptr, device);
}

void MonitClientBase::updMailConfig(const char* device, const DeviceMailCfg& config) {
    updMailConfig(nullptr, device, config);
}

void MonitClientBase::mailTest(const char* device) {
    mailTest(nullptr, device);
}

void MonitClientBase::cancelMailTest(const char* device) {
    cancelMailTest(nullptr, device);
}

DeviceDialCfg MonitClientBase::getDialerConfig(const char* device) {
    return getDialerConfig(nullptr, device);
}

void MonitClientBase::updDialerConfig(const char* device, const DeviceDialCfg& config) {
    updDialerConfig(nullptr, device, config);
}

DeviceShutCfg MonitClientBase::getShutdownConfig(const char* device) {
    return getShutdownConfig(nullptr, device);
}

void MonitClientBase::updShutdownConfig(const char* device, const DeviceShutCfg& config) {
    updShutdownConfig(nullptr, device, config);
}

void MonitClientBase::manualShutdown(const char* device) {
    manualShutdown(nullptr, device);
}

void MonitClientBase::cancelShutdown(const char* device) {
    cancelShutdown(nullptr, device);
}

void MonitClientBase::manualDischarge(const char* device) {
    manualDischarge(nullptr, device);
}

void MonitClientBase::setLineSense(const char* device, int value) {
    setLineSense(nullptr, device, value);
}

void MonitClientBase::setICBattery(const char* device, int value) {
    setICBattery(nullptr, device, value);
}

CusConfig MonitClientBase::getCusConfig() {
    return getCusConfig(nullptr);
}

void MonitClientBase::updCusConfig(const CusConfig& config) {
    updCusConfig(nullptr, config);
}

NotifyConfig MonitClientBase::getNotifyConfig() {
    return getNotifyConfig(nullptr);
}

void MonitClientBase::updNotifyConfig(const NotifyConfig& config) {
    updNotifyConfig(nullptr, config);
}

}  // namespace custovia
