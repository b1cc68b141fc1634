// The JSON the service writes for computers, devices, countdowns and log
// entries: lower-case protocol and port texts, flags as 0 and 1, times in
// milliseconds since 1970.
#include "sim/World.h"

#include <cmath>

namespace custovia {
namespace sim {
namespace {

double round1(double x) {
    return std::round(x * 10.0) / 10.0;
}

QJsonObject flagsJson(std::uint32_t bits, const char* const* names, int count) {
    QJsonObject o;
    for (int i = 0; i < count; ++i) {
        o.insert(names[i], static_cast<int>((bits >> i) & 1u));
    }
    return o;
}

}  // namespace

QJsonObject World::computerJson(const SimComputer& c) const {
    QJsonObject o;
    o.insert("monVersion", "4.7.1");
    o.insert("apiVersion", "1.3");
    o.insert("osVersion", QString::fromStdString(c.osVersion));
    o.insert("hostname", QString::fromStdString(c.hostname));
    o.insert("ip", QString::fromStdString(c.ip));
    o.insert("port", c.port);
    o.insert("upTime", static_cast<double>((nowMs_ - c.bootMs) / 1000));
    return o;
}

QJsonObject World::deviceJson(const SimDevice& d) const {
    const ModelInfo& m = *d.model;
    bool battery = onBattery(d, nowMs_);
    bool output = outputOn(d, nowMs_);
    double vOut = output ? d.outV : 0;
    double pOut = output ? d.load * m.nominalPOutput : 0;
    double vBat = m.nominalVBattery * (0.93 + 0.14 * d.charge / 100) -
                  (battery && output ? 0.05 * m.nominalVBattery * d.load : 0);

    QJsonObject vars;
    vars.insert("vInput", d.mainsLost ? 0.0 : round1(d.mainsV));
    vars.insert("vOutput", round1(vOut));
    vars.insert("iOutput", vOut > 0 ? round1(pOut / vOut) : 0.0);
    vars.insert("pOutput", round1(pOut));
    vars.insert("fOutput", output ? round1(d.mainsLost ? m.nominalFOutput : d.mainsF) : 0.0);
    vars.insert("vBattery", round1(vBat));
    vars.insert("cBattery", round1(d.charge));
    vars.insert("temperature", round1(d.temperature));
    vars.insert("icBattery", d.icBattery);
    vars.insert("shutdownTimer", d.shutdownTimer);
    vars.insert("wakeupTimer", d.wakeupTimer);
    vars.insert("nightoffTimer", d.nightoffTimer);
    vars.insert("nominalVInput", m.nominalVInput);
    vars.insert("nominalVOutput", m.nominalVOutput);
    vars.insert("nominalPOutput", m.nominalPOutput);
    vars.insert("nominalFOutput", m.nominalFOutput);
    vars.insert("nominalVBattery", m.nominalVBattery);
    vars.insert("ledRed", d.ledRed);
    vars.insert("ledGreen", d.ledGreen);
    vars.insert("ledBlue", d.ledBlue);
    vars.insert("random", d.random ? 1 : 0);

    QJsonObject config;
    bool serial = std::string(m.portType) != "hid";
    config.insert("baudrate", serial ? 2400 : 0);
    config.insert("databits", serial ? 8 : 0);
    config.insert("stopbits", serial ? 1 : 0);
    config.insert("parity", 0);
    config.insert("timeout", serial ? 40 : 0);
    QJsonObject port;
    port.insert("type", m.portType);
    port.insert("path", QString::fromStdString(d.portPath));
    port.insert("name", QString::fromStdString(d.portName));
    port.insert("vid", m.vid);
    port.insert("pid", m.pid);
    port.insert("isSoftUsb", d.softUsb ? 1 : 0);
    port.insert("config", config);

    QJsonObject o;
    o.insert("id", QString::fromStdString(d.id));
    o.insert("family", m.family);
    o.insert("model", m.model);
    o.insert("version", QString::fromStdString(d.version));
    o.insert("idPc", QString::fromStdString(d.idPc));
    o.insert("last", static_cast<double>(d.last));
    o.insert("name", QString::fromStdString(d.name));
    o.insert("userName", QString::fromStdString(d.userName));
    o.insert("userProd", QString::fromStdString(d.userProd));
    o.insert("protocol", m.protocol);
    o.insert("port", port);
    o.insert("vars", vars);
    o.insert("status", flagsJson(d.status, kStatusNames, 25));
    o.insert("failures", flagsJson(d.failures, kFailureNames, 12));
    o.insert("lineSense", d.lineSense);
    return o;
}

QJsonObject World::regressiveJson(const SimDevice& d) const {
    // The countdown that runs out first; on a tie the lower cause.
    int best = 0;
    std::int64_t bestValue = -1;
    for (int cause = Manual; cause <= Scheduled; ++cause) {
        const Countdown& c = d.countdowns[cause];
        if (!c.active) {
            continue;
        }
        std::int64_t value = std::max<std::int64_t>(0, c.deadlineMs - nowMs_);
        if (best == 0 || value < bestValue) {
            best = cause;
            bestValue = value;
        }
    }
    QJsonObject o;
    o.insert("cause", best);
    o.insert("active", best ? 1 : 0);
    o.insert("value", static_cast<double>(best ? bestValue : -1));
    o.insert("inShutdown", best && d.countdowns[best].inShutdown ? 1 : 0);
    return o;
}

QJsonObject World::logEntryJson(const SimDevice& d, int event) const {
    QJsonObject full = deviceJson(d);
    QJsonObject o;
    o.insert("id", QString::fromStdString(d.id));
    o.insert("event", event);
    o.insert("dateTime", static_cast<double>(nowMs_));
    o.insert("vars", full.value("vars"));
    o.insert("flags", full.value("status"));
    o.insert("fail", full.value("failures"));
    return o;
}

QJsonObject World::snapshot() {
    QJsonArray list;
    for (SimComputer* c : computers()) {
        QJsonArray devices;
        for (auto& [id, d] : c->devices) {
            QJsonObject e;
            e.insert("device", deviceJson(d));
            e.insert("regressive", regressiveJson(d));
            e.insert("config", modelJson(*d.model));
            e.insert("mailcfg", d.mail);
            e.insert("dialcfg", d.dial);
            e.insert("shutcfg", d.shut);
            e.insert("outage", d.manualOutage ? 1 : 0);
            e.insert("load", round1(d.load * 100) / 100);
            devices.append(e);
        }
        QJsonObject o;
        o.insert("id", c == &local_ ? QString("localhost") : QString::fromStdString(c->ip));
        o.insert("computer", computerJson(*c));
        o.insert("notifycfg", c->notify);
        o.insert("cuscfg", c->product);
        o.insert("devices", devices);
        list.append(o);
    }
    QJsonObject o;
    o.insert("host", host_);
    o.insert("timeMs", static_cast<double>(nowMs_));
    o.insert("scheduledOutage", scheduledOutage() ? 1 : 0);
    o.insert("computers", list);
    return o;
}

}  // namespace sim
}  // namespace custovia
