#include "model/Device.h"
#include "tkl/File.h"
#include "tkl/Json.h"
#include "tkl/JsonRead.h"
#include "tkl/String.h"

namespace custovia {

namespace {

std::string text(const char* value) {
    return value ? std::string(value) : std::string();
}

std::string hex4(int32_t value) {
    return tkl::String::toHexString(static_cast<uint32_t>(value), 4, '0', true);
}

}  // namespace

std::string portTypeText(PortType type) {
    switch (type) {
        case PortType::Unknown:
            return "Unknown";
        case PortType::RS232:
            return "RS232";
        case PortType::HID:
            return "HID";
        case PortType::CDC:
            return "CDC";
    }
    return std::to_string(static_cast<int32_t>(type));
}

PortType portTypeFromText(const std::string& text) {
    if (text == "rs232")
        return PortType::RS232;
    if (text == "hid")
        return PortType::HID;
    if (text == "cdc")
        return PortType::CDC;
    return PortType::Unknown;
}

PortInfo::PortInfo() {
    clear();
}

PortInfo::PortInfo(const PortType& type, const char* path, const char* name, int vid, int pid) {
    clear();
    set(type, path, name, vid, pid);
}

PortInfo::PortInfo(const PortType& type, const char* path, const SerialConfig& config,
                   const char* name, int vid, int pid) {
    clear();
    set(type, path, config, name, vid, pid);
}

PortInfo::~PortInfo() = default;

std::string PortInfo::toString() const {
    std::string out = "port=" + typeName();
    if (type == PortType::HID && isSoftUsb)
        out += "(S)";
    out += ", path=" + (path.empty() ? std::string("<empty>") : path);
    out += ", name=" + (name.empty() ? std::string("<empty>") : name);
    if (vid >= 1 && pid >= 1 && type != PortType::RS232) {
        out += ", vid=" + hex4(vid) + ", pid=" + hex4(pid);
    }
    if (type != PortType::HID)
        out += ", config: {" + config.toString() + "}";
    return out;
}

std::string PortInfo::nameFromPath(const char* path, PortType type) const {
    if (!path || !*path)
        return std::string();
    const std::string section = tkl::File::fileNameOf(path);
    if (type != PortType::HID)
        return section;
    // A HID device path names the interface instance after a "#" that
    // follows the bus prefix; keep that instance up to its first "&".
    std::string::size_type hash = section.find('#', 4);
    if (hash == std::string::npos)
        return "HID";
    std::string piece = section.substr(hash);
    std::string::size_type amp = piece.find('&');
    if (amp != std::string::npos)
        piece.erase(amp);
    return "HID" + piece;
}

PortInfo& PortInfo::assign(const PortInfo& other) {
    *this = other;
    return *this;
}

void PortInfo::set(PortType portType, const char* portPath, const char* portName, int vendorId,
                   int productId) {
    type = portType;
    if (portPath && *portPath) {
        path = portPath;
        name = nameFromPath(portPath, portType);
    }
    if (portName && *portName)
        name = portName;
    if (vendorId != 0)
        vid = vendorId;
    if (productId != 0)
        pid = productId;
    isSoftUsb = false;
}

void PortInfo::set(PortType portType, const char* portPath, const SerialConfig& lineConfig,
                   const char* portName, int vendorId, int productId) {
    set(portType, portPath, portName, vendorId, productId);
    config.assign(lineConfig);
    isSoftUsb = false;
}

void PortInfo::clear() {
    type = PortType::Unknown;
    path.clear();
    name.clear();
    vid = 0;
    pid = 0;
    config.reset();
    isSoftUsb = false;
}

std::string PortInfo::typeName() const {
    return portTypeText(type);
}

void PortInfo::setType(const char* value) {
    setType(text(value));
}

void PortInfo::setType(const std::string& value) {
    type = portTypeFromText(value);
}

PortInfo& PortInfo::fromJson(const tkl::JsonObject& json) {
    clear();
    name = json.value("name").toString();
    vid = tkl::jsonread::toInt32(json, "vid");
    pid = tkl::jsonread::toInt32(json, "pid");
    isSoftUsb = json.value("isSoftUsb").toBool();
    path = json.value("path").toString();
    setType(json.value("type").toString());
    tkl::JsonObject line = json.value("config").toObject();
    config.baudrate = tkl::jsonread::toInt32(line, "baudrate");
    config.databits = tkl::jsonread::toInt32(line, "databits");
    config.stopbits = tkl::jsonread::toInt32(line, "stopbits");
    config.parity = tkl::jsonread::toInt32(line, "parity");
    config.timeout = tkl::jsonread::toInt32(line, "timeout");
    return *this;
}

tkl::JsonObject PortInfo::toJson() const {
    tkl::JsonObject line;
    line.insert("baudrate", tkl::JsonValue(config.baudrate));
    line.insert("databits", tkl::JsonValue(config.databits));
    line.insert("stopbits", tkl::JsonValue(config.stopbits));
    line.insert("parity", tkl::JsonValue(config.parity));
    line.insert("timeout", tkl::JsonValue(config.timeout));

    tkl::JsonObject json;
    json.insert("name", tkl::JsonValue(name));
    json.insert("path", tkl::JsonValue(path));
    json.insert("vid", tkl::JsonValue(vid));
    json.insert("pid", tkl::JsonValue(pid));
    json.insert("isSoftUsb", tkl::JsonValue(static_cast<uint8_t>(isSoftUsb ? 1 : 0)));
    json.insert("type", tkl::JsonValue(typeName()));
    json.insert("config", tkl::JsonValue(line));
    return json;
}

}  // namespace custovia
