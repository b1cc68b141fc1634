/*
 * custovia.h - the public interface of libcustovia.
 *
 * A program opens a handle with openCli(), connects it to one or more
 * monitoring hosts with connectCli(), reads what the hosts' services report
 * and sends device commands, then disconnects and closes the handle.
 *
 * Every function but openCli() and closeCli() returns a status: 1 on success
 * (or a count, or 0/1 for isConnected), a negative code on failure:
 *   -202  a required argument is null or empty, or the handle is not open
 *   -300  a monitoring client cannot be created
 *   -302  host, computer, device or settings not found, or a command failed
 *   -320, -3200 and other negative codes of the library's exceptions
 *   -1    any other failure (for instance a device missing from getDevice)
 * Each export's line below says whether it answers from the cache or sends a
 * request, and which codes it adds to the -202 of a handle that is not open
 * and, where it takes a host, the -302 of a host that is not connected.
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
/* A new handle without hosts; null when it cannot be created. */
CUSTOVIA_API CustoviaHandle CUSTOVIA_CALL openCli();
/* Disconnects every host and frees the handle; a handle not open is ignored. */
CUSTOVIA_API void CUSTOVIA_CALL closeCli(CustoviaHandle handle);
/* Starts the 3 s refresh of url, replacing a connection to the same host; -202 empty url. */
CUSTOVIA_API int32_t CUSTOVIA_CALL connectCli(CustoviaHandle handle, const char* url);
/* Stops the host's refresh and drops its cache; -302 unknown host. */
CUSTOVIA_API int32_t CUSTOVIA_CALL disconnectCli(CustoviaHandle handle, const char* host);
/* 1 when the host's refresh runs, 0 when not or the host is unknown. */
CUSTOVIA_API int32_t CUSTOVIA_CALL isConnected(CustoviaHandle handle, const char* host);
/* *out = the logger called name ("monitclient": the first host's); -202 null name or out. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getLogger(CustoviaHandle handle, const char* name,
                                             tkl::Logger** out);
/* Appends the connected host names; returns the vector's size. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getHostCount(CustoviaHandle handle, CustoviaNames* names);

/* Computers and devices. */
/* Cache: appends the host's computer addresses; returns the size; -302 unknown host. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getComputerCount(CustoviaHandle handle, const char* host,
                                                    CustoviaNames* names);
/* Cache: replaces the map (address -> computer); -302 unknown host. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getComputerList(CustoviaHandle handle, const char* host,
                                                   CustoviaComputers* computers);
/* Cache: assigns the computer's record; -302 unknown host or computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getVersion(CustoviaHandle handle, const char* host,
                                              const char* computer, custovia::Computer* out);
/* Cache: appends the computer's device ids; returns the size; -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceCount(CustoviaHandle handle, const char* host,
                                                  const char* computer, CustoviaNames* names);
/* Cache: assigns the device; -1 for a device not in the map, -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getDevice(CustoviaHandle handle, const char* host,
                                             const char* computer, const char* device,
                                             custovia::Device* out);
/* Cache: replaces the map (id -> device); -302 unknown host or computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceList(CustoviaHandle handle, const char* host,
                                                 const char* computer, CustoviaDevices* devices);
/* Cache: assigns the device's model description; -302 none cached, -202 no device. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer, const char* device,
                                                   custovia::DeviceConfig* out);
/* Network: the description of family and model (family only when model < 0); -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getDeviceConfigByModel(CustoviaHandle handle, const char* host,
                                                          const char* computer, int32_t family,
                                                          int32_t model,
                                                          custovia::DeviceConfig* out);

/* Device changes and commands. */
/* Network: removes the device at the service; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deleteDevice(CustoviaHandle handle, const char* host,
                                                const char* computer, const char* device);
/* Network: sets the device's user name and product text; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL changeUserDevice(CustoviaHandle handle, const char* host,
                                                    const char* computer, const char* device,
                                                    const char* userName, const char* userProd);
/* Network: sets the device's colour (or a random one); -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL changeColorDevice(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device,
                                                     int32_t red, int32_t green, int32_t blue,
                                                     bool random);
/* Network: starts the device's shutdown; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevShutdown(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
/* Network: cancels the device's shutdown; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL cancelDevShutdown(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
/* Network: starts a battery discharge; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevDischarge(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device);
/* Network: sets the line sensitivity; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceSetLineSense(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      int32_t value);
/* Network: sets the battery charger current; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceSetICBattery(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      int32_t value);

/* Event histories (always empty: the service keeps them). */
/* No request: replaces the vector with an empty one; -202 no device. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLog(CustoviaHandle handle, const char* host,
                                             const char* computer, const char* device,
                                             CustoviaLog* log);
/* No request: replaces the vector with an empty one; -202 no device. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogHour(CustoviaHandle handle, const char* host,
                                                 const char* computer, const char* device,
                                                 CustoviaLog* log);
/* No request: replaces the vector with an empty one; -202 no device. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogDay(CustoviaHandle handle, const char* host,
                                                const char* computer, const char* device,
                                                CustoviaLog* log);
/* No request: replaces the vector with an empty one; -202 no device. */
CUSTOVIA_API int32_t CUSTOVIA_CALL deviceLogMonth(CustoviaHandle handle, const char* host,
                                                  const char* computer, const char* device,
                                                  CustoviaLog* log);

/* Per-device settings. */
/* Network: sends the mail settings; -202 no device or config, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevMailConfig(CustoviaHandle handle, const char* host,
                                                    const char* computer, const char* device,
                                                    const custovia::DeviceMailCfg* config);
/* Network: starts a test mail; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL manualDevMailTest(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
/* Network: cancels the test mail; -202 no device, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL cancelDevMailTest(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device);
/* Network: sends the dialer settings; -202 no device or config, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevDialerConfig(CustoviaHandle handle, const char* host,
                                                      const char* computer, const char* device,
                                                      const custovia::DeviceDialCfg* config);
/* Network: sends the shutdown settings; -202 no device or config, -302 failed. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updDevShutdownConfig(CustoviaHandle handle, const char* host,
                                                        const char* computer, const char* device,
                                                        const custovia::DeviceShutCfg* config);
/* Cache: assigns the mail settings (empty when not cached); -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL devMailConfig(CustoviaHandle handle, const char* host,
                                                 const char* computer, const char* device,
                                                 custovia::DeviceMailCfg* out);
/* Cache: assigns the dialer settings (empty when not cached); -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL devDialerConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer, const char* device,
                                                   custovia::DeviceDialCfg* out);
/* Cache: assigns the shutdown settings (empty when not cached); -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL devShutdownConfig(CustoviaHandle handle, const char* host,
                                                     const char* computer, const char* device,
                                                     custovia::DeviceShutCfg* out);

/* Notification settings of a computer. */
/* Network: sends the settings; 1 even when the service refuses them (logged); -202. */
CUSTOVIA_API int32_t CUSTOVIA_CALL updNotifyConfig(CustoviaHandle handle, const char* host,
                                                   const char* computer,
                                                   const custovia::NotifyConfig* config);
/* Cache: assigns the computer's notification settings; -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL notifyConfig(CustoviaHandle handle, const char* host,
                                                const char* computer, custovia::NotifyConfig* out);

/* Shutdown countdowns. */
/* Cache: replaces the map (device id -> countdown); -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getRegressiveCounterList(CustoviaHandle handle, const char* host,
                                                            const char* computer,
                                                            CustoviaRegressives* counters);
/* Cache: assigns the countdown (empty when none); -202 no device, -302 unknown computer. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getRegressiveCounter(CustoviaHandle handle, const char* host,
                                                        const char* computer, const char* device,
                                                        custovia::Regressive* out);
