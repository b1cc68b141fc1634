// The plain names of the functions libcustovia exports with C linkage.
#pragma once

namespace clienttest {

// The 39 functions of custovia.h.
const char* const kExports[] = {
    // Handles, hosts and computers
    "openCli", "closeCli", "connectCli", "disconnectCli", "isConnected", "getLogger",
    "getHostCount", "getComputerCount", "getComputerList", "getVersion",
    // Devices, their models and logs
    "getDeviceCount", "getDevice", "getDeviceList", "getDeviceConfig", "getDeviceConfigByModel",
    "deleteDevice", "changeUserDevice", "changeColorDevice", "deviceLog", "deviceLogHour",
    "deviceLogDay", "deviceLogMonth",
    // Settings and commands
    "updDevMailConfig", "manualDevMailTest", "cancelDevMailTest", "updDevDialerConfig",
    "updDevShutdownConfig", "manualDevShutdown", "cancelDevShutdown", "manualDevDischarge",
    "deviceSetLineSense", "deviceSetICBattery", "updNotifyConfig", "getRegressiveCounterList",
    "getRegressiveCounter", "devMailConfig", "devDialerConfig", "devShutdownConfig",
    "notifyConfig"};

// The functions of custovia_ext.h the library exports so far, in the same
// frame.
const char* const kExtensionExports[] = {
    "setTlsVerification",  "refreshHost",     "getHostHealth",    "getHostHealthList",
    "setUnreachableAfter", "waitEvents",      "addEventCallback", "removeEventCallback",
    "setEventQueueLimit",  "setRefreshPeriod"};

}  // namespace clienttest
