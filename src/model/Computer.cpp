#include "model/Computer.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

using namespace tkl::jsonread;

namespace {

const char* const unknown = "<unknown>";

void insertText(tkl::JsonObject& json, const char* key, const std::string& value) {
    if (!value.empty())
        json.insert(key, tkl::JsonValue(value));
}

const std::string& orUnknown(const std::string& text, const std::string& fallback) {
    return text.empty() ? fallback : text;
}

}  // namespace

Computer::Computer() {
    clear();
}

Computer::Computer(const Computer& other) : tkl::Object(other) {
    assign(other);
}

Computer& Computer::operator=(const Computer& other) {
    return assign(other);
}

Computer::~Computer() = default;

std::string Computer::toString() const {
    const std::string none = unknown;
    std::ostringstream out;
    out << "monVersion=" << orUnknown(monVersion, none)
        << ", apiVersion=" << orUnknown(apiVersion, none)
        << ", osVersion=" << orUnknown(osVersion, none)
        << ", hostname=" << orUnknown(hostname, none) << ", ip=" << orUnknown(ip, none)
        << ", port=";
    if (port != 0) {
        out << port;
    } else {
        out << none;
    }
    out << ", upTime=";
    if (upTime != 0) {
        out << upTime;
    } else {
        out << none;
    }
    return out.str();
}

Computer& Computer::assign(const Computer& other) {
    monVersion = other.monVersion;
    apiVersion = other.apiVersion;
    osVersion = other.osVersion;
    hostname = other.hostname;
    ip = other.ip;
    port = other.port;
    upTime = other.upTime;
    return *this;
}

void Computer::clear() {
    monVersion.clear();
    apiVersion.clear();
    osVersion.clear();
    hostname.clear();
    ip.clear();
    port = 0;
    upTime = 0;
}

bool Computer::isEmpty() const {
    return monVersion.empty() && apiVersion.empty() && osVersion.empty() && hostname.empty() &&
           ip.empty() && port == 0 && upTime == 0;
}

Computer& Computer::fromJson(const tkl::JsonObject& json) {
    clear();
    monVersion = toText(json, "monVersion");
    apiVersion = toText(json, "apiVersion");
    osVersion = toText(json, "osVersion");
    hostname = toText(json, "hostname");
    ip = toText(json, "ip");
    port = toUInt32(json, "port");
    upTime = toInt64(json, "upTime");
    return *this;
}

tkl::JsonObject Computer::toJson() const {
    tkl::JsonObject json;
    insertText(json, "monVersion", monVersion);
    insertText(json, "apiVersion", apiVersion);
    insertText(json, "osVersion", osVersion);
    insertText(json, "hostname", hostname);
    insertText(json, "ip", ip);
    if (port != 0)
        json.insert("port", tkl::JsonValue(port));
    if (upTime != 0)
        json.insert("upTime", tkl::JsonValue(upTime));
    return json;
}

}  // namespace custovia
