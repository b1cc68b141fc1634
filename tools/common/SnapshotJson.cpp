#include "common/SnapshotJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "common/UnitState.h"

namespace custovia {
namespace tools {

namespace {

double round1(double v) {
    return std::round(v * 10) / 10;
}

QJsonValue text(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonArray setArray(const std::vector<std::pair<const char*, bool>>& flags) {
    QJsonArray a;
    for (const auto& f : flags) {
        if (f.second) {
            a.append(f.first);
        }
    }
    return a;
}

QJsonObject countdownJson(const DeviceView& dv) {
    QJsonObject c;
    c["cause"] = text(dv.countdown.causeName());
    c["remainingMs"] = dv.countdown.value();
    c["inShutdown"] = dv.countdown.inShutdown();
    return c;
}

void addDetail(QJsonObject& o, const DeviceView& dv) {
    const auto& d = dv.device;
    const auto& v = d.vars;
    QJsonObject nominal;
    nominal["vInput"] = round1(v.nominalVInput);
    nominal["vOutput"] = round1(v.nominalVOutput);
    nominal["pOutput"] = round1(v.nominalPOutput);
    nominal["fOutput"] = round1(v.nominalFOutput);
    nominal["vBattery"] = round1(v.nominalVBattery);
    o["nominal"] = nominal;
    QJsonObject timers;
    timers["shutdown"] = v.shutdownTimer;
    timers["wakeup"] = v.wakeupTimer;
    timers["nightoff"] = v.nightoffTimer;
    o["timers"] = timers;
    QJsonObject led;
    led["red"] = v.ledRed;
    led["green"] = v.ledGreen;
    led["blue"] = v.ledBlue;
    led["random"] = v.random;
    o["led"] = led;
    o["icBattery"] = v.icBattery;
    QJsonObject port;
    port["type"] = text(custovia::portTypeText(d.port.type));
    port["path"] = text(d.port.path);
    port["name"] = text(d.port.name);
    port["vid"] = d.port.vid;
    port["pid"] = d.port.pid;
    o["port"] = port;
    o["capabilities"] =
        dv.hasConfig ? QJsonValue(setArray(capabilities(dv.config.caps))) : QJsonValue();
}

// The host's freshness and the library's record of its refreshes.
void addHealth(QJsonObject& o, const HostView& h, int64_t now) {
    HostState state = hostState(h, now);
    o["hostState"] = hostStateToken(state);
    o["hostStateText"] = hostStateWords(state);
    o["stale"] = state == HostState::Stale || state == HostState::Unreachable;
    if (!h.hasHealth) {
        o["health"] = QJsonValue();
        return;
    }
    const CustoviaHostHealth& x = h.health;
    auto time = [](int64_t ms) {
        return ms > 0 ? QJsonValue(static_cast<double>(ms)) : QJsonValue();
    };
    QJsonObject health;
    health["reachable"] = x.reachable;
    health["startedMs"] = time(x.startedMs);
    health["lastSuccessMs"] = time(x.lastSuccessMs);
    health["lastFailureMs"] = time(x.lastFailureMs);
    health["lastCycleMs"] = x.lastCycleMs;
    health["consecutiveFailures"] = x.consecutiveFailures;
    health["lastErrorCode"] = x.lastErrorCode;
    health["lastError"] = text(x.lastError);
    health["cycles"] = static_cast<double>(x.cycles);
    health["requests"] = static_cast<double>(x.requests);
    health["connections"] = static_cast<double>(x.connections);
    o["health"] = health;
}

// The members every listing of a host starts with: its name, URL, readiness,
// status and health.
QJsonObject hostHead(const HostView& h, bool ready, int64_t now) {
    QJsonObject o;
    o["host"] = text(h.key);
    o["url"] = text(h.url);
    o["ready"] = ready;
    o["status"] = h.status;
    addHealth(o, h, now);
    return o;
}

}  // namespace

QJsonObject computerJson(const std::string& id, const custovia::Computer& c) {
    QJsonObject o;
    o["id"] = text(id);
    o["hostname"] = text(c.hostname);
    o["ip"] = text(c.ip);
    o["monVersion"] = text(c.monVersion);
    o["apiVersion"] = text(c.apiVersion);
    o["osVersion"] = text(c.osVersion);
    o["port"] = static_cast<double>(c.port);
    o["upTime"] = static_cast<double>(c.upTime);
    return o;
}

QJsonObject deviceJson(const DeviceView& dv, bool detail, int64_t now) {
    const auto& d = dv.device;
    const auto& v = d.vars;
    UnitState state = unitState(d);
    QJsonObject o;
    o["id"] = text(d.id);
    o["name"] = text(d.name);
    o["userName"] = text(d.userName);
    o["userProd"] = text(d.userProd);
    o["family"] = d.family;
    o["model"] = d.model;
    o["modelName"] = dv.modelName.empty() ? QJsonValue() : text(dv.modelName);
    o["version"] = text(d.version);
    o["protocol"] = text(custovia::protocolText(d.protocol));
    o["computer"] = text(d.idPc);
    o["state"] = stateToken(state);
    o["stateText"] = stateWords(state);
    o["connected"] = static_cast<bool>(d.status.connected);
    o["charge"] = round1(v.cBattery);
    double load = loadPercent(v);
    o["load"] = load >= 0 ? QJsonValue(round1(load)) : QJsonValue();
    o["vInput"] = round1(v.vInput);
    o["vOutput"] = round1(v.vOutput);
    o["vBattery"] = round1(v.vBattery);
    o["temperature"] = round1(v.temperature);
    o["fOutput"] = round1(v.fOutput);
    o["iOutput"] = round1(v.iOutput);
    o["pOutput"] = round1(v.pOutput);
    o["lastReading"] = d.last > 0 ? QJsonValue(static_cast<double>(d.last)) : QJsonValue();
    o["ageMs"] = d.last > 0 ? QJsonValue(static_cast<double>(std::max<int64_t>(0, now - d.last)))
                            : QJsonValue();
    bool counting = dv.hasCountdown && dv.countdown.value() >= 0;
    o["countdown"] = counting ? QJsonValue(countdownJson(dv)) : QJsonValue();
    o["flags"] = setArray(statusFlags(d.status));
    o["failures"] = setArray(failureFlags(d.failures));
    if (detail) {
        addDetail(o, dv);
    }
    return o;
}

QJsonObject hostsJson(const Snapshot& snapshot) {
    QJsonArray list;
    for (const auto& h : snapshot.hosts) {
        bool ready = h.ready && h.hasOwn;
        QJsonObject o = hostHead(h, ready, snapshot.timeMs);
        o["connected"] = h.connected;
        o["monVersion"] = text(h.own.monVersion);
        o["apiVersion"] = text(h.own.apiVersion);
        o["osVersion"] = text(h.own.osVersion);
        o["computers"] = ready ? QJsonValue(h.computerCount) : QJsonValue();
        o["devices"] = ready ? QJsonValue(h.deviceCount) : QJsonValue();
        list.append(o);
    }
    QJsonObject o;
    o["hosts"] = list;
    return o;
}

QJsonObject devicesJson(const Snapshot& snapshot) {
    QJsonArray list;
    for (const auto& h : snapshot.hosts) {
        QJsonObject ho = hostHead(h, h.ready, snapshot.timeMs);
        QJsonArray computers;
        for (const auto& c : h.computers) {
            QJsonObject co = computerJson(c.id, c.computer);
            QJsonArray devices;
            for (const auto& d : c.devices) {
                devices.append(deviceJson(d, false, snapshot.timeMs));
            }
            co["devices"] = devices;
            computers.append(co);
        }
        ho["computers"] = computers;
        list.append(ho);
    }
    QJsonObject o;
    o["hosts"] = list;
    return o;
}

QJsonObject eventJson(const CustoviaEvent& e) {
    auto text = [](const std::string& value) { return QString::fromStdString(value); };
    QJsonObject o;
    o["seq"] = static_cast<double>(e.seq);
    o["timeMs"] = static_cast<double>(e.timeMs);
    o["kind"] = text(e.kindName);
    o["host"] = text(e.host);
    o["computer"] = text(e.computer);
    o["device"] = text(e.device);
    o["name"] = text(e.name);
    o["oldValue"] = text(e.oldValue);
    o["newValue"] = text(e.newValue);
    o["text"] = text(e.text);
    o["lost"] = static_cast<double>(e.lost);
    return o;
}

std::string jsonText(const QJsonObject& object, bool compact) {
    QByteArray bytes =
        QJsonDocument(object).toJson(compact ? QJsonDocument::Compact : QJsonDocument::Indented);
    std::string s(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (s.empty() || s.back() != '\n') {
        s += '\n';
    }
    return s;
}

}  // namespace tools
}  // namespace custovia
