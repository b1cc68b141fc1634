// Settings of the product's client-side programs: where the notification
// service, the notification user interface, the shutdown service and the
// cloud service reach a monitoring service, how often they poll it, and the
// log file and level of each program, grouped by custovia::ClientConfig.
// Each setting is named in the text forms by its dotted name ("web.host").
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

// Where the shutdown service reaches its monitoring service.
class TKL_API ShutSvcConfig : public tkl::Object {
public:
    ShutSvcConfig();
    ShutSvcConfig(const ShutSvcConfig& other) = default;
    ShutSvcConfig& operator=(const ShutSvcConfig& other) = default;
    ~ShutSvcConfig() override;

    // "shutsvc: {web.host=localhost, web.port=4470}"
    std::string toString() const override;
    virtual void assign(const ShutSvcConfig& other);
    // localhost, port 4470.
    virtual void reset();

    std::string webHost;  // web.host
    uint32_t webPort;     // web.port
};

// Where the notification service reaches its monitoring service and how
// often it polls it.
class TKL_API NotifySvcConfig : public tkl::Object {
public:
    NotifySvcConfig();
    NotifySvcConfig(const NotifySvcConfig& other) = default;
    NotifySvcConfig& operator=(const NotifySvcConfig& other) = default;
    ~NotifySvcConfig() override;

    // "notifysvc: {web.host=localhost, web.port=4470, message.interval=3000}"
    std::string toString() const override;
    virtual void assign(const NotifySvcConfig& other);
    // localhost, port 4470, interval 3000.
    virtual void reset();
    // Resets, then reads "webHost" as text and "webPort" and
    // "messageInterval" as numbers; a missing member gives "" or 0. Never
    // throws.
    virtual NotifySvcConfig& fromJson(const tkl::JsonObject& json);
    // "webHost" when not empty, "webPort" when below 65536,
    // "messageInterval" when not 0; other members are left out.
    virtual tkl::JsonObject toJson() const;

    std::string webHost;       // web.host
    uint32_t webPort;          // web.port
    uint32_t messageInterval;  // message.interval
};

// Where the notification user interface reaches its monitoring service and
// how often it polls it.
class TKL_API NotifyGuiConfig : public tkl::Object {
public:
    NotifyGuiConfig();
    NotifyGuiConfig(const NotifyGuiConfig& other) = default;
    NotifyGuiConfig& operator=(const NotifyGuiConfig& other) = default;
    ~NotifyGuiConfig() override;

    // "notifygui: {web.host=localhost, web.port=4470, message.interval=3000}"
    std::string toString() const override;
    virtual void assign(const NotifyGuiConfig& other);
    // localhost, port 4470, interval 3000.
    virtual void reset();

    std::string webHost;       // web.host
    uint32_t webPort;          // web.port
    uint32_t messageInterval;  // message.interval
};

// The MQTT broker the cloud service publishes to.
class TKL_API CloudSvcMqttConfig : public tkl::Object {
public:
    CloudSvcMqttConfig();
    CloudSvcMqttConfig(const CloudSvcMqttConfig& other) = default;
    CloudSvcMqttConfig& operator=(const CloudSvcMqttConfig& other) = default;
    ~CloudSvcMqttConfig() override;

    // "mqtt: {enable=1, brokerHost=\"test.mosquitto.org\", brokerPort=1883}"
    std::string toString() const override;
    // Copies all three fields.
    virtual void assign(const CloudSvcMqttConfig& other);
    // Enabled, the public broker's host, port 1883.
    virtual void reset();

    bool enable;             // enable
    std::string brokerHost;  // brokerHost
    uint32_t brokerPort;     // brokerPort
};

// Where the cloud service reaches its monitoring service, how often it polls
// it, and its broker. The broker settings are kept apart from the rest:
// copy construction, assign() and reset() leave `mqtt` out (a copy starts
// with the default broker settings); plain assignment (=) copies everything.
class TKL_API CloudSvcConfig : public tkl::Object {
public:
    CloudSvcConfig();
    // Copies host, port and interval; `mqtt` starts with its defaults.
    CloudSvcConfig(const CloudSvcConfig& other);
    CloudSvcConfig& operator=(const CloudSvcConfig& other) = default;
    ~CloudSvcConfig() override;

    // "cloudsvc: {web.host=localhost, web.port=4470, message.interval=3000}";
    // `mqtt` is not shown.
    std::string toString() const override;
    // Copies host, port and interval; `mqtt` stays unchanged.
    virtual void assign(const CloudSvcConfig& other);
    // localhost, port 4470, interval 3000; `mqtt` stays unchanged.
    virtual void reset();

    std::string webHost;       // web.host
    uint32_t webPort;          // web.port
    uint32_t messageInterval;  // message.interval
    CloudSvcMqttConfig mqtt;
};

// Log file name and level (tkl::LogLevel values) of each client program.
class TKL_API ClientLoggerConfig : public tkl::Object {
public:
    ClientLoggerConfig();
    ClientLoggerConfig(const ClientLoggerConfig& other) = default;
    ClientLoggerConfig& operator=(const ClientLoggerConfig& other) = default;
    ~ClientLoggerConfig() override;

    // "debug: {monitclient.filename=client.log, monitclient.level=FATAL, ...}",
    // each level shown as its level text.
    std::string toString() const override;
    // Copies all ten fields.
    virtual void assign(const ClientLoggerConfig& other);
    // client.log, notifysvc.log, notifygui.log, shutsvc.log, cloudsvc.log,
    // all at FATAL.
    virtual void reset();

    std::string monitclientFilename;  // monitclient.filename
    int32_t monitclientLevel;         // monitclient.level
    std::string notifysvcFilename;    // notifysvc.filename
    int32_t notifysvcLevel;           // notifysvc.level
    std::string notifyguiFilename;    // notifygui.filename
    int32_t notifyguiLevel;           // notifygui.level
    std::string shutsvcFilename;      // shutsvc.filename
    int32_t shutsvcLevel;             // shutsvc.level
    std::string cloudsvcFilename;     // cloudsvc.filename
    int32_t cloudsvcLevel;            // cloudsvc.level
};

// All client program settings. Copying and assign() go through each member's
// own rules, so the cloud service's broker settings are not copied.
class TKL_API ClientConfig : public tkl::Object {
public:
    ClientConfig();
    ClientConfig(const ClientConfig& other) = default;
    ClientConfig& operator=(const ClientConfig& other) = default;
    ~ClientConfig() override;

    // "clientconfig: {" then the five member texts separated by ", ", "}".
    std::string toString() const override;
    // Each member through its own assign().
    virtual void assign(const ClientConfig& other);
    // Each member through its own reset().
    virtual void reset();

    NotifySvcConfig notifysvc;
    NotifyGuiConfig notifygui;
    ShutSvcConfig shutsvc;
    CloudSvcConfig cloudsvc;
    ClientLoggerConfig logger;
};

}  // namespace custovia
