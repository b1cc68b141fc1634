#include "config/CusConfig.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

CusConfig::CusConfig() : id(1), detect(1), theme(1), style(2) {}

CusConfig::~CusConfig() = default;

std::string CusConfig::toString() const {
    std::ostringstream out;
    out << "cusConfig: {id=" << id << ", detect=" << detect << ", theme=" << theme
        << ", style=" << style << "}";
    return out.str();
}

void CusConfig::assign(const CusConfig& other) {
    id = other.id;
    detect = other.detect;
    theme = other.theme;
    style = other.style;
}

void CusConfig::reset() {
    id = 1;
    detect = 1;
    theme = 1;
    style = 2;
}

CusConfig& CusConfig::fromJson(const tkl::JsonObject& json) {
    reset();
    id = 1;
    detect = tkl::jsonread::toUInt32(json, "detect");
    theme = tkl::jsonread::toUInt32(json, "theme");
    style = tkl::jsonread::toUInt32(json, "style");
    return *this;
}

tkl::JsonObject CusConfig::toJson() const {
    tkl::JsonObject json;
    json.insert("id", tkl::JsonValue(id));
    json.insert("detect", tkl::JsonValue(detect));
    json.insert("theme", tkl::JsonValue(theme));
    json.insert("style", tkl::JsonValue(style));
    return json;
}

}  // namespace custovia
