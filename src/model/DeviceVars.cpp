#include "model/DeviceVars.h"

#include "tkl/Json.h"
#include "tkl/JsonRead.h"
#include "tkl/String.h"

namespace custovia {

namespace {

// Flag lists in packing and text order; one list drives clearing, reading,
// writing and the text form of each flag record.
// clang-format off
#define CUSTOVIA_DEVICE_FLAGS(X) \
    X(connected)                 \
    X(inShutdown)                \
    X(opStartup)                 \
    X(opBattery)                 \
    X(opStandBy)                 \
    X(opCheckup)                 \
    X(opWarning)                 \
    X(noVInput)                  \
    X(loVInput)                  \
    X(hiVInput)                  \
    X(loFInput)                  \
    X(hiFInput)                  \
    X(noSyncInput)               \
    X(syncInput)                 \
    X(noiseInput)                \
    X(hiPOutput)                 \
    X(loBattery)                 \
    X(maxBattery)                \
    X(noBattery)                 \
    X(oldBattery)                \
    X(moreBattery)               \
    X(lessBattery)               \
    X(shutdownTimerActive)       \
    X(remoteControlActive)       \
    X(noCalibrated)

#define CUSTOVIA_DEVICE_FAIL_FLAGS(X) \
    X(overtemp)                       \
    X(internal)                       \
    X(overload)                       \
    X(shortcircuit)                   \
    X(inverter)                       \
    X(fan)                            \
    X(tiristor)                       \
    X(endBattery)                     \
    X(loVInput)                       \
    X(abnormalVOutput)                \
    X(hiPOutput)                      \
    X(abnormalVBattery)
// clang-format on

std::string decimals(float value, int precision) {
    return tkl::String::fromDouble(static_cast<double>(value), precision, false);
}

// Appends ", " between entries of a one-line "name=value" list.
void entry(std::string& out, const char* name, const std::string& value) {
    if (!out.empty())
        out += ", ";
    out += name;
    out += '=';
    out += value;
}

tkl::JsonValue flagValue(bool flag) {
    return tkl::JsonValue(static_cast<uint8_t>(flag ? 1 : 0));
}

}  // namespace

// ---- DeviceVars ----

DeviceVars::DeviceVars() {
    clear();
}

DeviceVars::~DeviceVars() = default;

std::string DeviceVars::toString() const {
    std::string out;
    entry(out, "vInput", decimals(vInput, 1));
    entry(out, "vOutput", decimals(vOutput, 1));
    entry(out, "iOutput", decimals(iOutput, 1));
    entry(out, "pOutput", decimals(pOutput, 1));
    entry(out, "fOutput", decimals(fOutput, 1));
    entry(out, "vBattery", decimals(vBattery, 1));
    entry(out, "cBattery", decimals(cBattery, 0));
    entry(out, "temperature", decimals(temperature, 1));
    entry(out, "icBattery", std::to_string(icBattery));
    entry(out, "shutdownTimer", std::to_string(shutdownTimer));
    entry(out, "wakeupTimer", std::to_string(wakeupTimer));
    entry(out, "nightoffTimer", std::to_string(nightoffTimer));
    entry(out, "nominalVInput", decimals(nominalVInput, 0));
    entry(out, "nominalVOutput", decimals(nominalVOutput, 0));
    entry(out, "nominalPOutput", decimals(nominalPOutput, 0));
    entry(out, "nominalFOutput", decimals(nominalFOutput, 0));
    entry(out, "nominalVBattery", decimals(nominalVBattery, 0));
    entry(out, "ledRed", std::to_string(ledRed));
    entry(out, "ledGreen", std::to_string(ledGreen));
    entry(out, "ledBlue", std::to_string(ledBlue));
    entry(out, "random", random ? "1" : "0");
    return out;
}

DeviceVars& DeviceVars::assign(const DeviceVars& other) {
    *this = other;
    return *this;
}

void DeviceVars::clear() {
    vInput = vOutput = iOutput = pOutput = fOutput = vBattery = cBattery = temperature = 0.0f;
    icBattery = 0;
    shutdownTimer = wakeupTimer = nightoffTimer = -1;
    nominalVInput = nominalVOutput = nominalPOutput = nominalFOutput = nominalVBattery = 0.0f;
    ledRed = ledGreen = ledBlue = 0;
    random = false;
}

DeviceVars& DeviceVars::fromJson(const tkl::JsonObject& json) {
    clear();
    auto real = [&json](const char* key) { return static_cast<float>(json.value(key).toDouble()); };
    vInput = real("vInput");
    vOutput = real("vOutput");
    iOutput = real("iOutput");
    pOutput = real("pOutput");
    fOutput = real("fOutput");
    vBattery = real("vBattery");
    cBattery = real("cBattery");
    temperature = real("temperature");
    shutdownTimer = tkl::jsonread::toInt32(json, "shutdownTimer");
    wakeupTimer = tkl::jsonread::toInt32(json, "wakeupTimer");
    nightoffTimer = tkl::jsonread::toInt32(json, "nightoffTimer");
    nominalVInput = real("nominalVInput");
    nominalVOutput = real("nominalVOutput");
    nominalPOutput = real("nominalPOutput");
    nominalFOutput = real("nominalFOutput");
    nominalVBattery = real("nominalVBattery");
    ledRed = tkl::jsonread::toInt32(json, "ledRed");
    ledGreen = tkl::jsonread::toInt32(json, "ledGreen");
    ledBlue = tkl::jsonread::toInt32(json, "ledBlue");
    random = json.value("random").toBool();
    icBattery = tkl::jsonread::toInt32(json, "icBattery");
    return *this;
}

tkl::JsonObject DeviceVars::toJson() const {
    tkl::JsonObject json;
    auto real = [&json](const char* key, float value) {
        json.insert(key, tkl::JsonValue(static_cast<double>(value)));
    };
    real("vInput", vInput);
    real("vOutput", vOutput);
    real("iOutput", iOutput);
    real("pOutput", pOutput);
    real("fOutput", fOutput);
    real("vBattery", vBattery);
    real("cBattery", cBattery);
    real("temperature", temperature);
    json.insert("icBattery", tkl::JsonValue(icBattery));
    json.insert("shutdownTimer", tkl::JsonValue(shutdownTimer));
    json.insert("wakeupTimer", tkl::JsonValue(wakeupTimer));
    json.insert("nightoffTimer", tkl::JsonValue(nightoffTimer));
    real("nominalVInput", nominalVInput);
    real("nominalVOutput", nominalVOutput);
    real("nominalPOutput", nominalPOutput);
    real("nominalFOutput", nominalFOutput);
    real("nominalVBattery", nominalVBattery);
    json.insert("ledRed", tkl::JsonValue(ledRed));
    json.insert("ledGreen", tkl::JsonValue(ledGreen));
    json.insert("ledBlue", tkl::JsonValue(ledBlue));
    json.insert("random", flagValue(random));
    return json;
}

// ---- DeviceFlags ----

DeviceFlags::DeviceFlags() {
    clear();
}

DeviceFlags::~DeviceFlags() = default;

std::string DeviceFlags::toString() const {
    std::string out;
#define CUSTOVIA_FLAG_TEXT(flag) entry(out, #flag, flag ? "1" : "0");
    CUSTOVIA_DEVICE_FLAGS(CUSTOVIA_FLAG_TEXT)
    return out;
}

DeviceFlags& DeviceFlags::assign(const DeviceFlags& other) {
    *this = other;
    return *this;
}

void DeviceFlags::clear() {
#define CUSTOVIA_FLAG_CLEAR(flag) flag = false;
    CUSTOVIA_DEVICE_FLAGS(CUSTOVIA_FLAG_CLEAR)
}

DeviceFlags& DeviceFlags::fromJson(const tkl::JsonObject& json) {
    clear();
#define CUSTOVIA_FLAG_READ(flag) flag = json.value(#flag).toBool();
    CUSTOVIA_DEVICE_FLAGS(CUSTOVIA_FLAG_READ)
    return *this;
}

tkl::JsonObject DeviceFlags::toJson() const {
    tkl::JsonObject json;
#define CUSTOVIA_FLAG_WRITE(flag) json.insert(#flag, flagValue(flag));
    CUSTOVIA_DEVICE_FLAGS(CUSTOVIA_FLAG_WRITE)
    return json;
}

// ---- DeviceFailFlags ----

DeviceFailFlags::DeviceFailFlags() {
    clear();
}

DeviceFailFlags::~DeviceFailFlags() = default;

std::string DeviceFailFlags::toString() const {
    std::string out;
    CUSTOVIA_DEVICE_FAIL_FLAGS(CUSTOVIA_FLAG_TEXT)
    return out;
}

DeviceFailFlags& DeviceFailFlags::assign(const DeviceFailFlags& other) {
    *this = other;
    return *this;
}

void DeviceFailFlags::clear(){CUSTOVIA_DEVICE_FAIL_FLAGS(CUSTOVIA_FLAG_CLEAR)}

DeviceFailFlags& DeviceFailFlags::fromJson(const tkl::JsonObject& json) {
    clear();
    CUSTOVIA_DEVICE_FAIL_FLAGS(CUSTOVIA_FLAG_READ)
    return *this;
}

tkl::JsonObject DeviceFailFlags::toJson() const {
    tkl::JsonObject json;
    CUSTOVIA_DEVICE_FAIL_FLAGS(CUSTOVIA_FLAG_WRITE)
    return json;
}

// ---- level scales ----

std::string levelText(DeviceLevel2 level) {
    switch (level) {
        case DeviceLevel2::Low:
            return "Low";
        case DeviceLevel2::High:
            return "High";
    }
    return std::to_string(static_cast<int32_t>(level));
}

std::string levelText(DeviceLevel5 level) {
    switch (level) {
        case DeviceLevel5::VeryLow:
            return "Very Low";
        case DeviceLevel5::Low:
            return "Low";
        case DeviceLevel5::Normal:
            return "Normal";
        case DeviceLevel5::High:
            return "High";
        case DeviceLevel5::VeryHigh:
            return "Very High";
    }
    return std::to_string(static_cast<int32_t>(level));
}

}  // namespace custovia
