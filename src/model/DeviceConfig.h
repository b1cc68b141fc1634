// Description of a UPS model (DeviceConfig): family and model codes, a name,
// the capability flags a user interface relies on (DeviceCapabilities), and
// the register-level description of the model built from DeviceRange,
// DevicePair and DeviceAlias.
//
// The register-level lists take part in copying, clearing and the debugging
// text, never in JSON.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

// One address range of a model.
class TKL_API DeviceRange : public tkl::Object {
public:
    DeviceRange();
    DeviceRange(uint32_t start, uint32_t size);
    DeviceRange(const DeviceRange& other) = default;
    DeviceRange& operator=(const DeviceRange& other) = default;
    ~DeviceRange() override;

    // "Start = 0010, Size = 16": start as at least 4 upper-case hex digits.
    std::string toString() const override;
    virtual DeviceRange& assign(const DeviceRange& other);
    virtual void set(uint32_t start, uint32_t size);
    virtual void clear();

    uint32_t start;
    uint32_t size;
};

// A named value text.
class TKL_API DevicePair : public tkl::Object {
public:
    DevicePair();
    DevicePair(const std::string& name, const std::string& value);
    DevicePair(const DevicePair& other) = default;
    DevicePair& operator=(const DevicePair& other) = default;
    ~DevicePair() override;

    // "name" = "value", each in double quotes.
    std::string toString() const override;
    virtual DevicePair& assign(const DevicePair& other);
    virtual void clear();
    // Null texts count as empty.
    virtual void set(const char* name, const char* value);
    virtual void set(const std::string& name, const std::string& value);

    std::string name;
    std::string value;
};

// A name for an address, or for one bit of the value at that address.
class TKL_API DeviceAlias : public tkl::Object {
public:
    DeviceAlias();
    DeviceAlias(const std::string& name, uint32_t address, int32_t bit = -1);
    DeviceAlias(const DeviceAlias& other) = default;
    DeviceAlias& operator=(const DeviceAlias& other) = default;
    ~DeviceAlias() override;

    // "name" = "0010" and, for a bit alias, ", bit = 3".
    std::string toString() const override;
    virtual DeviceAlias& assign(const DeviceAlias& other);
    // Empty name, address 0, bit -1.
    virtual void clear();
    // A null name counts as empty.
    virtual void set(const char* name, uint32_t address, int32_t bit);
    virtual void set(const std::string& name, uint32_t address, int32_t bit);

    std::string name;
    uint32_t address;
    int32_t bit;  // -1 = the whole value
};

// The 30 capability flags of a model, packed one bit each.
class TKL_API DeviceCapabilities : public tkl::Object {
public:
    DeviceCapabilities();
    DeviceCapabilities(const DeviceCapabilities& other) = default;
    DeviceCapabilities& operator=(const DeviceCapabilities& other) = default;
    ~DeviceCapabilities() override;

    // "hasCBattery = 0, hasChangeAutonomy = 1, ..., hasSetLineSens = 0"
    std::string toString() const override;
    virtual DeviceCapabilities& assign(const DeviceCapabilities& other);
    virtual void clear();
    // Every flag from its key; the stand-by flag from "hasStandBy".
    virtual DeviceCapabilities& fromJson(const tkl::JsonObject& json);
    // Only the flags that are set, as 1; the stand-by flag as "hasStandby".
    virtual tkl::JsonObject toJson() const;

    bool hasCBattery : 1;
    bool hasChangeAutonomy : 1;
    bool hasFOutput : 1;
    bool hasFamily : 1;
    bool hasICBattery : 1;
    bool hasIOutput : 1;
    bool hasManualShutdown : 1;
    bool hasStandBy : 1;
    bool hasModel : 1;
    bool hasNightOff : 1;
    bool hasNominalFOutput : 1;
    bool hasNominalPOutput : 1;
    bool hasNominalVBattery : 1;
    bool hasNominalVInput : 1;
    bool hasNominalVOutput : 1;
    bool hasPOutput : 1;
    bool hasPowerLook : 1;
    bool hasSampIOutput : 1;
    bool hasSampVInput : 1;
    bool hasSampVOutput : 1;
    bool hasSetDischargeBattery : 1;
    bool hasSetICBattery : 1;
    bool hasShutdownTimer : 1;
    bool hasTemperature : 1;
    bool hasVBattery : 1;
    bool hasVInput : 1;
    bool hasVOutput : 1;
    bool hasVersion : 1;
    bool hasWakeUp : 1;
    bool hasSetLineSens : 1;
};

// A UPS model: codes, name, capabilities and register-level description.
class TKL_API DeviceConfig : public tkl::Object {
public:
    DeviceConfig();
    DeviceConfig(const DeviceConfig& other) = default;
    DeviceConfig& operator=(const DeviceConfig& other) = default;
    ~DeviceConfig() override;

    // Lines after a leading line feed: "Family = ", "Model  = ", "Name   = ",
    // "Caps   : {...}" and the six lists "Ranges : [{...},{...}]" ...
    // "Actions: [...]", each line ended by a line feed.
    std::string toString() const override;
    // Replaces every field, lists included, by those of other.
    virtual DeviceConfig& assign(const DeviceConfig& other);
    // family and model -1, name "AUTO", no capabilities, empty lists.
    virtual void clear();
    // Reads "family", "model", "name" and "caps"; missing keys give 0, the
    // empty text and no capabilities. The lists are left empty.
    virtual DeviceConfig& fromJson(const tkl::JsonObject& json);
    // "family" and "model" when not negative, "name" when not empty, "caps"
    // always.
    virtual tkl::JsonObject toJson() const;

    int32_t family;  // -1 = unknown
    int32_t model;   // -1 = unknown
    std::string name;
    DeviceCapabilities caps;
    std::vector<DeviceRange> ranges;
    std::map<std::string, DeviceAlias> aliases;
    std::map<std::string, DevicePair> consts;
    std::map<std::string, DevicePair> vars;
    std::map<std::string, DevicePair> flags;
    std::map<std::string, DevicePair> actions;
};

}  // namespace custovia
