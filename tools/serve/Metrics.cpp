#include "serve/Metrics.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "common/UnitState.h"

namespace custovia {
namespace serve {

namespace {

using Labels = std::vector<std::pair<std::string, std::string>>;

struct Family {
    std::string help;
    std::string type;
    std::string samples;
};

// Families in the order they are first declared, each with its samples.
class Exposition {
public:
    void declare(const std::string& name, const char* type, const char* help) {
        if (!index_.count(name)) {
            index_[name] = families_.size();
            families_.push_back({name, Family{help, type, std::string()}});
        }
    }
    void sample(const std::string& name, const Labels& labels, double value) {
        sample(name, labelText(labels), value);
    }
    // `labels`: the escaped label pairs without braces, as labelText() makes them.
    void sample(const std::string& name, const std::string& labels, double value) {
        std::string& out = families_[index_.at(name)].second.samples;
        out += name;
        if (!labels.empty()) {
            out += '{';
            out += labels;
            out += '}';
        }
        out += ' ';
        out += number(value);
        out += '\n';
    }
    static std::string labelText(const Labels& labels) {
        std::string out;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            out += (i ? "," : "") + labels[i].first + "=\"" + escapeLabel(labels[i].second) + "\"";
        }
        return out;
    }
    std::string text() const {
        std::string out;
        for (const auto& f : families_) {
            if (f.second.samples.empty()) {
                continue;
            }
            out += "# HELP " + f.first + " " + f.second.help + "\n";
            out += "# TYPE " + f.first + " " + f.second.type + "\n";
            out += f.second.samples;
        }
        return out;
    }

private:
    static std::string number(double v) {
        if (std::isnan(v)) {
            return "NaN";
        }
        char buf[64];
        if (std::fabs(v) < 1e15 && v == std::floor(v)) {
            std::snprintf(buf, sizeof(buf), "%.0f", v);
        } else {
            std::snprintf(buf, sizeof(buf), "%.6g", v);
        }
        return buf;
    }
    std::map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, Family>> families_;
};

// Readings are single precision: three decimals keep them as the unit reports.
double r3(double v) {
    return std::round(v * 1000) / 1000;
}

void declareAll(Exposition& e) {
    e.declare("custovia_host_up", "gauge", "1 while the monitoring service answers, else 0.");
    e.declare("custovia_host_last_success_age_seconds", "gauge",
              "Seconds since the last refresh cycle that reached the service.");
    e.declare("custovia_host_cycle_duration_seconds", "gauge",
              "Duration of the last refresh cycle.");
    e.declare("custovia_host_consecutive_failures", "gauge",
              "Failed refresh cycles since the last good one.");
    e.declare("custovia_host_cycles_total", "counter", "Refresh cycles run.");
    e.declare("custovia_host_requests_total", "counter", "Requests sent to the service.");
    e.declare("custovia_device_info", "gauge",
              "Always 1; the unit's model, firmware and names as labels.");
    e.declare("custovia_device_connected", "gauge", "1 while the service talks to the unit.");
    e.declare("custovia_battery_charge_ratio", "gauge", "Battery charge, 0 to 1.");
    e.declare("custovia_battery_voltage_volts", "gauge", "Battery voltage.");
    e.declare("custovia_input_voltage_volts", "gauge", "Input (mains) voltage.");
    e.declare("custovia_output_voltage_volts", "gauge", "Output voltage.");
    e.declare("custovia_output_frequency_hertz", "gauge", "Output frequency.");
    e.declare("custovia_output_current_amperes", "gauge", "Output current.");
    e.declare("custovia_output_power_watts", "gauge", "Output power.");
    e.declare("custovia_output_load_ratio", "gauge", "Output power over nominal power.");
    e.declare("custovia_temperature_celsius", "gauge", "Temperature of the unit.");
    e.declare("custovia_reading_age_seconds", "gauge", "Age of the unit's last reading.");
    e.declare("custovia_countdown_seconds", "gauge",
              "Remaining seconds of the running shutdown countdown, by cause.");
    e.declare("custovia_status_flag", "gauge", "1 while the status flag is set.");
    e.declare("custovia_failure", "gauge", "1 while the failure is present.");
}

void hostSamples(Exposition& e, const tools::HostView& h, int64_t now) {
    Labels l{{"host", h.key}, {"url", h.url}};
    e.sample("custovia_host_up", l, hostUp(h, now) ? 1 : 0);
    if (!h.hasHealth) {
        return;
    }
    Labels k{{"host", h.key}};
    const CustoviaHostHealth& hh = h.health;
    if (hh.lastSuccessMs > 0) {
        e.sample("custovia_host_last_success_age_seconds", k,
                 std::max<int64_t>(0, now - hh.lastSuccessMs) / 1000.0);
    }
    e.sample("custovia_host_cycle_duration_seconds", k, hh.lastCycleMs / 1000.0);
    e.sample("custovia_host_consecutive_failures", k, hh.consecutiveFailures);
    e.sample("custovia_host_cycles_total", k, static_cast<double>(hh.cycles));
    e.sample("custovia_host_requests_total", k, static_cast<double>(hh.requests));
}

void deviceSamples(Exposition& e, const std::string& host, const tools::ComputerView& c,
                   const tools::DeviceView& dv, int64_t now) {
    const auto& d = dv.device;
    const auto& v = d.vars;
    Labels unit{{"host", host}, {"computer", c.id}, {"device", d.id}};
    Labels info = unit;
    info.push_back({"name", d.name});
    info.push_back({"model", dv.modelName});
    info.push_back({"firmware", d.version});
    info.push_back({"user_name", d.userName});
    info.push_back({"user_prod", d.userProd});
    e.sample("custovia_device_info", info, 1);
    // The unit's labels, escaped once for all its series.
    const std::string l = Exposition::labelText(unit);
    e.sample("custovia_device_connected", l, d.status.connected ? 1 : 0);
    e.sample("custovia_battery_charge_ratio", l, r3(v.cBattery / 100.0));
    e.sample("custovia_battery_voltage_volts", l, r3(v.vBattery));
    e.sample("custovia_input_voltage_volts", l, r3(v.vInput));
    e.sample("custovia_output_voltage_volts", l, r3(v.vOutput));
    e.sample("custovia_output_frequency_hertz", l, r3(v.fOutput));
    e.sample("custovia_output_current_amperes", l, r3(v.iOutput));
    e.sample("custovia_output_power_watts", l, r3(v.pOutput));
    double load = tools::loadPercent(v);
    if (load >= 0) {
        e.sample("custovia_output_load_ratio", l, r3(load / 100.0));
    }
    e.sample("custovia_temperature_celsius", l, r3(v.temperature));
    if (d.last > 0) {
        e.sample("custovia_reading_age_seconds", l, std::max<int64_t>(0, now - d.last) / 1000.0);
    }
    if (dv.hasCountdown && dv.countdown.value() >= 0) {
        e.sample("custovia_countdown_seconds",
                 l + ",cause=\"" + escapeLabel(dv.countdown.causeName()) + "\"",
                 dv.countdown.value() / 1000.0);
    }
    // Flag names are identifiers: nothing in them to escape.
    for (const auto& f : tools::statusFlags(d.status)) {
        e.sample("custovia_status_flag", l + ",flag=\"" + f.first + "\"", f.second ? 1 : 0);
    }
    for (const auto& f : tools::failureFlags(d.failures)) {
        e.sample("custovia_failure", l + ",flag=\"" + f.first + "\"", f.second ? 1 : 0);
    }
}

}  // namespace

std::string escapeLabel(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        if (ch == '\\') {
            out += "\\\\";
        } else if (ch == '"') {
            out += "\\\"";
        } else if (ch == '\n') {
            out += "\\n";
        } else {
            out += ch;
        }
    }
    return out;
}

bool hostUp(const tools::HostView& host, int64_t nowMs) {
    tools::HostState state = tools::hostState(host, nowMs);
    return state == tools::HostState::Fresh || state == tools::HostState::Stale;
}

std::string metricsText(const tools::Snapshot& snapshot) {
    Exposition e;
    declareAll(e);
    for (const auto& h : snapshot.hosts) {
        hostSamples(e, h, snapshot.timeMs);
    }
    for (const auto& h : snapshot.hosts) {
        // The cache of a host that stopped answering still holds its last
        // readings; they are not exported as if they were current.
        if (!hostUp(h, snapshot.timeMs)) {
            continue;
        }
        for (const auto& c : h.computers) {
            for (const auto& d : c.devices) {
                deviceSamples(e, h.key, c, d, snapshot.timeMs);
            }
        }
    }
    return e.text();
}

}  // namespace serve
}  // namespace custovia
