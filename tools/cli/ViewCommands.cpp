// The subcommands that show: status, watch, device, hosts, model.
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <iostream>
#include <ostream>
#include <thread>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Events.h"
#include "cli/View.h"

namespace custovia {
namespace cli {

using namespace tools;

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
    stopRequested = true;
}

bool colorOut(const Session& session) {
    return colorWanted(session.options().color, kStdout);
}

}  // namespace

int runStatus(Session& session, std::ostream& out) {
    session.open();
    Snapshot views = snapshot(session);
    const std::string& selected = session.options().computer;
    bool found = selected.empty();
    int code = kExitOk;
    for (const auto& h : views.hosts) {
        found = found || !h.computers.empty();
        if (!h.ready) {
            std::cerr << "custovia: no answer: no data from " << h.url << " (status " << h.status
                      << ")\n";
            code = kExitFailed;
        }
    }
    if (!found) {
        throw Failure(statusMessage(-302, "computer \"" + selected + "\""));
    }
    if (session.options().json) {
        out << jsonText(devicesJson(views));
    } else {
        printStatus(out, views, colorOut(session));
    }
    return code;
}

int runWatch(Session& session, std::ostream& out, double interval, int count) {
    onStopRequest(onStopSignal);

    session.open(OpenOptions().allowNoData());
    bool terminal = isTerminal(kStdout) && !session.options().json;
    bool color = colorOut(session);
    auto period = std::chrono::milliseconds(static_cast<int64_t>(interval * 1000));
    for (int n = 0; !stopRequested && (count <= 0 || n < count); ++n) {
        Snapshot views = snapshot(session);
        QString time = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss");
        if (session.options().json) {
            // One line per refresh, so a script can read them as they come.
            QJsonObject o = devicesJson(views);
            o["time"] = time;
            out << jsonText(o, true);
        } else {
            if (terminal) {
                out << "\033[H\033[2J";
            } else if (n > 0) {
                out << '\n';
            }
            out << paint("custovia watch", sgr::kBold, color) << "  " << time.toStdString()
                << "  every " << interval << " s" << (terminal ? ", Ctrl-C to stop" : "") << "\n\n";
            printStatus(out, views, color);
        }
        out.flush();
        if (count > 0 && n + 1 >= count) {
            break;
        }
        auto until = std::chrono::steady_clock::now() + period;
        while (!stopRequested && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    return kExitOk;
}

int runDevice(Session& session, const std::string& id, std::ostream& out) {
    session.open();
    Host& host = session.hostForDevice(id);
    DeviceView view = deviceView(session, host, id);
    if (session.options().json) {
        QJsonObject o = deviceJson(view, true, nowMs());
        o["host"] = QString::fromStdString(host.key);
        out << jsonText(o);
    } else {
        printDevice(out, view, colorOut(session));
    }
    return kExitOk;
}

int runHosts(Session& session, std::ostream& out) {
    session.open();
    Snapshot views = snapshot(session);
    if (session.options().json) {
        out << jsonText(hostsJson(views));
    }
    Table table({"HOST", "URL", "STATE", "SERVICE", "API", "OS", "COMPUTERS", "DEVICES", "HEALTH",
                 "LAST OK", "CYCLE", "FAILED", "REQUESTS"});
    int code = kExitOk;
    for (const HostView& h : views.hosts) {
        bool ready = h.ready && h.hasOwn;
        if (!ready) {
            code = kExitFailed;
        }
        auto dash = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
        HostState state = hostState(h, views.timeMs);
        const CustoviaHostHealth& x = h.health;
        std::string lastOk =
            h.hasHealth && x.lastSuccessMs > 0
                ? durationText(std::max<int64_t>(0, views.timeMs - x.lastSuccessMs))
                : std::string("-");
        table.add({Cell(h.key), Cell(h.url),
                   ready ? Cell("Connected", sgr::kGreen) : Cell("No answer", sgr::kRed),
                   Cell(dash(h.own.monVersion)), Cell(dash(h.own.apiVersion)),
                   Cell(dash(h.own.osVersion)),
                   Cell(ready ? std::to_string(h.computerCount) : "-", nullptr, true),
                   Cell(ready ? std::to_string(h.deviceCount) : "-", nullptr, true),
                   Cell(hostStateWords(state), state == HostState::Fresh ? sgr::kGreen : sgr::kRed),
                   Cell(lastOk, nullptr, true),
                   Cell(h.hasHealth ? std::to_string(x.lastCycleMs) + " ms" : "-", nullptr, true),
                   Cell(h.hasHealth ? std::to_string(x.consecutiveFailures) : "-", nullptr, true),
                   Cell(h.hasHealth ? std::to_string(x.requests) : "-", nullptr, true)});
    }
    if (!session.options().json) {
        table.print(out, colorOut(session));
    }
    return code;
}

int runModel(Session& session, int32_t family, int32_t model, std::ostream& out) {
    session.open();
    Host& host = session.singleHost();
    custovia::DeviceConfig config;
    session.check(
        getDeviceConfigByModel(session.handle(), host.key.c_str(), session.computer(), family,
                               model, &config),
        "model " + std::to_string(family) + "/" + std::to_string(model) + " on " + host.key);
    auto caps = capabilities(config.caps);
    if (session.options().json) {
        QJsonObject o;
        o["family"] = config.family;
        o["model"] = config.model;
        o["name"] = QString::fromStdString(config.name);
        QJsonArray a;
        for (const auto& c : caps) {
            if (c.second) {
                a.append(c.first);
            }
        }
        o["capabilities"] = a;
        out << jsonText(o);
        return kExitOk;
    }
    out << paint(config.name, sgr::kBold, colorOut(session)) << "  (family " << config.family
        << ", model " << config.model << ")\n";
    for (const auto& c : caps) {
        out << "  " << (c.second ? "yes" : "no ") << "  " << c.first << '\n';
    }
    return kExitOk;
}

}  // namespace cli
}  // namespace custovia

namespace custovia {
namespace cli {

int runEvents(Session& session, const EventOptions& options, std::ostream& out) {
    onStopRequest(onStopSignal);
    session.open(OpenOptions().allowNoData());
    CustoviaHandle handle = session.handle();
    EventSource source = [handle](CustoviaEvents* events, int32_t timeoutMs) {
        return waitEvents(handle, events, timeoutMs);
    };
    int32_t status = streamEvents(source, options, out, std::cerr, stopRequested);
    session.check(status, "events");
    return kExitOk;
}

}  // namespace cli
}  // namespace custovia
