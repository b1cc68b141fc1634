#include "mqtt/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace custovia {
namespace mqtt {

namespace {

struct Sensor {
    const char* key;
    const char* name;
    const char* deviceClass;  // nullptr: none
    const char* unit;         // nullptr: none
    const char* member;       // of the state payload
    const char* icon;
};

// Numbers in Home Assistant's units: %, V, W, °C, s.
const Sensor kSensors[] = {
    {"charge", "Battery charge", "battery", "%", "charge", nullptr},
    {"input_voltage", "Input voltage", "voltage", "V", "vInput", nullptr},
    {"output_voltage", "Output voltage", "voltage", "V", "vOutput", nullptr},
    {"battery_voltage", "Battery voltage", "voltage", "V", "vBattery", nullptr},
    {"output_power", "Output power", "power", "W", "pOutput", nullptr},
    {"load", "Load", nullptr, "%", "load", "mdi:gauge"},
    {"temperature", "Temperature", "temperature",
     "\xC2\xB0"
     "C",
     "temperature", nullptr},
    {"countdown", "Shutdown countdown", "duration", "s", "countdownSeconds", "mdi:timer-outline"},
};

struct Binary {
    const char* key;
    const char* name;
    const char* deviceClass;
    const char* member;
    const char* icon;
};

const Binary kBinaries[] = {
    {"on_battery", "On battery", nullptr, "onBattery", "mdi:battery-alert"},
    {"low_battery", "Low battery", "battery", "lowBattery", nullptr},
    {"overload", "Overload", "problem", "overload", nullptr},
    {"failure", "Failure", "problem", "failure", nullptr},
};

struct Button {
    const char* command;
    const char* name;
    const char* icon;
};

const Button kButtons[] = {
    {"shutdown", "Shut down", "mdi:power"},
    {"cancel-shutdown", "Cancel shutdown", "mdi:cancel"},
    {"discharge", "Battery discharge test", "mdi:battery-sync"},
    {"mail-test", "Mail test", "mdi:email-check"},
};

std::string join(const std::string& a, const std::string& b) {
    return a + "/" + b;
}

bool contains(const QJsonValue& array, const char* name) {
    return array.toArray().contains(QJsonValue(QString::fromLatin1(name)));
}

std::string text(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

QString str(const std::string& s) {
    return QString::fromStdString(s);
}

// The device block shared by every entity of the unit.
QJsonObject deviceBlock(const UnitTopics& t, const QJsonObject& unit) {
    QJsonObject d;
    d["identifiers"] = QJsonArray{str(t.nodeId())};
    QString name = unit.value("userName").toString();
    if (name.isEmpty()) {
        name = unit.value("name").toString();
    }
    if (name.isEmpty()) {
        name = str(t.device);
    }
    d["name"] = name;
    QString model = unit.value("modelName").toString();
    if (model.isEmpty() && unit.contains("family")) {
        model = QString("%1/%2").arg(unit.value("family").toInt()).arg(unit.value("model").toInt());
    }
    if (!model.isEmpty()) {
        d["model"] = model;
    }
    if (!unit.value("version").toString().isEmpty()) {
        d["sw_version"] = unit.value("version").toString();
    }
    d["serial_number"] = str(t.device);
    return d;
}

// Members every entity has: name, ids, availability and the device.
QJsonObject entity(const UnitTopics& t, const QJsonObject& device, const std::string& key,
                   const char* name, const char* icon) {
    QJsonObject c;
    c["name"] = name;
    c["unique_id"] = str(t.nodeId() + "_" + key);
    c["object_id"] = str(t.nodeId() + "_" + key);
    QJsonObject gateway{{"topic", str(t.gatewayStatus())}};
    QJsonObject host{{"topic", str(t.availability())}};
    c["availability"] = QJsonArray{gateway, host};
    c["availability_mode"] = "all";
    c["device"] = device;
    if (icon) {
        c["icon"] = icon;
    }
    return c;
}

std::string objectKey(const char* key) {
    std::string k = key;
    for (char& ch : k) {
        if (ch == '-') {
            ch = '_';
        }
    }
    return k;
}

}  // namespace

std::string topicLevel(const std::string& text) {
    if (text.empty()) {
        return "_";
    }
    std::string level = text;
    for (char& ch : level) {
        if (ch == '/' || ch == '+' || ch == '#' || static_cast<unsigned char>(ch) < 0x20) {
            ch = '_';
        }
    }
    return level;
}

std::string UnitTopics::base() const {
    return join(join(prefix, topicLevel(host)), topicLevel(device));
}

std::string UnitTopics::state() const {
    return join(base(), "state");
}

std::string UnitTopics::availability() const {
    return join(join(prefix, topicLevel(host)), "availability");
}

std::string UnitTopics::gatewayStatus() const {
    return join(prefix, "status");
}

std::string UnitTopics::command(const std::string& name) const {
    return join(join(base(), "command"), name);
}

std::string UnitTopics::nodeId() const {
    std::string id = prefix + "_" + host + "_" + device;
    for (char& ch : id) {
        bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                  (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
        if (!ok) {
            ch = '_';
        }
    }
    return id;
}

std::string UnitTopics::configTopic(const char* component, const char* key) const {
    return join(join(join(join(discoveryPrefix, component), nodeId()), objectKey(key)), "config");
}

const std::vector<const char*>& commandNames() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> n;
        for (const Button& b : kButtons) {
            n.push_back(b.command);
        }
        return n;
    }();
    return names;
}

QJsonObject statePayload(const QJsonObject& unit) {
    QJsonObject s = unit;
    s.remove("ageMs");
    const QJsonValue flags = unit.value("flags");
    const QJsonValue failures = unit.value("failures");
    s["onBattery"] = contains(flags, "opBattery");
    s["lowBattery"] = contains(flags, "loBattery");
    s["overload"] = contains(failures, "overload") || contains(failures, "hiPOutput") ||
                    contains(flags, "hiPOutput");
    s["failure"] = !failures.toArray().isEmpty();
    const QJsonObject countdown = unit.value("countdown").toObject();
    if (countdown.contains("remainingMs")) {
        s["countdownSeconds"] = qRound64(countdown.value("remainingMs").toDouble() / 1000.0);
    } else {
        s["countdownSeconds"] = QJsonValue();
    }
    return s;
}

std::vector<std::pair<std::string, std::string>> discoveryConfigs(const UnitTopics& t,
                                                                  const QJsonObject& unit,
                                                                  bool commands) {
    std::vector<std::pair<std::string, std::string>> out;
    const QJsonObject device = deviceBlock(t, unit);
    const QString state = str(t.state());
    for (const Sensor& s : kSensors) {
        QJsonObject c = entity(t, device, s.key, s.name, s.icon);
        c["state_topic"] = state;
        c["value_template"] = QString("{{ value_json.%1 }}").arg(s.member);
        c["state_class"] = "measurement";
        if (s.deviceClass) {
            c["device_class"] = s.deviceClass;
        }
        c["unit_of_measurement"] = s.unit;
        out.emplace_back(t.configTopic("sensor", s.key), text(c));
    }
    QJsonObject st = entity(t, device, "state", "State", "mdi:information-outline");
    st["state_topic"] = state;
    st["value_template"] = "{{ value_json.stateText }}";
    st["json_attributes_topic"] = state;
    out.emplace_back(t.configTopic("sensor", "state"), text(st));
    for (const Binary& b : kBinaries) {
        QJsonObject c = entity(t, device, b.key, b.name, b.icon);
        c["state_topic"] = state;
        c["value_template"] = QString("{{ 'ON' if value_json.%1 else 'OFF' }}").arg(b.member);
        c["payload_on"] = "ON";
        c["payload_off"] = "OFF";
        if (b.deviceClass) {
            c["device_class"] = b.deviceClass;
        }
        out.emplace_back(t.configTopic("binary_sensor", b.key), text(c));
    }
    for (const Button& b : kButtons) {
        const std::string topic = t.configTopic("button", b.command);
        if (!commands) {
            out.emplace_back(topic, std::string());
            continue;
        }
        QJsonObject c = entity(t, device, objectKey(b.command), b.name, b.icon);
        c["command_topic"] = str(t.command(b.command));
        c["payload_press"] = "PRESS";
        c["retain"] = false;
        out.emplace_back(topic, text(c));
    }
    return out;
}

std::vector<std::string> discoveryTopics(const UnitTopics& t) {
    std::vector<std::string> topics;
    for (const auto& config : discoveryConfigs(t, QJsonObject(), false)) {
        topics.push_back(config.first);
    }
    return topics;
}

std::string discoveryIdentity(const QJsonObject& unit) {
    // Called for every reading: plain text, no JSON document.
    QString id;
    for (const char* key : {"name", "userName", "modelName", "version"}) {
        id += unit.value(QLatin1String(key)).toString();
        id += QChar('\n');
    }
    id += QString::number(unit.value(QLatin1String("family")).toInt()) + '/' +
          QString::number(unit.value(QLatin1String("model")).toInt());
    return id.toStdString();
}

}  // namespace mqtt
}  // namespace custovia
