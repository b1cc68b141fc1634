#include "model/Device.h"

#include <QDateTime>
#include <QString>

#include "tkl/DateTime.h"
#include "tkl/Json.h"
#include "tkl/JsonRead.h"

namespace custovia {

namespace {

std::string orUnknown(const std::string& value) {
    return value.empty() ? "<unknown>" : value;
}

std::string code(int32_t value) {
    return value < 0 ? "<unknown>" : std::to_string(value);
}

// A date-time member: milliseconds as a number, or a local date-time text.
// A text that carries its zone ("Z", "+hh:mm", "-hh:mm") is read in that zone,
// so a reading stamped by a service in another zone keeps its instant.
int64_t readTime(const tkl::JsonValue& value) {
    if (value.isString()) {
        QDateTime when =
            QDateTime::fromString(QString::fromStdString(value.toString()), Qt::ISODateWithMs);
        if (when.isValid() && when.timeSpec() != Qt::LocalTime)
            return when.toMSecsSinceEpoch();
    }
    return value.toDateTime();
}

}  // namespace

std::string protocolText(DeviceProtocol protocol) {
    switch (protocol) {
        case DeviceProtocol::Unknown:
            return "Unknown";
        case DeviceProtocol::Zephan:
            return "Zephan";
        case DeviceProtocol::Corvel:
            return "Corvel";
        case DeviceProtocol::Mirtal:
            return "Mirtal";
        case DeviceProtocol::Ondra:
            return "Ondra";
    }
    return std::to_string(static_cast<int32_t>(protocol));
}

DeviceProtocol protocolFromText(const std::string& text) {
    if (text == "zephan")
        return DeviceProtocol::Zephan;
    if (text == "corvel")
        return DeviceProtocol::Corvel;
    if (text == "mirtal")
        return DeviceProtocol::Mirtal;
    if (text == "ondra")
        return DeviceProtocol::Ondra;
    return DeviceProtocol::Unknown;
}

Device::Device() {
    clear();
}

Device::~Device() = default;

std::string Device::toString() const {
    std::string out = "\nid=" + orUnknown(id) + ", \n";
    if (!name.empty())
        out += "name=" + name + ", \n";
    if (!userName.empty())
        out += "userName=" + userName + ", \n";
    if (!userProd.empty())
        out += "userProd=" + userProd + ", \n";
    out += "family=" + code(family) + ", model=" + code(model) + ", \n";
    out += "version=" + orUnknown(version) + ", \n";
    out += "protocol=" + protocolName() + ", \n";
    out += "port: {" + port.toString() + "}, \n";
    out += "vars: {" + vars.toString() + "}, \n";
    out += "flags: {" + status.toString() + "}, \n";
    out += "fail: {" + failures.toString() + "}, \n";
    out += "idPc=" + orUnknown(idPc);
    if (last > 0) {
        out += ", \nlast=" + tkl::DateTime::toString(last, tkl::DateTime::defaultPattern);
    }
    out += "\n";
    return out;
}

Device& Device::assign(const Device& other) {
    *this = other;
    return *this;
}

void Device::clear() {
    vars.clear();
    status.clear();
    failures.clear();
    id.clear();
    family = -1;
    model = -1;
    version.clear();
    idPc.clear();
    last = 0;
    port.clear();
    protocol = DeviceProtocol::Unknown;
    name.clear();
    userName.clear();
    userProd.clear();
}

std::string Device::protocolName() const {
    return protocolText(protocol);
}

void Device::setProtocol(const char* text) {
    setProtocol(std::string(text ? text : ""));
}

void Device::setProtocol(const std::string& text) {
    protocol = protocolFromText(text);
}

Device& Device::fromJson(const tkl::JsonObject& json) {
    clear();
    id = json.value("id").toString();
    family = tkl::jsonread::toInt32(json, "family");
    model = tkl::jsonread::toInt32(json, "model");
    version = json.value("version").toString();
    idPc = json.value("idPc").toString();
    last = readTime(json.value("last"));
    name = json.value("name").toString();
    userName = json.value("userName").toString();
    userProd = json.value("userProd").toString();
    setProtocol(json.value("protocol").toString());
    port.fromJson(json.value("port").toObject());
    vars.fromJson(json.value("vars").toObject());
    status.fromJson(json.value("status").toObject());
    failures.fromJson(json.value("failures").toObject());
    return *this;
}

tkl::JsonObject Device::toJson() const {
    tkl::JsonObject json;
    if (id.empty())
        return json;
    json.insert("id", tkl::JsonValue(id));
    json.insert("family", tkl::JsonValue(family));
    json.insert("model", tkl::JsonValue(model));
    json.insert("idPc", tkl::JsonValue(idPc));
    json.insert("status", tkl::JsonValue(status.toJson()));
    json.insert("failures", tkl::JsonValue(failures.toJson()));
    if (!version.empty())
        json.insert("version", tkl::JsonValue(version));
    if (last != 0) {
        tkl::JsonValue when;
        when.setDateTime(last, 0);
        json.insert("last", when);
    }
    if (!name.empty())
        json.insert("name", tkl::JsonValue(name));
    if (!userName.empty())
        json.insert("userName", tkl::JsonValue(userName));
    if (!userProd.empty())
        json.insert("userProd", tkl::JsonValue(userProd));
    if (protocol != DeviceProtocol::Unknown)
        json.insert("protocol", tkl::JsonValue(protocolName()));
    if (port.type != PortType::Unknown)
        json.insert("port", tkl::JsonValue(port.toJson()));
    if (status.connected)
        json.insert("vars", tkl::JsonValue(vars.toJson()));
    return json;
}

}  // namespace custovia
