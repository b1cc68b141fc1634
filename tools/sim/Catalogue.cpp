#include "sim/Catalogue.h"

#include "sim/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <vector>

namespace custovia {
namespace sim {
namespace {

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char ch : path) {
        if (ch == '/') {
            if (!cur.empty()) {
                parts.push_back(cur);
            }
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) {
        parts.push_back(cur);
    }
    return parts;
}

Answer ok(const QJsonObject& body = QJsonObject()) {
    Answer a;
    a.body = body;
    return a;
}

Answer notAllowed(const std::string& allow) {
    Answer a = errorAnswer(405, "method not allowed");
    a.allow = allow;
    return a;
}

// Whole number in [lo, hi] under `key`.
bool intMember(const QJsonObject& o, const char* key, int lo, int hi, int* out,
               std::string* error) {
    QJsonValue v = o.value(key);
    double n = v.toDouble();
    if (!v.isDouble() || std::trunc(n) != n || n < lo || n > hi) {
        *error = std::string("member \"") + key + "\" must be a whole number from " +
                 std::to_string(lo) + " to " + std::to_string(hi);
        return false;
    }
    *out = static_cast<int>(n);
    return true;
}

bool flagValue(const QJsonValue& v, bool* out) {
    if (v.isBool()) {
        *out = v.toBool();
        return true;
    }
    if (v.isDouble()) {
        *out = v.toDouble() != 0;
        return true;
    }
    return false;
}

bool confirmed(const QJsonObject& o) {
    QJsonValue v = o.value("confirm");
    return (v.isDouble() && v.toDouble() == 1) || (v.isBool() && v.toBool());
}

struct Request {
    const std::string& method;
    const std::string& body;
    QJsonObject json;
    std::string error;
    // Parses the body and checks "confirm" when the command needs it.
    bool parse(bool needConfirm) {
        if (!parseObject(body, &json, &error)) {
            return false;
        }
        if (needConfirm && !confirmed(json)) {
            error = "the command needs \"confirm\": 1";
            return false;
        }
        return true;
    }
};

QJsonObject history(const std::deque<QJsonObject>& entries, std::size_t count, std::size_t every) {
    QJsonArray list;
    std::size_t n = entries.size();
    std::size_t first = n > count ? n - count : 0;
    for (std::size_t i = first; i < n; ++i) {
        if ((n - 1 - i) % every == 0) {
            list.append(entries[i]);
        }
    }
    QJsonObject o;
    o.insert("log", list);
    return o;
}

Answer settings(World& w, Request& r, SettingsKind kind, const std::string& id, QJsonObject& stored,
                SimDevice* d) {
    if (r.method == "GET") {
        return ok(stored);
    }
    if (r.method != "POST") {
        return notAllowed("GET, POST");
    }
    QJsonObject next;
    if (!r.parse(false) || !normaliseSettings(kind, id, r.json, &next, &r.error)) {
        return errorAnswer(400, r.error);
    }
    stored = next;
    if (d) {
        w.refresh(*d);  // shutdown settings steer the countdowns
    }
    return ok();
}

Answer deviceCommand(World& w, SimComputer& c, SimDevice& d, const std::string& what, Request& r) {
    const std::string& m = r.method;
    auto command = [&](const std::string& result) {
        return result.empty() ? ok() : errorAnswer(409, result);
    };
    if (what == "config") {
        return m == "GET" ? ok(modelJson(*d.model)) : notAllowed("GET");
    }
    if (what == "log") {
        return m == "GET" ? ok(history(d.events, d.events.size(), 1)) : notAllowed("GET");
    }
    if (what == "mailcfg") {
        return settings(w, r, SettingsKind::Mail, d.id, d.mail, nullptr);
    }
    if (what == "dialcfg") {
        return settings(w, r, SettingsKind::Dialer, d.id, d.dial, nullptr);
    }
    if (what == "shutcfg") {
        return settings(w, r, SettingsKind::Shutdown, d.id, d.shut, &d);
    }
    if (what == "mailtest") {
        if (m != "PUT" && m != "DELETE") {
            return notAllowed("PUT, DELETE");
        }
        if (!r.parse(true)) {
            return errorAnswer(400, r.error);
        }
        d.mail.insert("test", m == "PUT" ? 1 : 0);
        return ok();
    }
    if (what == "shutdown") {
        if (m != "PUT" && m != "DELETE") {
            return notAllowed("PUT, DELETE");
        }
        if (!r.parse(true)) {
            return errorAnswer(400, r.error);
        }
        return command(m == "PUT" ? w.manualShutdown(d) : w.cancelShutdown(d));
    }
    if (m != "PUT") {
        return notAllowed("PUT");
    }
    if (what == "user") {
        if (!r.parse(false)) {
            return errorAnswer(400, r.error);
        }
        QJsonValue name = r.json.value("userName");
        QJsonValue prod = r.json.value("userProd");
        if ((!name.isUndefined() && !name.isString()) ||
            (!prod.isUndefined() && !prod.isString()) ||
            (name.isUndefined() && prod.isUndefined())) {
            return errorAnswer(400, "\"userName\" and \"userProd\" must be strings");
        }
        if (name.isString()) {
            d.userName = name.toString().toStdString();
        }
        if (prod.isString()) {
            d.userProd = prod.toString().toStdString();
        }
        return ok();
    }
    if (what != "discharge" && what != "linesense" && what != "icBattery" && what != "color") {
        return errorAnswer(404, "no such resource");
    }
    if (!r.parse(true)) {
        return errorAnswer(400, r.error);
    }
    if (what == "discharge") {
        return command(w.discharge(d));
    }
    if (what == "linesense") {
        int v = 0;
        if (!intMember(r.json, "lineSense", 0, 4, &v, &r.error)) {
            return errorAnswer(400, r.error);
        }
        if (!d.model->has("hasSetLineSens")) {
            return errorAnswer(409, "this model has no line sensitivity setting");
        }
        d.lineSense = v;
        return ok();
    }
    if (what == "icBattery") {
        int v = 0;
        if (!intMember(r.json, "icBattery", 0, 10, &v, &r.error)) {
            return errorAnswer(400, r.error);
        }
        if (!d.model->has("hasSetICBattery")) {
            return errorAnswer(409, "this model has no charger current setting");
        }
        d.icBattery = v;
        return ok();
    }
    int red = 0, green = 0, blue = 0;
    bool random = false;
    QJsonValue rnd = r.json.value("random");
    if (!intMember(r.json, "red", 0, 255, &red, &r.error) ||
        !intMember(r.json, "green", 0, 255, &green, &r.error) ||
        !intMember(r.json, "blue", 0, 255, &blue, &r.error)) {
        return errorAnswer(400, r.error);
    }
    if (!rnd.isUndefined() && !flagValue(rnd, &random)) {
        return errorAnswer(400, "member \"random\" must be a number or a boolean");
    }
    d.ledRed = red;
    d.ledGreen = green;
    d.ledBlue = blue;
    d.random = random;
    (void)c;
    return ok();
}

Answer computerScoped(World& w, SimComputer& c, const std::vector<std::string>& p, std::size_t at,
                      Request& r) {
    std::size_t n = p.size() - at;
    if (n == 1 && (p[at] == "cuscfg" || p[at] == "notifycfg")) {
        bool product = p[at] == "cuscfg";
        return settings(w, r, product ? SettingsKind::Product : SettingsKind::Notify, "",
                        product ? c.product : c.notify, nullptr);
    }
    if (p[at] != "device") {
        return errorAnswer(404, "no such resource");
    }
    if (n == 1) {
        if (r.method != "GET") {
            return notAllowed("GET");
        }
        QJsonArray list;
        for (auto& [id, d] : c.devices) {
            list.append(w.deviceJson(d));
        }
        QJsonObject o;
        o.insert("devices", list);
        return ok(o);
    }
    if (p[at + 1] == "config" && (n == 3 || n == 4)) {
        if (r.method != "GET") {
            return notAllowed("GET");
        }
        bool good = true;
        int family = QString::fromStdString(p[at + 2]).toInt(&good);
        int model = -1;
        if (good && n == 4) {
            model = QString::fromStdString(p[at + 3]).toInt(&good);
        }
        if (!good) {
            return errorAnswer(404, "family and model must be numbers");
        }
        if (n == 3 || model < 0) {
            QJsonObject f = familyJson(family);
            return f.isEmpty() ? errorAnswer(404, "unknown family") : ok(f);
        }
        const ModelInfo* m = findModel(family, model);
        return m ? ok(modelJson(*m)) : errorAnswer(404, "unknown model");
    }
    SimDevice* d = w.device(c, p[at + 1]);
    if (!d) {
        return errorAnswer(404, "unknown device");
    }
    if (n == 2) {
        if (r.method == "GET") {
            QJsonObject o;
            o.insert("device", w.deviceJson(*d));
            o.insert("regressive", w.regressiveJson(*d));
            return ok(o);
        }
        if (r.method != "DELETE") {
            return notAllowed("GET, DELETE");
        }
        if (!r.parse(true)) {
            return errorAnswer(400, r.error);
        }
        c.devices.erase(d->id);
        return ok();
    }
    if (n == 3) {
        return deviceCommand(w, c, *d, p[at + 2], r);
    }
    if (n == 4 && p[at + 2] == "histlog") {
        if (r.method != "GET") {
            return notAllowed("GET");
        }
        const std::string& span = p[at + 3];
        if (span == "hour") {
            return ok(history(d->samples, 60, 1));
        }
        if (span == "day" || span == "month") {
            return ok(history(d->samples, 24 * 60, 60));
        }
    }
    return errorAnswer(404, "no such resource");
}

}  // namespace

Answer errorAnswer(int status, const std::string& message) {
    Answer a;
    a.status = status;
    a.body.insert("error", QString::fromStdString(message));
    a.body.insert("status", status);
    return a;
}

bool parseObject(const std::string& body, QJsonObject* out, std::string* error) {
    QJsonParseError pe;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        *error =
            body.empty() ? "the request needs a JSON object body" : "the body is not a JSON object";
        return false;
    }
    *out = doc.object();
    return true;
}

Answer serveCatalogue(World& w, const std::string& apiRoot, const std::string& method,
                      const std::string& path, const std::string& body) {
    std::vector<std::string> p = split(path);
    Request r{method, body, QJsonObject(), std::string()};
    if (p.size() == 1 && p[0] == "mon") {
        if (method != "GET") {
            return notAllowed("GET");
        }
        QJsonObject o;
        o.insert("uri", QString::fromStdString("/" + apiRoot));
        o.insert("monVersion", "4.7.1");
        o.insert("apiVersion", "1.3");
        return ok(o);
    }
    std::vector<std::string> root = split(apiRoot);
    if (p.size() < root.size() || !std::equal(root.begin(), root.end(), p.begin())) {
        return errorAnswer(404, "no such resource");
    }
    std::size_t at = root.size();
    if (p.size() == at) {
        return method == "GET" ? ok(w.computerJson(w.local())) : notAllowed("GET");
    }
    if (p[at] != "computer") {
        return computerScoped(w, w.local(), p, at, r);
    }
    if (p.size() == at + 1) {
        if (method != "GET") {
            return notAllowed("GET");
        }
        QJsonArray list;
        for (SimComputer* c : w.computers()) {
            if (c != &w.local()) {
                list.append(w.computerJson(*c));
            }
        }
        QJsonObject o;
        o.insert("computers", list);
        return ok(o);
    }
    SimComputer* c = w.computer(p[at + 1]);
    if (!c || p[at + 1] == "localhost") {
        return errorAnswer(404, "unknown computer");
    }
    if (p.size() == at + 2) {
        return method == "GET" ? ok(w.computerJson(*c)) : notAllowed("GET");
    }
    return computerScoped(w, *c, p, at + 2, r);
}

bool changeDevice(World& w, SimDevice& d, const QJsonObject& changes, std::string* error) {
    static const char* const known[] = {"load",   "charge", "temperature", "connected",
                                        "outage", "family", "model",       "failures"};
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (std::find_if(std::begin(known), std::end(known), [&](const char* k) {
                return it.key() == QLatin1String(k);
            }) == std::end(known)) {
            *error = "unknown member \"" + it.key().toStdString() + "\"";
            return false;
        }
    }
    auto number = [&](const char* key, double lo, double hi, double* out) {
        QJsonValue v = changes.value(key);
        if (v.isUndefined()) {
            return true;
        }
        if (!v.isDouble() || v.toDouble() < lo || v.toDouble() > hi) {
            *error = std::string("member \"") + key + "\" must be a number from " +
                     std::to_string(lo) + " to " + std::to_string(hi);
            return false;
        }
        *out = v.toDouble();
        return true;
    };
    double load = d.forcedLoad, charge = d.charge, temperature = d.temperature;
    if (!number("load", -1, 1.5, &load) || !number("charge", 0, 100, &charge) ||
        !number("temperature", -20, 90, &temperature)) {
        return false;
    }
    const ModelInfo* model = d.model;
    if (changes.contains("family") || changes.contains("model")) {
        double family = d.model->family, modelNo = d.model->model;
        if (!number("family", 0, 1000, &family) || !number("model", 0, 1000, &modelNo)) {
            return false;
        }
        model = findModel(static_cast<int>(family), static_cast<int>(modelNo));
        if (!model) {
            *error = "unknown family and model";
            return false;
        }
    }
    bool connected = d.connected, outage = d.manualOutage;
    if ((changes.contains("connected") && !flagValue(changes.value("connected"), &connected)) ||
        (changes.contains("outage") && !flagValue(changes.value("outage"), &outage))) {
        *error = "\"connected\" and \"outage\" must be numbers or booleans";
        return false;
    }
    std::uint32_t failures = d.forcedFailures;
    QJsonObject fails = changes.value("failures").toObject();
    if (changes.contains("failures") && !changes.value("failures").isObject()) {
        *error = "\"failures\" must be an object of failure flags";
        return false;
    }
    for (auto it = fails.begin(); it != fails.end(); ++it) {
        int bit = -1;
        for (int i = 0; i < 12; ++i) {
            if (it.key() == QLatin1String(kFailureNames[i])) {
                bit = i;
            }
        }
        bool on = false;
        if (bit < 0 || !flagValue(it.value(), &on)) {
            *error = "unknown failure flag or value \"" + it.key().toStdString() + "\"";
            return false;
        }
        failures = on ? (failures | (1u << bit)) : (failures & ~(1u << bit));
    }
    d.forcedLoad = load < 0 ? -1 : load;
    if (load >= 0) {
        d.load = load;
    }
    d.charge = charge;
    d.temperature = temperature;
    if (model != d.model) {
        d.model = model;
        d.name = model->name;
    }
    d.connected = connected;
    d.forcedFailures = failures;
    w.setOutage(d, outage);  // also re-derives the readings
    return true;
}

}  // namespace sim
}  // namespace custovia
