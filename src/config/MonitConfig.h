// The monitoring service's own configuration: general switches, network
// ports, history retention and log channels, grouped by custovia::MonitConfig.
// Each setting is named in the text forms by its dotted name ("tcp.port").
#pragma once

#include <cstdint>
#include <string>

#include "tkl/Object.h"

namespace custovia {

// General switches of the service.
class TKL_API MonitGeneralConfig : public tkl::Object {
public:
    MonitGeneralConfig();
    MonitGeneralConfig(const MonitGeneralConfig& other) = default;
    MonitGeneralConfig& operator=(const MonitGeneralConfig& other) = default;
    ~MonitGeneralConfig() override;

    // "monit: {monit.enable=1, rs232.enable=1}"
    std::string toString() const override;
    virtual void assign(const MonitGeneralConfig& other);
    // Both switches on.
    virtual void reset();

    bool monitEnable;  // monit.enable
    bool rs232Enable;  // rs232.enable
};

// Network ports the service listens on.
class TKL_API MonitServerConfig : public tkl::Object {
public:
    MonitServerConfig();
    MonitServerConfig(const MonitServerConfig& other) = default;
    MonitServerConfig& operator=(const MonitServerConfig& other) = default;
    ~MonitServerConfig() override;

    // "web: {tcp.port=4470, udp.port=4470}"
    std::string toString() const override;
    virtual void assign(const MonitServerConfig& other);
    // Both ports 4470.
    virtual void reset();

    uint32_t tcpPort;  // tcp.port
    uint32_t udpPort;  // udp.port
};

// How long the service keeps its measurement history and its events.
class TKL_API MonitLogConfig : public tkl::Object {
public:
    MonitLogConfig();
    MonitLogConfig(const MonitLogConfig& other) = default;
    MonitLogConfig& operator=(const MonitLogConfig& other) = default;
    ~MonitLogConfig() override;

    // "log: {hist.hours=1, hist.days=1, hist.months=1, event.months=6}"
    std::string toString() const override;
    virtual void assign(const MonitLogConfig& other);
    // One hour, one day, one month of history; six months of events.
    virtual void reset();

    uint32_t histHours;    // hist.hours
    uint32_t histDays;     // hist.days
    uint32_t histMonths;   // hist.months
    uint32_t eventMonths;  // event.months
};

// File name and level (tkl::LogLevel values) of the service's log channels.
class TKL_API MonitLoggerConfig : public tkl::Object {
public:
    MonitLoggerConfig();
    MonitLoggerConfig(const MonitLoggerConfig& other) = default;
    MonitLoggerConfig& operator=(const MonitLoggerConfig& other) = default;
    ~MonitLoggerConfig() override;

    // "debug: {devicemonit.filename=cussvc.log, devicemonit.level=FATAL, ...}",
    // each level shown as its level text.
    std::string toString() const override;
    virtual void assign(const MonitLoggerConfig& other);
    // cussvc.log, device.log and serialhid.log, all at FATAL.
    virtual void reset();

    std::string devicemonitFilename;    // devicemonit.filename
    int32_t devicemonitLevel;           // devicemonit.level
    std::string devicemanagerFilename;  // devicemanager.filename
    int32_t devicemanagerLevel;         // devicemanager.level
    std::string serialhidFilename;      // serialhid.filename
    int32_t serialhidLevel;             // serialhid.level
};

// The whole service configuration.
class TKL_API MonitConfig : public tkl::Object {
public:
    MonitConfig();
    MonitConfig(const MonitConfig& other) = default;
    MonitConfig& operator=(const MonitConfig& other) = default;
    ~MonitConfig() override;

    // "monitconfig: {" then the four member texts, each followed by ", ",
    // then "}".
    std::string toString() const override;
    // Copies all four members.
    virtual void assign(const MonitConfig& other);
    // Resets all four members.
    virtual void reset();

    MonitGeneralConfig general;
    MonitServerConfig server;
    MonitLogConfig log;
    MonitLoggerConfig logger;
};

}  // namespace custovia
