// The control interface under /_sim: state, journal, faults, outages and
// device changes for tests, demos and fault reproduction.
#include "sim/Catalogue.h"
#include "sim/SimulatorImpl.h"

#include <QJsonArray>

namespace custovia {
namespace sim {
namespace {

const char* const kHelp[] = {
    "GET    /_sim                  this list",
    "GET    /_sim/state            the whole simulated world of this address",
    "GET    /_sim/journal?since=N  received requests with seq > N: {entries, last}",
    "DELETE /_sim/journal          forget the journal",
    "GET    /_sim/faults           fault rules: {faults}",
    "POST   /_sim/faults           add {kind, prefix|regex, method, status, delayMs, count, host}"
    " -> {id}",
    "DELETE /_sim/faults           remove every rule and release hanging requests",
    "DELETE /_sim/faults/ID        remove one rule",
    "POST   /_sim/release          hanging requests go on and are answered",
    "POST   /_sim/outage           {on: 1|0, device?} mains lost or back",
    "POST   /_sim/advance          {seconds} move simulated time forward",
    "POST   /_sim/devices          {count, computer?} add devices -> {ids}",
    "POST   /_sim/device/ID        change a device: {load, charge, temperature, connected,"
    " outage, family, model, failures: {name: 1|0}}; load -1 drifts again",
};

QJsonObject message(const std::string& text) {
    QJsonObject o;
    o.insert("ok", 1);
    if (!text.empty()) {
        o.insert("message", QString::fromStdString(text));
    }
    return o;
}

void fail(httplib::Response& res, int status, const std::string& why) {
    writeJson(res, status, errorAnswer(status, why).body);
}

}  // namespace

void Simulator::Impl::control(int hostIndex, const httplib::Request& req, httplib::Response& res) {
    const std::string& m = req.method;
    std::string path = req.path;
    while (path.size() > 5 && path.back() == '/') {
        path.pop_back();
    }
    if (req.has_param("host")) {
        bool good = false;
        int h = QString::fromStdString(req.get_param_value("host")).toInt(&good);
        if (!good || h < 0 || h >= static_cast<int>(hosts.size())) {
            return fail(res, 404, "unknown host");
        }
        hostIndex = h;
    }
    QJsonObject body;
    std::string error;
    bool needsBody = m == "POST" && path != "/_sim/release";
    if (needsBody && !parseObject(req.body, &body, &error)) {
        return fail(res, 400, error);
    }
    Host& h = host(hostIndex);

    if (path == "/_sim" && m == "GET") {
        QJsonArray list;
        for (const char* line : kHelp) {
            list.append(line);
        }
        QJsonObject o;
        o.insert("endpoints", list);
        return writeJson(res, 200, o);
    }
    if (path == "/_sim/state" && m == "GET") {
        std::lock_guard<std::mutex> lock(h.worldMutex);
        h.world->sync();
        return writeJson(res, 200, h.world->snapshot());
    }
    if (path == "/_sim/journal") {
        if (m == "DELETE") {
            std::lock_guard<std::mutex> lock(journalMutex);
            journal.clear();
            return writeJson(res, 200, message(""));
        }
        if (m != "GET") {
            return fail(res, 405, "method not allowed");
        }
        std::uint64_t since = 0;
        if (req.has_param("since")) {
            since = QString::fromStdString(req.get_param_value("since")).toULongLong();
        }
        QJsonArray list;
        std::lock_guard<std::mutex> lock(journalMutex);
        for (const auto& e : journal) {
            if (e.seq > since) {
                list.append(e.toJson());
            }
        }
        QJsonObject o;
        o.insert("entries", list);
        o.insert("last", static_cast<double>(nextSeq - 1));
        return writeJson(res, 200, o);
    }
    if (path == "/_sim/faults" || path.compare(0, 13, "/_sim/faults/") == 0) {
        if (path != "/_sim/faults") {
            if (m != "DELETE") {
                return fail(res, 405, "method not allowed");
            }
            int id = QString::fromStdString(path.substr(13)).toInt();
            std::lock_guard<std::mutex> lock(faultMutex);
            for (auto it = faults.begin(); it != faults.end(); ++it) {
                if (it->id == id) {
                    faults.erase(it);
                    return writeJson(res, 200, message(""));
                }
            }
            return fail(res, 404, "unknown fault rule");
        }
        if (m == "GET") {
            QJsonArray list;
            std::lock_guard<std::mutex> lock(faultMutex);
            for (const auto& r : faults) {
                list.append(r.toJson());
            }
            QJsonObject o;
            o.insert("faults", list);
            return writeJson(res, 200, o);
        }
        if (m == "DELETE") {
            clearFaults();
            return writeJson(res, 200, message(""));
        }
        if (m != "POST") {
            return fail(res, 405, "method not allowed");
        }
        FaultRule rule;
        if (!FaultRule::fromJson(body, &rule, &error)) {
            return fail(res, 400, error);
        }
        int id = addFault(rule, &error);
        if (id < 0) {
            return fail(res, 400, error);
        }
        QJsonObject o = message("");
        o.insert("id", id);
        return writeJson(res, 200, o);
    }
    if (m != "POST") {
        return fail(res, path == "/_sim" ? 405 : 404, "no such control request");
    }
    if (path == "/_sim/release") {
        int released = 0;
        {
            std::lock_guard<std::mutex> lock(faultMutex);
            released = hanging;
        }
        release();
        QJsonObject o = message("");
        o.insert("released", released);
        return writeJson(res, 200, o);
    }

    std::lock_guard<std::mutex> lock(h.worldMutex);
    World& w = *h.world;
    w.sync();
    if (path == "/_sim/outage") {
        QJsonValue onValue = body.value("on");
        if (!onValue.isBool() && !onValue.isDouble()) {
            return fail(res, 400, "\"on\" must be 1, 0, true or false");
        }
        bool on = onValue.toBool() || onValue.toDouble() != 0;
        std::string device = body.value("device").toString().toStdString();
        QJsonArray changed;
        for (SimComputer* c : w.computers()) {
            for (auto& [id, d] : c->devices) {
                if (device.empty() || id == device) {
                    w.setOutage(d, on);
                    changed.append(QString::fromStdString(id));
                }
            }
        }
        if (!device.empty() && changed.isEmpty()) {
            return fail(res, 404, "unknown device");
        }
        QJsonObject o = message("");
        o.insert("devices", changed);
        return writeJson(res, 200, o);
    }
    if (path == "/_sim/advance") {
        double seconds = body.value("seconds").toDouble();
        if (!body.value("seconds").isDouble() || seconds < 0 || seconds > 86400 * 31) {
            return fail(res, 400, "\"seconds\" must be a number from 0 to 2678400");
        }
        w.advance(static_cast<int>(seconds));
        QJsonObject o = message("");
        o.insert("timeMs", static_cast<double>(w.nowMs()));
        return writeJson(res, 200, o);
    }
    if (path == "/_sim/devices") {
        double count = body.value("count").toDouble(1);
        SimComputer* c = w.computer(body.value("computer").toString().toStdString());
        if (!c) {
            return fail(res, 404, "unknown computer");
        }
        if (count < 1 || count > 1000) {
            return fail(res, 400, "\"count\" must be from 1 to 1000");
        }
        QJsonArray ids;
        for (const auto& id : w.addDevices(*c, static_cast<int>(count))) {
            ids.append(QString::fromStdString(id));
        }
        QJsonObject o = message("");
        o.insert("ids", ids);
        return writeJson(res, 200, o);
    }
    if (path.compare(0, 13, "/_sim/device/") == 0) {
        SimDevice* d = w.findDevice(path.substr(13));
        if (!d) {
            return fail(res, 404, "unknown device");
        }
        if (!sim::changeDevice(w, *d, body, &error)) {
            return fail(res, 400, error);
        }
        return writeJson(res, 200, w.deviceJson(*d));
    }
    fail(res, 404, "no such control request");
}

}  // namespace sim
}  // namespace custovia
