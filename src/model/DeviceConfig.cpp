#include "model/DeviceConfig.h"

#include "tkl/Json.h"
#include "tkl/JsonRead.h"
#include "tkl/String.h"

namespace custovia {

namespace {

std::string text(const char* value) {
    return value ? std::string(value) : std::string();
}

std::string hex4(uint32_t value) {
    return tkl::String::toHexString(value, 4, '0', true);
}

// "Label[{entry},{entry}]" over the values of a sequence or a map.
template <typename It, typename Get>
std::string list(const char* label, It begin, It end, Get get) {
    std::string out = label;
    for (It it = begin; it != end; ++it) {
        if (it != begin)
            out += ",";
        out += "{" + get(*it).toString() + "}";
    }
    return out + "]\n";
}

template <typename Map>
std::string mapList(const char* label, const Map& map) {
    return list(label, map.begin(), map.end(), [](const auto& entry) { return entry.second; });
}

}  // namespace

// ---- DeviceRange ----

DeviceRange::DeviceRange() {
    clear();
}

DeviceRange::DeviceRange(uint32_t first, uint32_t count) {
    set(first, count);
}

DeviceRange::~DeviceRange() = default;

std::string DeviceRange::toString() const {
    return "Start = " + hex4(start) + ", Size = " + std::to_string(size);
}

DeviceRange& DeviceRange::assign(const DeviceRange& other) {
    set(other.start, other.size);
    return *this;
}

void DeviceRange::set(uint32_t first, uint32_t count) {
    start = first;
    size = count;
}

void DeviceRange::clear() {
    set(0, 0);
}

// ---- DevicePair ----

DevicePair::DevicePair() = default;

DevicePair::DevicePair(const std::string& pairName, const std::string& pairValue) {
    set(pairName, pairValue);
}

DevicePair::~DevicePair() = default;

std::string DevicePair::toString() const {
    return "\"" + name + "\" = \"" + value + "\"";
}

DevicePair& DevicePair::assign(const DevicePair& other) {
    set(other.name, other.value);
    return *this;
}

void DevicePair::clear() {
    name.clear();
    value.clear();
}

void DevicePair::set(const char* pairName, const char* pairValue) {
    name = text(pairName);
    value = text(pairValue);
}

void DevicePair::set(const std::string& pairName, const std::string& pairValue) {
    set(pairName.c_str(), pairValue.c_str());
}

// ---- DeviceAlias ----

DeviceAlias::DeviceAlias() {
    clear();
}

DeviceAlias::DeviceAlias(const std::string& aliasName, uint32_t aliasAddress, int32_t aliasBit) {
    set(aliasName, aliasAddress, aliasBit);
}

DeviceAlias::~DeviceAlias() = default;

std::string DeviceAlias::toString() const {
    std::string out = "\"" + name + "\" = \"" + hex4(address) + "\"";
    if (bit >= 0)
        out += ", bit = " + std::to_string(bit);
    return out;
}

DeviceAlias& DeviceAlias::assign(const DeviceAlias& other) {
    set(other.name, other.address, other.bit);
    return *this;
}

void DeviceAlias::clear() {
    name.clear();
    address = 0;
    bit = -1;
}

void DeviceAlias::set(const char* aliasName, uint32_t aliasAddress, int32_t aliasBit) {
    name = text(aliasName);
    address = aliasAddress;
    bit = aliasBit;
}

void DeviceAlias::set(const std::string& aliasName, uint32_t aliasAddress, int32_t aliasBit) {
    set(aliasName.c_str(), aliasAddress, aliasBit);
}

// ---- DeviceConfig ----

DeviceConfig::DeviceConfig() {
    clear();
}

DeviceConfig::~DeviceConfig() = default;

std::string DeviceConfig::toString() const {
    std::string out = "\n";
    out += "Family = " + std::to_string(family) + "\n";
    out += "Model  = " + std::to_string(model) + "\n";
    out += "Name   = " + name + "\n";
    out += "Caps   : {" + caps.toString() + "}\n";
    out += list("Ranges : [", ranges.begin(), ranges.end(),
                [](const DeviceRange& range) { return range; });
    out += mapList("Aliases: [", aliases);
    out += mapList("Consts : [", consts);
    out += mapList("Vars   : [", vars);
    out += mapList("Flags  : [", flags);
    out += mapList("Actions: [", actions);
    return out;
}

DeviceConfig& DeviceConfig::assign(const DeviceConfig& other) {
    // Plain copy: assigning a record to itself keeps its content.
    *this = other;
    return *this;
}

void DeviceConfig::clear() {
    family = -1;
    model = -1;
    name = "AUTO";
    caps.clear();
    ranges.clear();
    aliases.clear();
    consts.clear();
    vars.clear();
    flags.clear();
    actions.clear();
}

DeviceConfig& DeviceConfig::fromJson(const tkl::JsonObject& json) {
    clear();
    family = tkl::jsonread::toInt32(json, "family");
    model = tkl::jsonread::toInt32(json, "model");
    name = json.value("name").toString();
    caps.fromJson(json.value("caps").toObject());
    return *this;
}

tkl::JsonObject DeviceConfig::toJson() const {
    tkl::JsonObject json;
    if (family >= 0)
        json.insert("family", tkl::JsonValue(family));
    if (model >= 0)
        json.insert("model", tkl::JsonValue(model));
    if (!name.empty())
        json.insert("name", tkl::JsonValue(name));
    json.insert("caps", tkl::JsonValue(caps.toJson()));
    return json;
}

}  // namespace custovia
