#include "serve/Api.h"

#include <QJsonArray>

#include <memory>

#include "common/SnapshotJson.h"
#include "common/Status.h"
#include "serve/Metrics.h"
#include "serve/Token.h"

namespace custovia {
namespace serve {

namespace {

const char kJson[] = "application/json";

// A scrape that starts while another is being sent takes that one's snapshot
// when it is at most this old (the hosts refresh every 3 s).
constexpr int64_t kSharedSnapshotMs = 1000;

void sendJson(httplib::Response& res, int status, const QJsonObject& body) {
    res.status = status;
    res.set_content(tools::jsonText(body), kJson);
}

void sendError(httplib::Response& res, int status, const std::string& message) {
    QJsonObject o;
    o["error"] = QString::fromStdString(message);
    o["status"] = status;
    sendJson(res, status, o);
}

struct Found {
    const tools::HostView* host = nullptr;
    const tools::ComputerView* computer = nullptr;
    const tools::DeviceView* device = nullptr;
    int matches = 0;
};

// The unit `id` in the snapshot, narrowed by the optional ?host= and
// ?computer= of the request.
Found findDevice(const tools::Snapshot& s, const std::string& id, const httplib::Request& req) {
    Found f;
    std::string host = req.get_param_value("host");
    std::string computer = req.get_param_value("computer");
    for (const auto& h : s.hosts) {
        if (!host.empty() && h.key != host) {
            continue;
        }
        for (const auto& c : h.computers) {
            if (!computer.empty() && c.id != computer) {
                continue;
            }
            for (const auto& d : c.devices) {
                if (d.device.id == id) {
                    if (f.matches++ == 0) {
                        f.host = &h;
                        f.computer = &c;
                        f.device = &d;
                    }
                }
            }
        }
    }
    return f;
}

// 404, 409 or 400 for a device that cannot be told; true when found once.
bool lookUp(const Found& f, const std::string& id, httplib::Response& res) {
    if (!validDeviceId(id)) {
        sendError(res, 400, "invalid device id");
    } else if (f.matches == 0) {
        sendError(res, 404, "no device " + id);
    } else if (f.matches > 1) {
        sendError(res, 409, "device " + id + " is known to several hosts: add ?host=");
    } else {
        return true;
    }
    return false;
}

int httpStatusOf(int32_t status) {
    switch (status) {
        case 1:
            return 200;
        case -202:
            return 400;
        case -314:
            return 504;
        case -320:
        case -3200:
        case -302:
            return 502;
        default:
            return 500;
    }
}

// 200 while the program runs; the hosts' summary in the body.
void healthz(Gateway& gateway, httplib::Response& res) {
    tools::Snapshot s = gateway.snapshot();
    QJsonArray hosts;
    int up = 0;
    for (const auto& h : s.hosts) {
        QJsonObject o;
        o["host"] = QString::fromStdString(h.key);
        o["url"] = QString::fromStdString(h.url);
        o["up"] = hostUp(h, s.timeMs);
        o["hostState"] = tools::hostStateToken(tools::hostState(h, s.timeMs));
        o["reason"] = QString::fromStdString(tools::hostStateReason(h, s.timeMs));
        up += hostUp(h, s.timeMs) ? 1 : 0;
        hosts.append(o);
    }
    QJsonObject o;
    o["status"] = "ok";
    o["hostsUp"] = up;
    o["hostsDown"] = hosts.size() - up;
    o["refreshSeconds"] = gateway.refreshSeconds();
    o["lastEvent"] = static_cast<double>(gateway.events().last());
    o["hosts"] = hosts;
    sendJson(res, 200, o);
}

}  // namespace

bool validDeviceId(const std::string& id) {
    if (id.empty() || id.size() > 64) {
        return false;
    }
    for (unsigned char c : id) {
        if (!std::isalnum(c) && c != '.' && c != '_' && c != ':' && c != '-') {
            return false;
        }
    }
    return true;
}

void addApiRoutes(httplib::Server& server, Gateway& gateway, const Options& options) {
    server.Get("/healthz",
               [&](const httplib::Request&, httplib::Response& res) { healthz(gateway, res); });
    server.Get("/metrics", [&](const httplib::Request&, httplib::Response& res) {
        // Sent in parts while it is written: a scrape holds one part, never
        // the whole text of thousands of units, and scrapes that overlap
        // (a Prometheus and a person) share one snapshot.
        struct Scrape {
            std::unique_ptr<MetricsWriter> writer;
            std::string part;
        };
        auto scrape = std::make_shared<Scrape>();
        scrape->writer = std::make_unique<MetricsWriter>(gateway.sharedSnapshot(kSharedSnapshotMs));
        res.set_chunked_content_provider("text/plain; version=0.0.4",
                                         [scrape](std::size_t, httplib::DataSink& sink) {
                                             Scrape& s = *scrape;
                                             s.part.clear();
                                             if (s.writer && s.writer->next(s.part)) {
                                                 return sink.write(s.part.data(), s.part.size());
                                             }
                                             if (s.writer) {
                                                 sink.done();
                                                 // The client has it all: the snapshot goes.
                                                 s.writer.reset();
                                                 std::string().swap(s.part);
                                             }
                                             return true;
                                         });
    });
    server.Get("/api/v1/hosts", [&](const httplib::Request&, httplib::Response& res) {
        sendJson(res, 200, tools::hostsJson(gateway.snapshot()));
    });
    server.Get("/api/v1/devices", [&](const httplib::Request&, httplib::Response& res) {
        sendJson(res, 200, tools::devicesJson(gateway.snapshot()));
    });
    server.Get(R"(/api/v1/devices/([^/]+))",
               [&](const httplib::Request& req, httplib::Response& res) {
                   std::string id = req.matches[1];
                   tools::Snapshot s = gateway.snapshot();
                   Found f = findDevice(s, id, req);
                   if (lookUp(f, id, res)) {
                       QJsonObject o = tools::deviceJson(*f.device, true, s.timeMs);
                       o["host"] = QString::fromStdString(f.host->key);
                       sendJson(res, 200, o);
                   }
               });
    server.Post(
        R"(/api/v1/devices/([^/]+)/([a-z-]+))",
        [&gateway, &options](const httplib::Request& req, httplib::Response& res) {
            std::string id = req.matches[1];
            DeviceCommand command;
            if (!commandFromName(req.matches[2], &command)) {
                sendError(res, 404, "no command " + std::string(req.matches[2]));
                return;
            }
            if (!options.hasTokenFile) {
                sendError(res, 403, "commands are disabled: start with --token-file");
                return;
            }
            if (!sameToken(bearerToken(req.get_header_value("Authorization")), options.token)) {
                res.set_header("WWW-Authenticate", "Bearer");
                sendError(res, 401, "missing or wrong bearer token");
                return;
            }
            tools::Snapshot s = gateway.snapshot();
            Found f = findDevice(s, id, req);
            if (!lookUp(f, id, res)) {
                return;
            }
            int32_t status = gateway.command(command, f.host->key, f.computer->id, id);
            QJsonObject o;
            o["device"] = QString::fromStdString(id);
            o["host"] = QString::fromStdString(f.host->key);
            o["command"] = commandName(command);
            o["status"] = status;
            o["result"] =
                status == 1 ? QString("ok") : QString::fromStdString(tools::statusWords(status));
            sendJson(res, httpStatusOf(status), o);
        });
}

}  // namespace serve
}  // namespace custovia
