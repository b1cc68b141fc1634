#include "cli/View.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>

namespace custovia {
namespace cli {

namespace {

using Flags = std::vector<std::pair<const char*, bool>>;

double round1(double v) {
    return std::round(v * 10) / 10;
}

// Output load in percent of the nominal power; negative when unknown.
double loadPercent(const custovia::DeviceVars& v) {
    return v.nominalPOutput > 0 ? 100.0 * v.pOutput / v.nominalPOutput : -1;
}

std::string setNames(const Flags& flags, bool words) {
    std::string text;
    for (const auto& f : flags) {
        if (f.second) {
            text += (text.empty() ? "" : ", ") + std::string(words ? flagWords(f.first) : f.first);
        }
    }
    return text.empty() ? "none" : text;
}

QJsonArray setArray(const Flags& flags) {
    QJsonArray a;
    for (const auto& f : flags) {
        if (f.second) {
            a.append(f.first);
        }
    }
    return a;
}

std::string localTime(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd hh:mm:ss").toStdString();
}

std::string displayName(const custovia::Device& d) {
    return d.userName.empty() ? d.name : d.userName;
}

std::string modelText(const DeviceView& v) {
    if (!v.modelName.empty()) {
        return v.modelName;
    }
    return std::to_string(v.device.family) + "/" + std::to_string(v.device.model);
}

std::string countdownCell(const DeviceView& v) {
    if (!v.hasCountdown || v.countdown.value() < 0) {
        return "-";
    }
    return v.countdown.causeName() + " " + countdownText(v.countdown.value());
}

// Key-value lines with the values in one column; a long list of words wraps
// at the blank after a comma.
void printPairs(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& pairs) {
    constexpr std::size_t kKey = 14;
    constexpr std::size_t kLine = 96;
    const std::string indent(2 + kKey, ' ');
    for (const auto& p : pairs) {
        std::string line =
            "  " + p.first + std::string(kKey - std::min(kKey - 1, displayWidth(p.first)), ' ');
        std::string rest = p.second;
        while (displayWidth(line) + displayWidth(rest) > kLine) {
            std::size_t cut = rest.rfind(", ", kLine - displayWidth(line));
            if (cut == std::string::npos || cut == 0) {
                break;
            }
            out << line << rest.substr(0, cut + 1) << '\n';
            rest = rest.substr(cut + 2);
            line = indent;
        }
        line += rest;
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out << line << '\n';
    }
}

}  // namespace

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

DeviceView deviceView(Session& session, const Host& host, const std::string& id) {
    DeviceView v;
    const char* computer = session.computer();
    int32_t status = getDevice(session.handle(), host.key.c_str(), computer, id.c_str(), &v.device);
    if (status == -1) {
        // The device is not in the computer's data: for a remote computer the
        // service's data hold none.
        throw Failure("not found: device \"" + id + "\" on computer " +
                      (computer ? computer : "localhost") + " of " + host.key + " (status -1)");
    }
    session.check(status, "device \"" + id + "\" on " + host.key);
    v.hasConfig =
        getDeviceConfig(session.handle(), host.key.c_str(), computer, id.c_str(), &v.config) == 1;
    if (v.hasConfig) {
        v.modelName = v.config.name;
    }
    v.hasCountdown = getRegressiveCounter(session.handle(), host.key.c_str(), computer, id.c_str(),
                                          &v.countdown) == 1;
    return v;
}

std::vector<HostView> snapshot(Session& session) {
    std::vector<HostView> views;
    const std::string& selected = session.options().computer;
    for (const Host& h : session.hosts()) {
        HostView hv;
        hv.url = h.url;
        hv.key = h.key;
        hv.ready = h.ready;
        hv.status = h.status;
        // A host that had no data at first may have some by now (watch).
        CustoviaComputers computers;
        int32_t status = getComputerList(session.handle(), h.key.c_str(), &computers);
        hv.ready = status >= 0 && !computers.empty();
        if (!hv.ready && status < 0) {
            hv.status = status;
        }
        // A service may list its own computer under its address as well;
        // it is shown once, as "localhost".
        std::string localIp;
        auto local = computers.find("localhost");
        if (local != computers.end()) {
            localIp = local->second.ip;
        }
        std::vector<std::string> order;
        if (local != computers.end()) {
            order.push_back("localhost");
        }
        for (const auto& c : computers) {
            if (c.first != "localhost" && (localIp.empty() || c.second.ip != localIp)) {
                order.push_back(c.first);
            }
        }
        for (const auto& id : order) {
            bool isLocal = id == "localhost";
            if (!selected.empty() && selected != id && !(isLocal && selected == localIp)) {
                continue;
            }
            ComputerView cv;
            cv.id = id;
            cv.computer = computers[id];
            CustoviaDevices devices;
            CustoviaRegressives counters;
            const char* key = h.key.c_str();
            if (getDeviceList(session.handle(), key, id.c_str(), &devices) == 1) {
                getRegressiveCounterList(session.handle(), key, id.c_str(), &counters);
            }
            for (const auto& d : devices) {
                DeviceView dv;
                dv.device = d.second;
                dv.hasConfig = getDeviceConfig(session.handle(), key, id.c_str(), d.first.c_str(),
                                               &dv.config) == 1;
                if (dv.hasConfig) {
                    dv.modelName = dv.config.name;
                }
                auto c = counters.find(d.first);
                if (c != counters.end()) {
                    dv.countdown = c->second;
                    dv.hasCountdown = true;
                }
                cv.devices.push_back(dv);
            }
            hv.computers.push_back(cv);
        }
        views.push_back(hv);
    }
    return views;
}

void printStatus(std::ostream& out, const std::vector<HostView>& hosts, bool color) {
    bool manyHosts = hosts.size() > 1;
    std::vector<std::string> headers = {"COMPUTER", "ID",        "NAME",  "MODEL",  "STATE",
                                        "CHARGE",   "LOAD",      "INPUT", "OUTPUT", "BATTERY",
                                        "TEMP",     "COUNTDOWN", "AGE"};
    if (manyHosts) {
        headers.insert(headers.begin(), "HOST");
    }
    Table table(headers);
    int64_t now = nowMs();
    auto add = [&](const std::string& host, std::vector<Cell> cells) {
        if (manyHosts) {
            cells.insert(cells.begin(), Cell(host));
        }
        table.add(std::move(cells));
    };
    for (const auto& h : hosts) {
        if (!h.ready) {
            add(h.key,
                {Cell("-"), Cell("-"), Cell(h.url), Cell("-"), Cell("No answer", sgr::kRed)});
            continue;
        }
        for (const auto& c : h.computers) {
            if (c.devices.empty()) {
                bool local = c.id == "localhost";
                add(h.key, {Cell(c.id), Cell("-"), Cell(c.computer.hostname), Cell("-"),
                            Cell(local ? "No devices" : "Remote computer", sgr::kGrey)});
                continue;
            }
            for (const auto& dv : c.devices) {
                const auto& d = dv.device;
                const auto& v = d.vars;
                UnitState state = unitState(d);
                bool live = d.status.connected;
                double load = loadPercent(v);
                std::string age = d.last > 0 ? durationText(std::max<int64_t>(0, now - d.last))
                                             : std::string("-");
                add(h.key,
                    {Cell(c.id), Cell(d.id), Cell(displayName(d)), Cell(modelText(dv)),
                     Cell(stateWords(state), stateColor(state)),
                     Cell(number(v.cBattery, 0, "%", live), nullptr, true),
                     Cell(number(load, 0, "%", live && load >= 0), nullptr, true),
                     Cell(number(v.vInput, 1, " V", live), nullptr, true),
                     Cell(number(v.vOutput, 1, " V", live), nullptr, true),
                     Cell(number(v.vBattery, 1, " V", live), nullptr, true),
                     Cell(number(v.temperature, 1, " °C", live), nullptr, true),
                     Cell(countdownCell(dv),
                          dv.hasCountdown && dv.countdown.value() >= 0 ? sgr::kRed : nullptr),
                     Cell(age, nullptr, true)});
            }
        }
    }
    table.print(out, color);
}

QJsonObject computerJson(const std::string& id, const custovia::Computer& c) {
    QJsonObject o;
    o["id"] = QString::fromStdString(id);
    o["hostname"] = QString::fromStdString(c.hostname);
    o["ip"] = QString::fromStdString(c.ip);
    o["monVersion"] = QString::fromStdString(c.monVersion);
    o["apiVersion"] = QString::fromStdString(c.apiVersion);
    o["osVersion"] = QString::fromStdString(c.osVersion);
    o["port"] = static_cast<double>(c.port);
    o["upTime"] = static_cast<double>(c.upTime);
    return o;
}

QJsonObject deviceJson(const DeviceView& dv, bool detail) {
    const auto& d = dv.device;
    const auto& v = d.vars;
    UnitState state = unitState(d);
    QJsonObject o;
    o["id"] = QString::fromStdString(d.id);
    o["name"] = QString::fromStdString(d.name);
    o["userName"] = QString::fromStdString(d.userName);
    o["userProd"] = QString::fromStdString(d.userProd);
    o["family"] = d.family;
    o["model"] = d.model;
    o["modelName"] = dv.modelName.empty() ? QJsonValue() : QString::fromStdString(dv.modelName);
    o["version"] = QString::fromStdString(d.version);
    o["protocol"] = QString::fromStdString(custovia::protocolText(d.protocol));
    o["computer"] = QString::fromStdString(d.idPc);
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
    o["ageMs"] = d.last > 0
                     ? QJsonValue(static_cast<double>(std::max<int64_t>(0, nowMs() - d.last)))
                     : QJsonValue();
    if (dv.hasCountdown && dv.countdown.value() >= 0) {
        QJsonObject c;
        c["cause"] = QString::fromStdString(dv.countdown.causeName());
        c["remainingMs"] = dv.countdown.value();
        c["inShutdown"] = dv.countdown.inShutdown();
        o["countdown"] = c;
    } else {
        o["countdown"] = QJsonValue();
    }
    o["flags"] = setArray(statusFlags(d.status));
    o["failures"] = setArray(failureFlags(d.failures));
    if (!detail) {
        return o;
    }
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
    port["type"] = QString::fromStdString(custovia::portTypeText(d.port.type));
    port["path"] = QString::fromStdString(d.port.path);
    port["name"] = QString::fromStdString(d.port.name);
    port["vid"] = d.port.vid;
    port["pid"] = d.port.pid;
    o["port"] = port;
    o["capabilities"] =
        dv.hasConfig ? QJsonValue(setArray(capabilities(dv.config.caps))) : QJsonValue();
    return o;
}

QJsonObject statusJson(const std::vector<HostView>& hosts) {
    QJsonArray list;
    for (const auto& h : hosts) {
        QJsonObject ho;
        ho["host"] = QString::fromStdString(h.key);
        ho["url"] = QString::fromStdString(h.url);
        ho["ready"] = h.ready;
        ho["status"] = h.status;
        QJsonArray computers;
        for (const auto& c : h.computers) {
            QJsonObject co = computerJson(c.id, c.computer);
            QJsonArray devices;
            for (const auto& d : c.devices) {
                devices.append(deviceJson(d, false));
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

void printDevice(std::ostream& out, const DeviceView& dv, bool color) {
    const auto& d = dv.device;
    const auto& v = d.vars;
    UnitState state = unitState(d);
    bool live = d.status.connected;
    out << paint("Device " + d.id, sgr::kBold, color) << "  "
        << paint(stateWords(state), stateColor(state), color) << '\n';
    std::string name = d.name;
    if (!d.userName.empty() || !d.userProd.empty()) {
        name += " (user name \"" + d.userName + "\", product \"" + d.userProd + "\")";
    }
    std::string model = modelText(dv) + " (family " + std::to_string(d.family) + ", model " +
                        std::to_string(d.model) + ")";
    std::string port = custovia::portTypeText(d.port.type) + " " + d.port.name;
    if (!d.port.path.empty() && d.port.path != d.port.name) {
        port += " (" + d.port.path + ")";
    }
    std::string last = "never";
    if (d.last > 0) {
        last = localTime(d.last) + " (" + durationText(std::max<int64_t>(0, nowMs() - d.last)) +
               " ago)";
    }
    printPairs(out, {{"Name", name},
                     {"Model", model},
                     {"Firmware", d.version.empty() ? "-" : d.version},
                     {"Protocol", custovia::protocolText(d.protocol)},
                     {"Port", port},
                     {"Computer", d.idPc.empty() ? "-" : d.idPc},
                     {"Last reading", last}});

    out << paint("Readings", sgr::kBold, color) << '\n';
    double load = loadPercent(v);
    auto timer = [](int32_t t) { return t < 0 ? std::string("-") : std::to_string(t); };
    char led[16];
    std::snprintf(led, sizeof led, "#%02x%02x%02x", v.ledRed & 0xff, v.ledGreen & 0xff,
                  v.ledBlue & 0xff);
    printPairs(
        out,
        {{"Input",
          number(v.vInput, 1, " V", live) + " (nominal " + number(v.nominalVInput, 0, " V") + ")"},
         {"Output",
          number(v.vOutput, 1, " V", live) + ", " + number(v.fOutput, 1, " Hz", live) + ", " +
              number(v.iOutput, 1, " A", live) + ", " + number(v.pOutput, 1, " W", live) +
              " (nominal " + number(v.nominalVOutput, 0, " V") + ", " +
              number(v.nominalFOutput, 0, " Hz") + ", " + number(v.nominalPOutput, 0, " W") + ")"},
         {"Load", number(load, 0, " %", live && load >= 0)},
         {"Battery", number(v.cBattery, 0, " %", live) + ", " + number(v.vBattery, 1, " V", live) +
                         " (nominal " + number(v.nominalVBattery, 0, " V") + "), charger current " +
                         std::to_string(v.icBattery)},
         {"Temperature", number(v.temperature, 1, " °C", live)},
         {"Unit timers", "shutdown " + timer(v.shutdownTimer) + ", wake-up " +
                             timer(v.wakeupTimer) + ", night-off " + timer(v.nightoffTimer)},
         {"LED colour", v.random ? std::string("random") : std::string(led)}});

    out << paint("State", sgr::kBold, color) << '\n';
    std::string countdown = "none";
    if (dv.hasCountdown && dv.countdown.value() >= 0) {
        countdown = dv.countdown.causeName() + ", " + countdownText(dv.countdown.value()) +
                    " left" + (dv.countdown.inShutdown() ? ", shutdown begun" : "");
    }
    printPairs(out, {{"Flags", setNames(statusFlags(d.status), true)},
                     {"Failures", setNames(failureFlags(d.failures), true)},
                     {"Countdown", countdown}});

    out << paint("Capabilities", sgr::kBold, color) << '\n';
    printPairs(out,
               {{"Model offers", dv.hasConfig ? setNames(capabilities(dv.config.caps), false)
                                              : std::string("(model description not yet known)")}});
}

std::string jsonText(const QJsonObject& object, bool compact) {
    QByteArray text =
        QJsonDocument(object).toJson(compact ? QJsonDocument::Compact : QJsonDocument::Indented);
    std::string s(text.constData(), static_cast<std::size_t>(text.size()));
    if (s.empty() || s.back() != '\n') {
        s += '\n';
    }
    return s;
}

}  // namespace cli
}  // namespace custovia
