// One monitored UPS as the monitoring service reports it (Device) and the
// port it hangs on (PortInfo), with the protocol and port type enumerations.
//
// Enumerations have two texts: a capitalised display text, which toString and
// toJson write, and a lower-case text, which the service sends and the readers
// compare exactly. Anything else reads as Unknown, so reading back what toJson
// wrote gives an Unknown protocol and port type.
#pragma once

#include <cstdint>
#include <string>

#include "model/DeviceVars.h"
#include "tkl/JsonFwd.h"
#include "tkl/Object.h"
#include "tkl/Port.h"

namespace custovia {

// Protocol family a unit speaks. JSON texts: "zephan", "corvel", "mirtal", "ondra".
enum class DeviceProtocol : int32_t { Unknown = 0, Zephan = 1, Corvel = 2, Mirtal = 3, Ondra = 4 };

// Kind of port behind a device. JSON texts: "rs232", "hid", "cdc".
enum class PortType : int32_t { Unknown = 0, RS232 = 1, HID = 2, CDC = 3 };

// Display texts ("Zephan", "RS232", ...); a value outside the enumeration
// gives its decimal number.
TKL_API std::string protocolText(DeviceProtocol protocol);
TKL_API std::string portTypeText(PortType type);

// Lower-case JSON text to value: exact, case-sensitive; anything else is Unknown.
TKL_API DeviceProtocol protocolFromText(const std::string& text);
TKL_API PortType portTypeFromText(const std::string& text);

// The port (serial, HID or CDC) a device is attached to.
class TKL_API PortInfo : public tkl::Object {
public:
    using SerialConfig = tkl::SerialPort::SerialConfig;

    PortInfo();
    PortInfo(const PortInfo& other) = default;
    // Cleared, then as the five-argument set.
    PortInfo(const PortType& type, const char* path, const char* name, int vid, int pid);
    // Cleared, then as the six-argument set.
    PortInfo(const PortType& type, const char* path, const SerialConfig& config, const char* name,
             int vid, int pid);
    PortInfo& operator=(const PortInfo& other) = default;
    ~PortInfo() override;

    // One line: "port=HID(S), path=..., name=..., vid=0665, pid=5161" for a
    // HID port; "port=RS232, path=COM1, name=COM1, config: {baudrate(bps)=...}"
    // for a serial one. Ids only when both are positive and the port is not
    // RS232; line settings for every type but HID.
    std::string toString() const override;
    // Short name of a port path: its last section (split at \ : ; and /);
    // for HID "HID" followed by the piece from the first "#" at index 4 or
    // later up to the next "&", or just "HID" when there is no such "#".
    // A null or empty path gives "".
    virtual std::string nameFromPath(const char* path, PortType type) const;
    virtual PortInfo& assign(const PortInfo& other);
    // Takes the type; a non-empty path (and the name derived from it); a
    // non-empty name; a non-zero vid and pid. Empty or zero arguments keep
    // the field as it was. isSoftUsb becomes false.
    virtual void set(PortType type, const char* path, const char* name, int vid, int pid);
    // The five-argument set, then the line settings.
    virtual void set(PortType type, const char* path, const SerialConfig& config, const char* name,
                     int vid, int pid);
    // Unknown type, empty texts, ids 0, default line settings, not soft-USB.
    virtual void clear();
    virtual std::string typeName() const;
    // From the JSON text; null counts as empty (Unknown).
    virtual void setType(const char* text);
    virtual void setType(const std::string& text);
    // Reads "type", "path", "name", "vid", "pid", "isSoftUsb" and the five
    // line settings from the "config" object. Missing keys read as empty or
    // 0, including the line settings.
    virtual PortInfo& fromJson(const tkl::JsonObject& json);
    // Every key, always; "type" as the display text.
    virtual tkl::JsonObject toJson() const;

    PortType type;
    std::string path;  // COM port name or USB device path
    std::string name;  // short name shown to the user
    int32_t vid;       // USB vendor id, 0 = none
    int32_t pid;       // USB product id, 0 = none
    SerialConfig config;
    bool isSoftUsb;
};

// One UPS at a monitoring service: identity, model codes, protocol, port,
// last reading and the texts the user gave it.
class TKL_API Device : public tkl::Object {
public:
    Device();
    Device(const Device& other) = default;
    Device& operator=(const Device& other) = default;
    ~Device() override;

    // Several lines, starting and ending with a line feed: id, the user
    // texts, codes, version, protocol, port, vars, flags, failures, idPc and,
    // when set, the last reading time in local time.
    std::string toString() const override;
    virtual Device& assign(const Device& other);
    // family and model -1, last 0, Unknown protocol, empty texts, cleared
    // sub-records.
    virtual void clear();
    virtual std::string protocolName() const;
    // From the JSON text; null counts as empty (Unknown).
    virtual void setProtocol(const char* text);
    virtual void setProtocol(const std::string& text);
    // Reads every key; a missing one leaves 0 or empty (family and model 0,
    // not -1). "last" is a number of milliseconds or a date-time text.
    virtual Device& fromJson(const tkl::JsonObject& json);
    // Empty object when id is empty. Otherwise id, family, model, idPc,
    // status and failures always; version, last, the names, protocol, port
    // and vars only when they hold something (vars while connected).
    virtual tkl::JsonObject toJson() const;

    DeviceVars vars;
    DeviceFlags status;
    DeviceFailFlags failures;
    std::string id;  // key of the device at its service
    int32_t family;  // -1 = unknown
    int32_t model;   // -1 = unknown
    std::string version;
    std::string idPc;  // computer the device is attached to
    int64_t last;      // last reading, ms since 1970-01-01 UTC; 0 = never
    PortInfo port;
    DeviceProtocol protocol;
    std::string name;
    std::string userName;
    std::string userProd;
};

}  // namespace custovia
