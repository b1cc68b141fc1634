#include "serve/Metrics.h"

#include <charconv>
#include <cmath>

#include "common/UnitState.h"

namespace custovia {
namespace serve {

namespace {

void appendEscaped(std::string& out, const std::string& value) {
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
}

// `name="value"`, escaped, after a comma unless it is the first label.
void appendLabel(std::string& out, const char* name, const std::string& value) {
    if (!out.empty() && out.back() != '{') {
        out += ',';
    }
    out += name;
    out += "=\"";
    appendEscaped(out, value);
    out += '"';
}

// Whole numbers below 10^15 without a fraction, others with six significant
// digits, as printf's "%.0f" and "%.6g" write them.
void appendNumber(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "NaN";
        return;
    }
    char buf[32];
    std::to_chars_result r;
    if (std::fabs(v) < 1e15 && v == std::floor(v)) {
        if (v == 0 && std::signbit(v)) {
            out += "-0";
            return;
        }
        r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
    } else {
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    }
    out.append(buf, r.ptr);
}

// Readings are single precision: three decimals keep them as the unit reports.
double r3(double v) {
    return std::round(v * 1000) / 1000;
}

// What a family's series are written from.
struct Context {
    int64_t now;
    const tools::HostView* host = nullptr;
    const std::string* labels = nullptr;  // the host's or the unit's labels
    const tools::DeviceView* device = nullptr;
};

// Writes one family's series of one host or unit: the family's HELP and TYPE
// lines before its first series.
class Family {
public:
    Family(std::string& out, const char* name, const char* type, const char* help, bool* declared)
        : out_(out), name_(name), type_(type), help_(help), declared_(declared) {}

    void sample(double value) { sample(nullptr, nullptr, value); }
    // With one more label after the host's or unit's.
    void sample(const char* label, const char* labelValue, double value) {
        start();
        out_ += '{';
        out_ += *labels_;
        if (label) {
            out_ += ',';
            out_ += label;
            out_ += "=\"";
            for (const char* p = labelValue; *p; ++p) {
                if (*p == '\\' || *p == '"') {
                    out_ += '\\';
                    out_ += *p;
                } else if (*p == '\n') {
                    out_ += "\\n";
                } else {
                    out_ += *p;
                }
            }
            out_ += '"';
        }
        out_ += "} ";
        appendNumber(out_, value);
        out_ += '\n';
    }
    // With labels of its own instead of the host's or unit's.
    void sampleWith(const std::string& labels, double value) {
        const std::string* own = labels_;
        labels_ = &labels;
        sample(value);
        labels_ = own;
    }
    void setLabels(const std::string* labels) { labels_ = labels; }

private:
    void start() {
        if (!*declared_) {
            out_ += "# HELP ";
            out_ += name_;
            out_ += ' ';
            out_ += help_;
            out_ += "\n# TYPE ";
            out_ += name_;
            out_ += ' ';
            out_ += type_;
            out_ += '\n';
            *declared_ = true;
        }
        out_ += name_;
    }

    std::string& out_;
    const char* name_;
    const char* type_;
    const char* help_;
    bool* declared_;
    const std::string* labels_ = nullptr;
};

enum class Scope { Host, Unit };

struct FamilySpec {
    const char* name;
    const char* type;
    const char* help;
    Scope scope;
    void (*write)(Family& f, const Context& c);
};

const CustoviaHostHealth* health(const Context& c) {
    return c.host->hasHealth ? &c.host->health : nullptr;
}

const custovia::DeviceVars& vars(const Context& c) {
    return c.device->device.vars;
}

// Every family in the order of the exposition; within a family the hosts,
// or the units of the hosts that are up, in the snapshot's order.
const FamilySpec kFamilies[] = {
    {"custovia_host_up", "gauge", "1 while the monitoring service answers, else 0.", Scope::Host,
     [](Family& f, const Context& c) {
         std::string labels;
         appendLabel(labels, "host", c.host->key);
         appendLabel(labels, "url", c.host->url);
         f.sampleWith(labels, hostUp(*c.host, c.now) ? 1 : 0);
     }},
    {"custovia_host_last_success_age_seconds", "gauge",
     "Seconds since the last refresh cycle that reached the service.", Scope::Host,
     [](Family& f, const Context& c) {
         const CustoviaHostHealth* h = health(c);
         if (h && h->lastSuccessMs > 0) {
             f.sample(std::max<int64_t>(0, c.now - h->lastSuccessMs) / 1000.0);
         }
     }},
    {"custovia_host_cycle_duration_seconds", "gauge", "Duration of the last refresh cycle.",
     Scope::Host,
     [](Family& f, const Context& c) {
         if (const CustoviaHostHealth* h = health(c)) {
             f.sample(h->lastCycleMs / 1000.0);
         }
     }},
    {"custovia_host_consecutive_failures", "gauge",
     "Failed refresh cycles since the last good one.", Scope::Host,
     [](Family& f, const Context& c) {
         if (const CustoviaHostHealth* h = health(c)) {
             f.sample(h->consecutiveFailures);
         }
     }},
    {"custovia_host_cycles_total", "counter", "Refresh cycles run.", Scope::Host,
     [](Family& f, const Context& c) {
         if (const CustoviaHostHealth* h = health(c)) {
             f.sample(static_cast<double>(h->cycles));
         }
     }},
    {"custovia_host_requests_total", "counter", "Requests sent to the service.", Scope::Host,
     [](Family& f, const Context& c) {
         if (const CustoviaHostHealth* h = health(c)) {
             f.sample(static_cast<double>(h->requests));
         }
     }},
    {"custovia_device_info", "gauge", "Always 1; the unit's model, firmware and names as labels.",
     Scope::Unit,
     [](Family& f, const Context& c) {
         const auto& d = c.device->device;
         std::string labels = *c.labels;
         appendLabel(labels, "name", d.name);
         appendLabel(labels, "model", c.device->modelName);
         appendLabel(labels, "firmware", d.version);
         appendLabel(labels, "user_name", d.userName);
         appendLabel(labels, "user_prod", d.userProd);
         f.sampleWith(labels, 1);
     }},
    {"custovia_device_connected", "gauge", "1 while the service talks to the unit.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(c.device->device.status.connected ? 1 : 0); }},
    {"custovia_battery_charge_ratio", "gauge", "Battery charge, 0 to 1.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).cBattery / 100.0)); }},
    {"custovia_battery_voltage_volts", "gauge", "Battery voltage.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).vBattery)); }},
    {"custovia_input_voltage_volts", "gauge", "Input (mains) voltage.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).vInput)); }},
    {"custovia_output_voltage_volts", "gauge", "Output voltage.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).vOutput)); }},
    {"custovia_output_frequency_hertz", "gauge", "Output frequency.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).fOutput)); }},
    {"custovia_output_current_amperes", "gauge", "Output current.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).iOutput)); }},
    {"custovia_output_power_watts", "gauge", "Output power.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).pOutput)); }},
    {"custovia_output_load_ratio", "gauge", "Output power over nominal power.", Scope::Unit,
     [](Family& f, const Context& c) {
         double load = tools::loadPercent(vars(c));
         if (load >= 0) {
             f.sample(r3(load / 100.0));
         }
     }},
    {"custovia_temperature_celsius", "gauge", "Temperature of the unit.", Scope::Unit,
     [](Family& f, const Context& c) { f.sample(r3(vars(c).temperature)); }},
    {"custovia_reading_age_seconds", "gauge", "Age of the unit's last reading.", Scope::Unit,
     [](Family& f, const Context& c) {
         int64_t last = c.device->device.last;
         if (last > 0) {
             f.sample(std::max<int64_t>(0, c.now - last) / 1000.0);
         }
     }},
    {"custovia_countdown_seconds", "gauge",
     "Remaining seconds of the running shutdown countdown, by cause.", Scope::Unit,
     [](Family& f, const Context& c) {
         const tools::DeviceView& d = *c.device;
         if (d.hasCountdown && d.countdown.value() >= 0) {
             f.sample("cause", d.countdown.causeName().c_str(), d.countdown.value() / 1000.0);
         }
     }},
    {"custovia_status_flag", "gauge", "1 while the status flag is set.", Scope::Unit,
     [](Family& f, const Context& c) {
         for (const auto& flag : tools::statusFlags(c.device->device.status)) {
             f.sample("flag", flag.first, flag.second ? 1 : 0);
         }
     }},
    {"custovia_failure", "gauge", "1 while the failure is present.", Scope::Unit,
     [](Family& f, const Context& c) {
         for (const auto& flag : tools::failureFlags(c.device->device.failures)) {
             f.sample("flag", flag.first, flag.second ? 1 : 0);
         }
     }},
};

constexpr std::size_t kFamilyCount = sizeof(kFamilies) / sizeof(kFamilies[0]);

}  // namespace

MetricsWriter::MetricsWriter(std::shared_ptr<const tools::Snapshot> snapshot)
    : snapshot_(std::move(snapshot)) {
    hostLabels_.reserve(snapshot_->hosts.size());
    for (const auto& h : snapshot_->hosts) {
        std::string labels;
        appendLabel(labels, "host", h.key);
        hostLabels_.push_back(std::move(labels));
        // The cache of a host that stopped answering still holds its last
        // readings; they are not exported as if they were current.
        if (!hostUp(h, snapshot_->timeMs)) {
            continue;
        }
        for (const auto& c : h.computers) {
            for (const auto& d : c.devices) {
                std::string labels = hostLabels_.back();
                appendLabel(labels, "computer", c.id);
                appendLabel(labels, "device", d.device.id);
                units_.push_back(Unit{&h, &d, std::move(labels)});
            }
        }
    }
}

bool MetricsWriter::next(std::string& out, std::size_t partSize) {
    const std::size_t begin = out.size();
    while (family_ < kFamilyCount && out.size() - begin < partSize) {
        const FamilySpec& entry = kFamilies[family_];
        std::size_t count = entry.scope == Scope::Host ? snapshot_->hosts.size() : units_.size();
        if (item_ >= count) {
            ++family_;
            item_ = 0;
            declared_ = false;
            continue;
        }
        Family family(out, entry.name, entry.type, entry.help, &declared_);
        Context c{snapshot_->timeMs};
        for (; item_ < count && out.size() - begin < partSize; ++item_) {
            if (entry.scope == Scope::Host) {
                c.host = &snapshot_->hosts[item_];
                c.labels = &hostLabels_[item_];
            } else {
                const Unit& u = units_[item_];
                c.host = u.host;
                c.device = u.device;
                c.labels = &u.labels;
            }
            family.setLabels(c.labels);
            entry.write(family, c);
        }
    }
    return out.size() > begin;
}

std::string escapeLabel(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    appendEscaped(out, value);
    return out;
}

bool hostUp(const tools::HostView& host, int64_t nowMs) {
    tools::HostState state = tools::hostState(host, nowMs);
    return state == tools::HostState::Fresh || state == tools::HostState::Stale;
}

std::string metricsText(const tools::Snapshot& snapshot) {
    MetricsWriter writer(std::make_shared<const tools::Snapshot>(snapshot));
    std::string out;
    while (writer.next(out)) {
    }
    return out;
}

}  // namespace serve
}  // namespace custovia
