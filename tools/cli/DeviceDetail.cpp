#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/Terminal.h"
#include "cli/View.h"

namespace custovia {
namespace cli {

using namespace tools;

namespace {

using Flags = std::vector<std::pair<const char*, bool>>;

std::string setNames(const Flags& flags, bool words) {
    std::string text;
    for (const auto& f : flags) {
        if (f.second) {
            text += (text.empty() ? "" : ", ") + std::string(words ? flagWords(f.first) : f.first);
        }
    }
    return text.empty() ? "none" : text;
}

std::string localTime(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd hh:mm:ss").toStdString();
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

}  // namespace cli
}  // namespace custovia
