#include "config/NotifyConfig.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

namespace {
// The JSON form carries the time threshold in minutes.
constexpr uint32_t kMsPerMinute = 60000;
}  // namespace

NotifyConfig::NotifyConfig() : id(1), option(1), valPercent(10), valSecond(300000) {}

NotifyConfig::~NotifyConfig() = default;

std::string NotifyConfig::toString() const {
    std::ostringstream out;
    out << "notifyConfig: {id=" << id << ", option=" << option
        << ", value.Ref.Percent=" << valPercent << ", value.Ref.Seconds=" << valSecond << "}";
    return out.str();
}

void NotifyConfig::assign(const NotifyConfig& other) {
    id = other.id;
    option = other.option;
    valPercent = other.valPercent;
    valSecond = other.valSecond;
}

void NotifyConfig::reset() {
    id = 1;
    option = 1;
    valPercent = 10;
    valSecond = 300000;
}

NotifyConfig& NotifyConfig::fromJson(const tkl::JsonObject& json) {
    reset();
    id = 1;
    option = tkl::jsonread::toUInt32(json, "option");
    valPercent = tkl::jsonread::toUInt32(json, "valPercent");
    valSecond = static_cast<uint32_t>(
        tkl::jsonread::truncate64(json.value("valSecond").toDouble() * double(kMsPerMinute)));
    return *this;
}

tkl::JsonObject NotifyConfig::toJson() const {
    tkl::JsonObject json;
    json.insert("id", tkl::JsonValue(id));
    json.insert("option", tkl::JsonValue(option));
    json.insert("valPercent", tkl::JsonValue(valPercent));
    json.insert("valSecond", tkl::JsonValue(valSecond / kMsPerMinute));
    return json;
}

}  // namespace custovia
