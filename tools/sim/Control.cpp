// The control interface under /_sim: state, journal, faults, outages and
// device changes for tests, demos and fault reproduction. Each resource is one
// line of the route table; the listing at GET /_sim is made from the same table.
#include <QJsonArray>

#include <cstring>

#include "sim/Catalogue.h"
#include "sim/SimulatorImpl.h"

namespace custovia {
namespace sim {
namespace {

// One control request on its way through the table.
struct Call {
    Simulator::Impl& sim;
    Host& host;
    const httplib::Request& req;
    httplib::Response& res;
    QJsonObject body;  // the request's object, for routes that read one
    std::string id;    // the last path segment, for routes ending in /ID
};

using Handler = void (*)(Call&);

struct Route {
    const char* method;
    const char* path;   // a final "/ID" stands for one more path segment
    const char* query;  // shown after the path in the listing
    const char* help;
    bool body;   // reads a JSON object body first (400 when it is none)
    bool world;  // runs with the host's world locked and brought up to date
    Handler handler;
};

QJsonObject message() {
    QJsonObject o;
    o.insert("ok", 1);
    return o;
}

void fail(httplib::Response& res, int status, const std::string& why) {
    writeJson(res, status, errorAnswer(status, why).body);
}

void ok(Call& c) {
    writeJson(c.res, 200, message());
}

void listRoutes(Call& c);

void state(Call& c) {
    std::lock_guard<std::mutex> lock(c.host.worldMutex);
    c.host.world->sync();
    writeJson(c.res, 200, c.host.world->snapshot());
}

void journal(Call& c) {
    std::uint64_t since = 0;
    if (c.req.has_param("since")) {
        since = QString::fromStdString(c.req.get_param_value("since")).toULongLong();
    }
    QJsonArray list;
    std::lock_guard<std::mutex> lock(c.sim.journalMutex);
    for (const auto& e : c.sim.journal) {
        if (e.seq > since) {
            list.append(e.toJson());
        }
    }
    QJsonObject o;
    o.insert("entries", list);
    o.insert("last", static_cast<double>(c.sim.nextSeq - 1));
    writeJson(c.res, 200, o);
}

void clearJournal(Call& c) {
    {
        std::lock_guard<std::mutex> lock(c.sim.journalMutex);
        c.sim.journal.clear();
    }
    ok(c);
}

void faults(Call& c) {
    QJsonArray list;
    for (const auto& r : c.sim.faultRules()) {
        list.append(r.toJson());
    }
    QJsonObject o;
    o.insert("faults", list);
    writeJson(c.res, 200, o);
}

void addFault(Call& c) {
    FaultRule rule;
    std::string error;
    if (!FaultRule::fromJson(c.body, &rule, &error)) {
        return fail(c.res, 400, error);
    }
    int id = c.sim.addFault(rule, &error);
    if (id < 0) {
        return fail(c.res, 400, error);
    }
    QJsonObject o = message();
    o.insert("id", id);
    writeJson(c.res, 200, o);
}

void clearFaults(Call& c) {
    c.sim.clearFaults();
    ok(c);
}

void removeFault(Call& c) {
    if (!c.sim.removeFault(QString::fromStdString(c.id).toInt())) {
        return fail(c.res, 404, "unknown fault rule");
    }
    ok(c);
}

void release(Call& c) {
    QJsonObject o = message();
    o.insert("released", c.sim.release());
    writeJson(c.res, 200, o);
}

void outage(Call& c) {
    QJsonValue onValue = c.body.value("on");
    if (!onValue.isBool() && !onValue.isDouble()) {
        return fail(c.res, 400, "\"on\" must be 1, 0, true or false");
    }
    bool on = onValue.toBool() || onValue.toDouble() != 0;
    std::string device = c.body.value("device").toString().toStdString();
    QJsonArray changed;
    World& w = *c.host.world;
    for (SimComputer* computer : w.computers()) {
        for (auto& [id, d] : computer->devices) {
            if (device.empty() || id == device) {
                w.setOutage(d, on);
                changed.append(QString::fromStdString(id));
            }
        }
    }
    if (!device.empty() && changed.isEmpty()) {
        return fail(c.res, 404, "unknown device");
    }
    QJsonObject o = message();
    o.insert("devices", changed);
    writeJson(c.res, 200, o);
}

void advance(Call& c) {
    QJsonValue value = c.body.value("seconds");
    double seconds = value.toDouble();
    if (!value.isDouble() || seconds < 0 || seconds > 86400 * 31) {
        return fail(c.res, 400, "\"seconds\" must be a number from 0 to 2678400");
    }
    World& w = *c.host.world;
    w.advance(static_cast<int>(seconds));
    QJsonObject o = message();
    o.insert("timeMs", static_cast<double>(w.nowMs()));
    writeJson(c.res, 200, o);
}

void addDevices(Call& c) {
    World& w = *c.host.world;
    double count = c.body.value("count").toDouble(1);
    SimComputer* computer = w.computer(c.body.value("computer").toString().toStdString());
    if (!computer) {
        return fail(c.res, 404, "unknown computer");
    }
    if (count < 1 || count > 1000) {
        return fail(c.res, 400, "\"count\" must be from 1 to 1000");
    }
    QJsonArray ids;
    for (const auto& id : w.addDevices(*computer, static_cast<int>(count))) {
        ids.append(QString::fromStdString(id));
    }
    QJsonObject o = message();
    o.insert("ids", ids);
    writeJson(c.res, 200, o);
}

void changeDevice(Call& c) {
    World& w = *c.host.world;
    SimDevice* d = w.findDevice(c.id);
    if (!d) {
        return fail(c.res, 404, "unknown device");
    }
    std::string error;
    if (!sim::changeDevice(w, *d, c.body, &error)) {
        return fail(c.res, 400, error);
    }
    writeJson(c.res, 200, w.deviceJson(*d));
}

// clang-format off
const Route kRoutes[] = {
    {"GET",    "/_sim",           "",         "this list", false, false, listRoutes},
    {"GET",    "/_sim/state",     "",         "the whole simulated world of this address", false, false, state},
    {"GET",    "/_sim/journal",   "?since=N", "received requests with seq > N: {entries, last}", false, false, journal},
    {"DELETE", "/_sim/journal",   "",         "forget the journal", false, false, clearJournal},
    {"GET",    "/_sim/faults",    "",         "fault rules: {faults}", false, false, faults},
    {"POST",   "/_sim/faults",    "",         "add {kind, prefix|regex, method, status, delayMs, count, host} -> {id}", true, false, addFault},
    {"DELETE", "/_sim/faults",    "",         "remove every rule and release hanging requests", false, false, clearFaults},
    {"DELETE", "/_sim/faults/ID", "",         "remove one rule", false, false, removeFault},
    {"POST",   "/_sim/release",   "",         "hanging requests go on and are answered", false, false, release},
    {"POST",   "/_sim/outage",    "",         "{on: 1|0, device?} mains lost or back", true, true, outage},
    {"POST",   "/_sim/advance",   "",         "{seconds} move simulated time forward", true, true, advance},
    {"POST",   "/_sim/devices",   "",         "{count, computer?} add devices -> {ids}", true, true, addDevices},
    {"POST",   "/_sim/device/ID", "",         "change a device: {load, charge, temperature, connected, outage, family, model, failures: {name: 1|0}}; load -1 drifts again", true, true, changeDevice},
};
// clang-format on

void listRoutes(Call& c) {
    QJsonArray list;
    for (const Route& r : kRoutes) {
        std::string method = r.method, path = std::string(r.path) + r.query;
        method.resize(std::max<std::size_t>(method.size(), 6), ' ');
        path.resize(std::max<std::size_t>(path.size(), 22), ' ');
        list.append(QString::fromStdString(method + " " + path + " " + r.help));
    }
    QJsonObject o;
    o.insert("endpoints", list);
    writeJson(c.res, 200, o);
}

// Whether `path` is the route's path; sets `id` for a route ending in /ID.
bool pathMatches(const Route& r, const std::string& path, std::string* id) {
    std::size_t n = std::strlen(r.path);
    if (n > 3 && std::strcmp(r.path + n - 3, "/ID") == 0) {
        std::size_t stem = n - 2;  // keeps the slash
        if (path.size() > stem && path.compare(0, stem, r.path, stem) == 0) {
            *id = path.substr(stem);
            return true;
        }
        return false;
    }
    return path == r.path;
}

}  // namespace

void Simulator::Impl::control(int hostIndex, const httplib::Request& req, httplib::Response& res) {
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
    const Route* route = nullptr;
    bool pathKnown = false;
    std::string id;
    for (const Route& r : kRoutes) {
        if (pathMatches(r, path, &id)) {
            pathKnown = true;
            if (req.method == r.method) {
                route = &r;
                break;
            }
        }
    }
    if (!route) {
        return pathKnown ? fail(res, 405, "method not allowed")
                         : fail(res, 404, "no such control request");
    }
    Call call{*this, host(hostIndex), req, res, QJsonObject(), id};
    std::string error;
    if (route->body && !parseObject(req.body, &call.body, &error)) {
        return fail(res, 400, error);
    }
    if (!route->world) {
        return route->handler(call);
    }
    std::lock_guard<std::mutex> lock(call.host.worldMutex);
    call.host.world->sync();
    route->handler(call);
}

}  // namespace sim
}  // namespace custovia
