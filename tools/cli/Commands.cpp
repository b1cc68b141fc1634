#include "cli/Commands.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <iostream>
#include <ostream>
#include <thread>

#include "cli/Console.h"
#include "cli/View.h"

namespace custovia {
namespace cli {

using namespace tools;

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
    stopRequested = true;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool colorOut(const Session& session) {
    return colorWanted(session.options().color, kStdout);
}

// Sends one device command and reports it. `done` is the sentence shown on
// success, `refused` what the service refused, `token` the command's JSON name.
int deviceCall(
    Session& session, const std::string& id, const std::string& done, const std::string& refused,
    const char* token, std::ostream& out,
    const std::function<int32_t(CustoviaHandle, const char*, const char*, const char*)>& call) {
    session.open(false);
    Host& host = session.hostForDevice(id);
    int32_t status = call(session.handle(), host.key.c_str(), session.computer(), id.c_str());
    if (status < 0) {
        // The library reports every refused command as "not found"; the device
        // is known here, so the service refused what was asked.
        if (status == -302) {
            throw Failure("rejected: the service refused to " + refused + " device " + id + " on " +
                          host.key + " (status -302)");
        }
        throw Failure(statusMessage(status, refused + " device " + id + " on " + host.key));
    }
    if (session.options().json) {
        QJsonObject o;
        o["ok"] = true;
        o["command"] = token;
        o["device"] = QString::fromStdString(id);
        o["host"] = QString::fromStdString(host.key);
        out << jsonText(o);
    } else {
        out << done << " (device " << id << " on " << host.key << ")\n";
    }
    return kExitOk;
}

}  // namespace

int runStatus(Session& session, std::ostream& out) {
    session.open(false);
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

    session.open(false, false, true);
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
    session.open(false);
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
    session.open(false);
    Snapshot views = snapshot(session);
    if (session.options().json) {
        out << jsonText(hostsJson(views));
    }
    Table table({"HOST", "URL", "STATE", "SERVICE", "API", "OS", "COMPUTERS", "DEVICES"});
    int code = kExitOk;
    for (const HostView& h : views.hosts) {
        bool ready = h.ready && h.hasOwn;
        if (!ready) {
            code = kExitFailed;
        }
        auto dash = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
        table.add({Cell(h.key), Cell(h.url),
                   ready ? Cell("Connected", sgr::kGreen) : Cell("No answer", sgr::kRed),
                   Cell(dash(h.own.monVersion)), Cell(dash(h.own.apiVersion)),
                   Cell(dash(h.own.osVersion)),
                   Cell(ready ? std::to_string(h.computerCount) : "-", nullptr, true),
                   Cell(ready ? std::to_string(h.deviceCount) : "-", nullptr, true)});
    }
    if (!session.options().json) {
        table.print(out, colorOut(session));
    }
    return code;
}

int runModel(Session& session, int32_t family, int32_t model, std::ostream& out) {
    session.open(false);
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

int runCommand(Session& session, Command command, const std::string& id, std::ostream& out) {
    switch (command) {
        case Command::ShutdownStart:
            return deviceCall(session, id, "Shutdown countdown started", "start a shutdown on",
                              "shutdownStart", out, manualDevShutdown);
        case Command::ShutdownCancel:
            return deviceCall(session, id, "Shutdown cancelled", "cancel the shutdown of",
                              "shutdownCancel", out, cancelDevShutdown);
        case Command::Discharge:
            return deviceCall(session, id, "Battery discharge started",
                              "start a battery discharge on", "discharge", out, manualDevDischarge);
        case Command::MailTestStart:
            return deviceCall(session, id, "Test mail requested", "send a test mail for",
                              "mailTestStart", out, manualDevMailTest);
        case Command::MailTestCancel:
            return deviceCall(session, id, "Test mail cancelled", "cancel the test mail of",
                              "mailTestCancel", out, cancelDevMailTest);
        case Command::Delete:
            break;
    }
    return deviceCall(session, id, "Device deleted", "delete", "delete", out, deleteDevice);
}

int runUser(Session& session, const std::string& id, const std::string* userName,
            const std::string* userProd, std::ostream& out) {
    session.open(false);
    Host& host = session.hostForDevice(id);
    // The service takes both texts at once: a text not given keeps its value.
    custovia::Device current;
    if (userName == nullptr || userProd == nullptr) {
        session.check(
            getDevice(session.handle(), host.key.c_str(), session.computer(), id.c_str(), &current),
            "device \"" + id + "\" on " + host.key);
    }
    std::string name = userName ? *userName : current.userName;
    std::string prod = userProd ? *userProd : current.userProd;
    return deviceCall(session, id, "User texts changed", "change the user texts of", "user", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return changeUserDevice(h, k, c, d, name.c_str(), prod.c_str());
                      });
}

int runColor(Session& session, const std::string& id, const std::string& color, std::ostream& out) {
    Rgb rgb = parseColor(color);
    return deviceCall(session, id, "LED colour changed", "change the LED colour of", "color", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return changeColorDevice(h, k, c, d, rgb.red, rgb.green, rgb.blue,
                                                   rgb.random);
                      });
}

int runLineSense(Session& session, const std::string& id, const std::string& value,
                 std::ostream& out) {
    int32_t level = parseLineSense(value);
    return deviceCall(session, id, "Line sensitivity set to " + std::to_string(level),
                      "change the line sensitivity of", "lineSense", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return deviceSetLineSense(h, k, c, d, level);
                      });
}

int runChargerCurrent(Session& session, const std::string& id, int32_t value, std::ostream& out) {
    return deviceCall(session, id, "Charger current set to " + std::to_string(value),
                      "change the charger current of", "chargerCurrent", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return deviceSetICBattery(h, k, c, d, value);
                      });
}

Rgb parseColor(const std::string& text) {
    Rgb rgb;
    std::string t = lower(text);
    auto bad = [&]() {
        return Failure("invalid colour \"" + text +
                           "\": expected #rrggbb, red,green,blue (0-255 each) or random",
                       kExitUsage);
    };
    if (t == "random") {
        rgb.random = true;
        return rgb;
    }
    if (t.size() == 7 && t[0] == '#' &&
        std::all_of(t.begin() + 1, t.end(), [](unsigned char c) { return std::isxdigit(c); })) {
        unsigned long v = std::stoul(t.substr(1), nullptr, 16);
        rgb.red = static_cast<int32_t>(v >> 16 & 0xff);
        rgb.green = static_cast<int32_t>(v >> 8 & 0xff);
        rgb.blue = static_cast<int32_t>(v & 0xff);
        return rgb;
    }
    int32_t parts[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t end = i < 2 ? t.find(',', at) : t.size();
        if (end == std::string::npos) {
            throw bad();
        }
        std::string part = t.substr(at, end - at);
        if (!isNumber(part) || std::stoi(part) > 255) {
            throw bad();
        }
        parts[i] = std::stoi(part);
        at = end + 1;
    }
    rgb.red = parts[0];
    rgb.green = parts[1];
    rgb.blue = parts[2];
    return rgb;
}

int32_t parseLineSense(const std::string& text) {
    static const char* const words[] = {"very-low", "low", "normal", "high", "very-high"};
    std::string t = lower(text);
    for (int32_t i = 0; i < 5; ++i) {
        if (t == words[i] || t == std::to_string(i)) {
            return i;
        }
    }
    throw Failure("invalid line sensitivity \"" + text +
                      "\": expected 0 to 4, or very-low, low, normal, high, very-high",
                  kExitUsage);
}

}  // namespace cli
}  // namespace custovia
