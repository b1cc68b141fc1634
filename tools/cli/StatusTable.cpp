#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/Terminal.h"
#include "cli/View.h"

namespace custovia {
namespace cli {

using namespace tools;

namespace {

std::string displayName(const custovia::Device& d) {
    return d.userName.empty() ? d.name : d.userName;
}

std::string countdownCell(const DeviceView& v) {
    if (!v.hasCountdown || v.countdown.value() < 0) {
        return "-";
    }
    return v.countdown.causeName() + " " + countdownText(v.countdown.value());
}

}  // namespace

void printStatus(std::ostream& out, const Snapshot& snapshot, bool color) {
    const auto& hosts = snapshot.hosts;
    bool manyHosts = hosts.size() > 1;
    std::vector<std::string> headers = {"COMPUTER", "ID",        "NAME",  "MODEL",  "STATE",
                                        "CHARGE",   "LOAD",      "INPUT", "OUTPUT", "BATTERY",
                                        "TEMP",     "COUNTDOWN", "AGE"};
    if (manyHosts) {
        headers.insert(headers.begin(), "HOST");
    }
    Table table(headers);
    int64_t now = snapshot.timeMs;
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
    // Data of a host whose refreshes fail are shown, and marked as old.
    for (const auto& h : hosts) {
        HostState state = hostState(h, now);
        if (state == HostState::Stale || (state == HostState::Unreachable && h.ready)) {
            out << paint(h.key + ": " + hostStateWords(state), sgr::kRed, color) << " - "
                << hostStateReason(h, now) << "; the values above may be out of date\n";
        }
    }
}

}  // namespace cli
}  // namespace custovia
