#include "model/DeviceConfig.h"
#include "tkl/Json.h"

namespace custovia {

namespace {

// Capability flags in packing and text order, each with the key it is read
// from, the key it is written under and its text label. The stand-by flag is
// read from "hasStandBy" and written as "hasStandby".
// clang-format off
#define CUSTOVIA_CAPABILITIES(X)                                              \
    X(hasCBattery, "hasCBattery", "hasCBattery")                              \
    X(hasChangeAutonomy, "hasChangeAutonomy", "hasChangeAutonomy")            \
    X(hasFOutput, "hasFOutput", "hasFOutput")                                 \
    X(hasFamily, "hasFamily", "hasFamily")                                    \
    X(hasICBattery, "hasICBattery", "hasICBattery")                           \
    X(hasIOutput, "hasIOutput", "hasIOutput")                                 \
    X(hasManualShutdown, "hasManualShutdown", "hasManualShutdown")            \
    X(hasStandBy, "hasStandBy", "hasStandby")                                 \
    X(hasModel, "hasModel", "hasModel")                                       \
    X(hasNightOff, "hasNightOff", "hasNightOff")                              \
    X(hasNominalFOutput, "hasNominalFOutput", "hasNominalFOutput")            \
    X(hasNominalPOutput, "hasNominalPOutput", "hasNominalPOutput")            \
    X(hasNominalVBattery, "hasNominalVBattery", "hasNominalVBattery")         \
    X(hasNominalVInput, "hasNominalVInput", "hasNominalVInput")               \
    X(hasNominalVOutput, "hasNominalVOutput", "hasNominalVOutput")            \
    X(hasPOutput, "hasPOutput", "hasPOutput")                                 \
    X(hasPowerLook, "hasPowerLook", "hasPowerLook")                           \
    X(hasSampIOutput, "hasSampIOutput", "hasSampIOutput")                     \
    X(hasSampVInput, "hasSampVInput", "hasSampVInput")                        \
    X(hasSampVOutput, "hasSampVOutput", "hasSampVOutput")                     \
    X(hasSetDischargeBattery, "hasSetDischargeBattery", "hasSetDischargeBattery") \
    X(hasSetICBattery, "hasSetICBattery", "hasSetICBattery")                  \
    X(hasShutdownTimer, "hasShutdownTimer", "hasShutdownTimer")               \
    X(hasTemperature, "hasTemperature", "hasTemperature")                     \
    X(hasVBattery, "hasVBattery", "hasVBattery")                              \
    X(hasVInput, "hasVInput", "hasVInput")                                    \
    X(hasVOutput, "hasVOutput", "hasVOutput")                                 \
    X(hasVersion, "hasVersion", "hasVersion")                                 \
    X(hasWakeUp, "hasWakeUp", "hasWakeUp")                                    \
    X(hasSetLineSens, "hasSetLineSens", "hasSetLineSens")
// clang-format on

}  // namespace

DeviceCapabilities::DeviceCapabilities() {
    clear();
}

DeviceCapabilities::~DeviceCapabilities() = default;

std::string DeviceCapabilities::toString() const {
    std::string out;
#define CUSTOVIA_CAP_TEXT(flag, readKey, writeKey) \
    if (!out.empty())                              \
        out += ", ";                               \
    out += #flag " = ";                            \
    out += flag ? "1" : "0";
    CUSTOVIA_CAPABILITIES(CUSTOVIA_CAP_TEXT)
    return out;
}

DeviceCapabilities& DeviceCapabilities::assign(const DeviceCapabilities& other) {
    *this = other;
    return *this;
}

void DeviceCapabilities::clear() {
#define CUSTOVIA_CAP_CLEAR(flag, readKey, writeKey) flag = false;
    CUSTOVIA_CAPABILITIES(CUSTOVIA_CAP_CLEAR)
}

DeviceCapabilities& DeviceCapabilities::fromJson(const tkl::JsonObject& json) {
    clear();
#define CUSTOVIA_CAP_READ(flag, readKey, writeKey) flag = json.value(readKey).toBool();
    CUSTOVIA_CAPABILITIES(CUSTOVIA_CAP_READ)
    return *this;
}

tkl::JsonObject DeviceCapabilities::toJson() const {
    tkl::JsonObject json;
#define CUSTOVIA_CAP_WRITE(flag, readKey, writeKey) \
    if (flag)                                       \
        json.insert(writeKey, tkl::JsonValue(static_cast<uint8_t>(1)));
    CUSTOVIA_CAPABILITIES(CUSTOVIA_CAP_WRITE)
    return json;
}

}  // namespace custovia
