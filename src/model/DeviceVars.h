// What a UPS reports at each reading: measurements and nominal values
// (DeviceVars), status flags (DeviceFlags) and failure flags (DeviceFailFlags).
//
// Each record is a value type with the record pattern of the model: default
// construction leaves it cleared, copying (constructor or assign) copies every
// field, fromJson clears first and never fails (a missing key reads as 0 or
// false, not as the default), toJson writes every key. Flags are written to
// JSON as the numbers 1 and 0.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

// Measured and nominal values, unit timers and LED colour of one reading.
// Units are those the monitoring service delivers.
class TKL_API DeviceVars : public tkl::Object {
public:
    DeviceVars();
    DeviceVars(const DeviceVars& other) = default;
    DeviceVars& operator=(const DeviceVars& other) = default;
    ~DeviceVars() override;

    // "vInput=230.0, vOutput=..., random=0": every field in declaration order;
    // cBattery and the nominal values without decimals, the other floats with one.
    std::string toString() const override;
    virtual DeviceVars& assign(const DeviceVars& other);
    // Timers to -1 (not running), everything else to 0 or false.
    virtual void clear();
    virtual DeviceVars& fromJson(const tkl::JsonObject& json);
    // All 21 keys, always.
    virtual tkl::JsonObject toJson() const;

    float vInput;
    float vOutput;
    float iOutput;
    float pOutput;
    float fOutput;
    float vBattery;
    float cBattery;  // battery charge
    float temperature;
    int32_t icBattery;      // charger current setting
    int32_t shutdownTimer;  // -1 = not running
    int32_t wakeupTimer;    // -1 = not running
    int32_t nightoffTimer;  // -1 = not running
    float nominalVInput;
    float nominalVOutput;
    float nominalPOutput;
    float nominalFOutput;
    float nominalVBattery;
    int32_t ledRed;
    int32_t ledGreen;
    int32_t ledBlue;
    bool random;  // LED colour cycles at random
};

// The 25 status flags of a unit, packed one bit each.
class TKL_API DeviceFlags : public tkl::Object {
public:
    DeviceFlags();
    DeviceFlags(const DeviceFlags& other) = default;
    DeviceFlags& operator=(const DeviceFlags& other) = default;
    ~DeviceFlags() override;

    // "connected=1, inShutdown=0, ..., noCalibrated=0"
    std::string toString() const override;
    virtual DeviceFlags& assign(const DeviceFlags& other);
    virtual void clear();
    // A flag is set by true, a non-zero number or the texts "true" and "1".
    virtual DeviceFlags& fromJson(const tkl::JsonObject& json);
    // All 25 keys, always, as 1 or 0.
    virtual tkl::JsonObject toJson() const;

    bool connected : 1;  // the service is talking to the unit
    bool inShutdown : 1;
    bool opStartup : 1;
    bool opBattery : 1;
    bool opStandBy : 1;
    bool opCheckup : 1;  // self test
    bool opWarning : 1;
    bool noVInput : 1;
    bool loVInput : 1;
    bool hiVInput : 1;
    bool loFInput : 1;
    bool hiFInput : 1;
    bool noSyncInput : 1;
    bool syncInput : 1;
    bool noiseInput : 1;
    bool hiPOutput : 1;
    bool loBattery : 1;
    bool maxBattery : 1;
    bool noBattery : 1;
    bool oldBattery : 1;
    bool moreBattery : 1;
    bool lessBattery : 1;
    bool shutdownTimerActive : 1;
    bool remoteControlActive : 1;
    bool noCalibrated : 1;
};

// The 12 failure flags of a unit, packed one bit each.
class TKL_API DeviceFailFlags : public tkl::Object {
public:
    DeviceFailFlags();
    DeviceFailFlags(const DeviceFailFlags& other) = default;
    DeviceFailFlags& operator=(const DeviceFailFlags& other) = default;
    ~DeviceFailFlags() override;

    // "overtemp=0, internal=0, ..., abnormalVBattery=0"
    std::string toString() const override;
    virtual DeviceFailFlags& assign(const DeviceFailFlags& other);
    virtual void clear();
    virtual DeviceFailFlags& fromJson(const tkl::JsonObject& json);
    // All 12 keys, always, as 1 or 0.
    virtual tkl::JsonObject toJson() const;

    bool overtemp : 1;
    bool internal : 1;
    bool overload : 1;
    bool shortcircuit : 1;
    bool inverter : 1;
    bool fan : 1;
    bool tiristor : 1;  // thyristor
    bool endBattery : 1;
    bool loVInput : 1;
    bool abnormalVOutput : 1;
    bool hiPOutput : 1;
    bool abnormalVBattery : 1;
};

// Grading scales for device settings: two levels and five levels.
enum class DeviceLevel2 : int32_t { Low = 0, High = 1 };
enum class DeviceLevel5 : int32_t { VeryLow = 0, Low = 1, Normal = 2, High = 3, VeryHigh = 4 };

// "Low", "High"; any other value as its decimal number.
TKL_API std::string levelText(DeviceLevel2 level);
// "Very Low", "Low", "Normal", "High", "Very High"; any other value as its
// decimal number.
TKL_API std::string levelText(DeviceLevel5 level);

}  // namespace custovia
