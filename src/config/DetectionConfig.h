// Device detection lists of the monitoring service: USB devices of the HID
// and CDC classes by vendor and product number, and serial line settings to
// probe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tkl/Object.h"

namespace custovia {

// One USB device by vendor and product number.
class TKL_API DetectionConfigUsb : public tkl::Object {
public:
    DetectionConfigUsb();
    DetectionConfigUsb(uint32_t vid, uint32_t pid);
    DetectionConfigUsb(const DetectionConfigUsb& other) = default;
    DetectionConfigUsb& operator=(const DetectionConfigUsb& other) = default;
    ~DetectionConfigUsb() override;

    // "VID = 0403, PID = 6001": upper-case hexadecimal, at least four digits.
    std::string toString() const override;
    // Copies through set().
    virtual void assign(const DetectionConfigUsb& other);
    virtual void set(uint32_t vid, uint32_t pid);
    // Both numbers 0.
    virtual void reset();

    uint32_t vid;
    uint32_t pid;
};

// One set of serial line settings.
class TKL_API DetectionConfigSer : public tkl::Object {
public:
    DetectionConfigSer();
    DetectionConfigSer(int32_t baudrate, int32_t databits, int32_t stopbits, int32_t parity,
                       int32_t timeout);
    DetectionConfigSer(const DetectionConfigSer& other) = default;
    DetectionConfigSer& operator=(const DetectionConfigSer& other) = default;
    ~DetectionConfigSer() override;

    // "Baudrate = 2400, Databits = 8, Stopbits = 1, Parity = 0, Timeout = 40"
    std::string toString() const override;
    // Copies through set().
    virtual void assign(const DetectionConfigSer& other);
    // Takes all five values as given.
    virtual void set(int32_t baudrate, int32_t databits, int32_t stopbits, int32_t parity,
                     int32_t timeout);
    // 2400 bit/s, 8 data bits, 1 stop bit, parity 0, time-out 40.
    virtual void reset();

    int32_t baudrate;
    int32_t databits;
    int32_t stopbits;
    int32_t parity;
    int32_t timeout;
};

// The three detection lists, all empty by default.
class TKL_API DetectionConfig : public tkl::Object {
public:
    DetectionConfig();
    DetectionConfig(const DetectionConfig& other) = default;
    DetectionConfig& operator=(const DetectionConfig& other) = default;
    ~DetectionConfig() override;

    // For each non-empty list, in the order cdc, hid, serial: a header line
    // ("USB/CDC:", "USB/HID:", "Serial :"), then one tab-indented line per
    // entry. An empty record gives the empty text.
    std::string toString() const override;
    // Replaces the lists with copies of the other record's lists; assigning
    // a record to itself leaves it unchanged.
    virtual void assign(const DetectionConfig& other);
    // Empties the three lists.
    virtual void reset();

    std::vector<DetectionConfigUsb> hid;
    std::vector<DetectionConfigUsb> cdc;
    std::vector<DetectionConfigSer> serial;
};

}  // namespace custovia
