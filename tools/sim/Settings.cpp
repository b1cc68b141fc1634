#include "sim/Settings.h"

#include <QJsonValue>

#include <cmath>
#include <vector>

namespace custovia {
namespace sim {
namespace {

struct Member {
    const char* key;
    bool text;          // string member, else a number
    const char* value;  // default text
    double number;      // default number
};

const std::vector<Member>& members(SettingsKind kind) {
    static const std::vector<Member> mail = {
        {"server", true, "", 0},
        {"port", false, "", 587},
        {"from", true, "noreply@custovia.example", 0},
        {"auth", false, "", 0},
        {"username", true, "", 0},
        {"password", true, "", 0},
        {"secure", false, "", 1},
        {"test", false, "", 0},
        {"enable", false, "", 1},
        {"to1", true, "", 0},
        {"to2", true, "", 0},
        {"to3", true, "", 0},
        {"to4", true, "", 0},
        {"to5", true, "", 0},
        {"cc", true, "", 0},
        {"bcc", true, "", 0},
    };
    static const std::vector<Member> dialer = {
        {"trigger", false, "", 0}, {"triggerTmr", false, "", 0}, {"outputTmr", false, "", 0},
        {"phone1", true, "", 0},   {"phone2", true, "", 0},      {"phone3", true, "", 0},
        {"phone4", true, "", 0},   {"phone5", true, "", 0},      {"phone6", true, "", 0},
        {"phone7", true, "", 0},   {"phone8", true, "", 0},
    };
    static const std::vector<Member> shutdown = {
        {"enabled", false, "", 1},
        {"counterManual", false, "", 20},
        {"counterOpBattery", false, "", 30},
        {"counterLoBattery", false, "", 20},
        {"counterFailure", false, "", 20},
        {"counterTimer", false, "", 20},
        {"counterBatLevel", false, "", 10},
        {"remCtrlDelay", false, "", 1000},
        {"devShutEnabled", false, "", 1},
        {"devStandByKeep", false, "", 0},
        {"devShutTimer", false, "", 120},
        {"cliShutEnabled", false, "", 1},
        {"cliHibernate", false, "", 1},
        {"cliShutTimer", false, "", 5},
        {"cliRun", true, "", 0},
    };
    static const std::vector<Member> notify = {
        {"option", false, "", 1}, {"valPercent", false, "", 10}, {"valSecond", false, "", 5}};
    static const std::vector<Member> product = {
        {"detect", false, "", 1}, {"theme", false, "", 1}, {"style", false, "", 2}};
    switch (kind) {
        case SettingsKind::Mail:
            return mail;
        case SettingsKind::Dialer:
            return dialer;
        case SettingsKind::Shutdown:
            return shutdown;
        case SettingsKind::Notify:
            return notify;
        case SettingsKind::Product:
            break;
    }
    return product;
}

bool perDevice(SettingsKind kind) {
    return kind == SettingsKind::Mail || kind == SettingsKind::Dialer ||
           kind == SettingsKind::Shutdown;
}

void putId(SettingsKind kind, const std::string& id, QJsonObject& o) {
    if (perDevice(kind)) {
        o.insert("id", QString::fromStdString(id));
    } else {
        o.insert("id", 1);
    }
}

}  // namespace

QJsonObject defaultSettings(SettingsKind kind, const std::string& id) {
    QJsonObject o;
    putId(kind, id, o);
    for (const auto& m : members(kind)) {
        if (m.text) {
            o.insert(m.key, QString::fromUtf8(m.value));
        } else {
            o.insert(m.key, m.number);
        }
    }
    return o;
}

bool normaliseSettings(SettingsKind kind, const std::string& id, const QJsonObject& posted,
                       QJsonObject* out, std::string* error) {
    QJsonObject o;
    putId(kind, id, o);
    for (const auto& m : members(kind)) {
        QJsonValue v = posted.value(m.key);
        if (m.text) {
            if (v.isUndefined() || v.isNull()) {
                o.insert(m.key, QString());
            } else if (v.isString()) {
                o.insert(m.key, v.toString());
            } else {
                *error = std::string("member \"") + m.key + "\" must be a string";
                return false;
            }
            continue;
        }
        double n = 0;
        if (v.isBool()) {
            n = v.toBool() ? 1 : 0;
        } else if (v.isDouble()) {
            n = v.toDouble();
        } else if (!v.isUndefined() && !v.isNull()) {
            *error = std::string("member \"") + m.key + "\" must be a number";
            return false;
        }
        if (!std::isfinite(n) || n < 0 || n > 4294967295.0) {
            *error = std::string("member \"") + m.key + "\" is out of range";
            return false;
        }
        o.insert(m.key, std::trunc(n));
    }
    *out = o;
    return true;
}

}  // namespace sim
}  // namespace custovia
