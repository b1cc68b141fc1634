/*
 * custovia.h - the public interface of libcustovia.
 *
 * A program opens a handle with openCli(), connects it to one or more
 * monitoring hosts with connectCli(), reads what the hosts' services report
 * and sends device commands, then disconnects and closes the handle.
 *
 * Every function but openCli() and closeCli() returns a status: 1 on success
 * (or a count, or 0/1 for isConnected), a negative code on failure:
 *   -202  a required argument is null or empty
 *   -300  a monitoring client cannot be created
 *   -302  host, computer, device or settings not found, or a command failed
 *   -320, -3200 and other negative codes of the library's exceptions
 *   -1    any other failure (for instance a device missing from getDevice)
 *
 * host: null or empty selects the first connected host (byte order).
 * computer: null or empty selects the service's own computer.
 * Receivers and containers belong to the caller: a receiver's assign() is
 * called with the result; maps and record vectors are replaced; name vectors
 * are appended to. Reads answer from a cache refreshed every 3 seconds.
 *
 * No call on a handle may run while connectCli, disconnectCli or closeCli run
 * on the same handle; other calls may come from several threads.
 */
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/NotifyConfig.h"
#include "model/Computer.h"
#include "model/Device.h"
#include "model/DeviceConfig.h"
#include "model/DeviceDialCfg.h"
#include "model/DeviceMailCfg.h"
#include "model/DeviceShutCfg.h"
#include "model/LogEntry.h"
#include "model/Regressive.h"
#include "tkl/Export.h"
#include "tkl/Logger.h"

#define CUSTOVIA_API extern "C" TKL_API
#define CUSTOVIA_CALL TKL_CALL

/* Opaque handle returned by openCli(). */
typedef void* CustoviaHandle;

typedef std::vector<std::string> CustoviaNames;
typedef std::map<std::string, custovia::Computer> CustoviaComputers;
typedef std::map<std::string, custovia::Device> CustoviaDevices;
typedef std::map<std::string, custovia::Regressive> CustoviaRegressives;
typedef std::vector<custovia::LogEntry> CustoviaLog;

/* Handle and connections. */
CUSTOVIA_API CustoviaHandle CUSTOVIA_CALL openCli();
CUSTOVIA_API void CUSTOVIA_CALL closeCli(CustoviaHandle handle);
CUSTOVIA_API int32_t CUSTOVIA_CALL connectCli(CustoviaHandle handle, const char* url);
CUSTOVIA_API int32_t CUSTOVIA_CALL disconnectCli(CustoviaHandle handle, const char* host);
CUSTOVIA_API int32_t CUSTOVIA_CALL isConnected(CustoviaHandle handle, const char* host);
CUSTOVIA_API int32_t CUSTOVIA_CALL getLogger(CustoviaHandle handle, const char* name,
                                             tkl::Logger** out);
CUSTOVIA_API int32_t CUSTOVIA_CALL getHostCount(CustoviaHandle handle, CustoviaNames* names);

/* Computers and devices. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getComputerCount(CustoviaHandle handle, const char* host,
                                                    CustoviaNames* names);
CUSTOVIA_API int32_t CUSTOVIA_CALL getComputerList(CustoviaHandle handle, const char* host,
                                                   CustoviaComputers* computers);
CUSTOVIA_API int32_t CUSTOVIA_CALL getVersion(CustoviaHandle handle, const char* host,
                                              const char* computer, custovia::Computer* out);
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceCount(CustoviaHandle handle, const char* host,
                                                  const char* computer, CustoviaNames* names);
CUSTOVIA_API int32_t CUSTOVIA_CALL getDevice(CustoviaHandle handle, const char* host,
                                             const char* computer, const char* device,
                                             custovia::Device* out);
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceList(CustoviaHandle handle, const char* host,
                                                 const char* computer, CustoviaDevices* devices);
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer, const char* device,
                                                   custovia::DeviceConfig* out);
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceConfigByModel(CustoviaHandle handle, const char* host,
                                                          const char* computer, int32_t family,
                                                          int32_t model,
                                                          custovia::DeviceConfig* out);

/* Device changes and commands. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deleteDevice(CustoviaHandle handle, const char* host,
                                                const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL changeUserDevice(CustoviaHandle handle, const char* host,
                                                    const char* computer, const char* device,
                                                    const char* userName, const char* userProd);
CUSTOVIA_API int32_t CUSTOVIA_CALL changeColorDevice(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device,
                                                     int32_t red, int32_t green, int32_t blue,
                                                     bool random);
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevShutdown(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL cancelDevShutdown(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevDischarge(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceSetLineSense(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      int32_t value);
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceSetICBattery(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      int32_t value);

/* Event histories (always empty: the service keeps them). */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLog(CustoviaHandle handle, const char* host,
                                             const char* computer, const char* device,
                                             CustoviaLog* log);
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogHour(CustoviaHandle handle, const char* host,
                                                 const char* computer, const char* device,
                                                 CustoviaLog* log);
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogDay(CustoviaHandle handle, const char* host,
                                                const char* computer, const char* device,
                                                CustoviaLog* log);
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogMonth(CustoviaHandle handle, const char* host,
                                                  const char* computer, const char* device,
                                                  CustoviaLog* log);

/* Per-device settings. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevMailConfig(CustoviaHandle handle, const char* host,
                                                    const char* computer, const char* device,
                                                    const custovia::DeviceMailCfg* config);
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevMailTest(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL cancelDevMailTest(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevDialerConfig(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      const custovia::DeviceDialCfg* config);
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevShutdownConfig(CustoviaHandle handle, const char* host,
                                                        const char* computer, const char* device,
                                                        const custovia::DeviceShutCfg* config);
CUSTOVIA_API int32_t CUSTOVIA_CALL devMailConfig(CustoviaHandle handle, const char* host,
                                                 const char* computer, const char* device,
                                                 custovia::DeviceMailCfg* out);
CUSTOVIA_API int32_t CUSTOVIA_CALL devDialerConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer, const char* device,
                                                   custovia::DeviceDialCfg* out);
CUSTOVIA_API int32_t CUSTOVIA_CALL devShutdownConfig(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device,
                                                     custovia::DeviceShutCfg* out);

/* Notification settings of a computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updNotifyConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer,
                                                   const custovia::NotifyConfig* config);
CUSTOVIA_API int32_t CUSTOVIA_CALL notifyConfig(CustoviaHandle handle, const char* host,
                                                const char* computer, custovia::NotifyConfig* out);

/* Shutdown countdowns. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getRegressiveCounterList(CustoviaHandle handle, const char* host,
                                                            const char* computer,
                                                            CustoviaRegressives* counters);
CUSTOVIA_API int32_t CUSTOVIA_CALL getRegressiveCounter(CustoviaHandle handle, const char* host,
                                                        const char* computer, const char* device,
                                                        custovia::Regressive* out);
