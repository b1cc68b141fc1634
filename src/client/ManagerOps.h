// The data operations of the client manager, listed once and expanded where
// they are declared, overridden and routed to a host's client.
//
// CUSTOVIA_MANAGER_OPS0(X) lists operations without arguments of their own,
// CUSTOVIA_MANAGER_OPS(X) those with; each entry is
//   X(result, manager operation, client operation, (parameters), (arguments))
// and every operation comes as a triple: op(args) for the first host and the
// service's own computer, op(host, args), and op(host, computer, args).
#pragma once

#define CUSTOVIA_UNPAREN(...) __VA_ARGS__

#define CUSTOVIA_MANAGER_OPS0(X)                                   \
    X(Computer, getComputer, getComputer, (), ())                  \
    X(IdList, getDeviceIdList, getDeviceIdList, (), ())            \
    X(DeviceMap, getDeviceList, getDevices, (), ())                \
    X(RegressiveMap, getRegressiveList, getRegressiveList, (), ()) \
    X(CusConfig, getCusConfig, getCusConfig, (), ())               \
    X(NotifyConfig, getNotifyConfig, getNotifyConfig, (), ())

#define CUSTOVIA_MANAGER_OPS(X)                                                                  \
    X(Device, getDevice, getDevice, (const char* device), (device))                              \
    X(void, deleteDevice, deleteDevice, (const char* device), (device))                          \
    X(DeviceConfig, getDeviceConfig, getDeviceConfig, (const char* device), (device))            \
    X(DeviceConfig, getDeviceConfigByModel, getDeviceConfigByModel, (int family, int model),     \
      (family, model))                                                                           \
    X(Regressive, getRegressive, getRegressive, (const char* device), (device))                  \
    X(void, changeUser, changeUser,                                                              \
      (const char* device, const char* userName, const char* userProd),                          \
      (device, userName, userProd))                                                              \
    X(void, changeColor, changeColor,                                                            \
      (const char* device, int red, int green, int blue, bool random),                           \
      (device, red, green, blue, random))                                                        \
    X(LogEntryList, getDeviceLog, getDeviceLog, (const char* device), (device))                  \
    X(LogEntryList, getDeviceLogHour, getDeviceLogHour, (const char* device), (device))          \
    X(LogEntryList, getDeviceLogDay, getDeviceLogDay, (const char* device), (device))            \
    X(LogEntryList, getDeviceLogMonth, getDeviceLogMonth, (const char* device), (device))        \
    X(DeviceMailCfg, getMailConfig, getMailConfig, (const char* device), (device))               \
    X(void, updMailConfig, updMailConfig, (const char* device, const DeviceMailCfg& config),     \
      (device, config))                                                                          \
    X(void, mailTest, mailTest, (const char* device), (device))                                  \
    X(void, cancelMailTest, cancelMailTest, (const char* device), (device))                      \
    X(DeviceDialCfg, getDialerConfig, getDialerConfig, (const char* device), (device))           \
    X(void, updDialerConfig, updDialerConfig, (const char* device, const DeviceDialCfg& config), \
      (device, config))                                                                          \
    X(DeviceShutCfg, getShutdownConfig, getShutdownConfig, (const char* device), (device))       \
    X(void, updShutdownConfig, updShutdownConfig,                                                \
      (const char* device, const DeviceShutCfg& config), (device, config))                       \
    X(void, manualShutdown, manualShutdown, (const char* device), (device))                      \
    X(void, cancelShutdown, cancelShutdown, (const char* device), (device))                      \
    X(void, manualDischarge, manualDischarge, (const char* device), (device))                    \
    X(void, setLineSense, setLineSense, (const char* device, int value), (device, value))        \
    X(void, setICBattery, setICBattery, (const char* device, int value), (device, value))        \
    X(void, updCusConfig, updCusConfig, (const CusConfig& config), (config))                     \
    X(void, updNotifyConfig, updNotifyConfig, (const NotifyConfig& config), (config))
