#include "monit/MonitChanges.h"

#include <QJsonValue>
#include <utility>

#include "model/MonitFlagsComparator.h"
#include "monit/MonitClientComputer.h"
#include "tkl/Json.h"

namespace custovia {

namespace {

// How a sentence says that a status flag is on and that it is off again.
struct FlagWords {
    const char* on;
    const char* off;
};

const std::map<std::string, FlagWords>& statusWords() {
    static const std::map<std::string, FlagWords> words = {
        {"connected", {"is connected", "is no longer connected"}},
        {"inShutdown", {"is shutting down", "is no longer shutting down"}},
        {"opStartup", {"is starting up", "has started up"}},
        {"opBattery", {"is on battery", "is back on mains power"}},
        {"opStandBy", {"is on stand-by", "is no longer on stand-by"}},
        {"opCheckup", {"is running a self test", "has ended its self test"}},
        {"opWarning", {"reports a warning", "no longer reports a warning"}},
        {"noVInput", {"has no input voltage", "has input voltage again"}},
        {"loVInput", {"has a low input voltage", "no longer has a low input voltage"}},
        {"hiVInput", {"has a high input voltage", "no longer has a high input voltage"}},
        {"loFInput", {"has a low input frequency", "no longer has a low input frequency"}},
        {"hiFInput", {"has a high input frequency", "no longer has a high input frequency"}},
        {"noSyncInput",
         {"has lost synchronisation with its input",
          "has regained synchronisation with its input"}},
        {"syncInput",
         {"is synchronised with its input", "is no longer synchronised with its input"}},
        {"noiseInput", {"sees noise on its input", "no longer sees noise on its input"}},
        {"hiPOutput", {"delivers a high output power", "no longer delivers a high output power"}},
        {"loBattery", {"is low on battery", "is no longer low on battery"}},
        {"maxBattery", {"has a full battery", "no longer has a full battery"}},
        {"noBattery", {"has no battery", "has a battery again"}},
        {"oldBattery", {"has a worn-out battery", "no longer reports a worn-out battery"}},
        {"moreBattery", {"reports more battery", "no longer reports more battery"}},
        {"lessBattery", {"reports less battery", "no longer reports less battery"}},
        {"shutdownTimerActive", {"runs its shutdown timer", "no longer runs its shutdown timer"}},
        {"remoteControlActive", {"is under remote control", "is no longer under remote control"}},
        {"noCalibrated", {"is not calibrated", "is calibrated"}},
    };
    return words;
}

const std::map<std::string, const char*>& failureWords() {
    static const std::map<std::string, const char*> words = {
        {"overtemp", "over-temperature"},   {"internal", "internal failure"},
        {"overload", "output overload"},    {"shortcircuit", "output short circuit"},
        {"inverter", "inverter failure"},   {"fan", "fan failure"},
        {"tiristor", "thyristor failure"},  {"endBattery", "battery exhausted"},
        {"loVInput", "input voltage low"},  {"abnormalVOutput", "abnormal output voltage"},
        {"hiPOutput", "output power high"}, {"abnormalVBattery", "abnormal battery voltage"},
    };
    return words;
}

// The keys of a flag set's JSON form whose value is 1.
std::vector<std::string> setFlags(const tkl::JsonObject& flags) {
    std::vector<std::string> names;
    for (const std::string& key : flags.keys()) {
        if (flags.value(key).value().toInt() != 0) {
            names.push_back(key);
        }
    }
    return names;
}

bool isSecret(const std::string& member) {
    std::string lower;
    for (char c : member) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return lower.size() >= 8 && lower.compare(lower.size() - 8, 8, "password") == 0;
}

class Builder {
public:
    Builder(std::vector<MonitEvent>& out, int64_t timeMs) : out_(out), timeMs_(timeMs) {}

    void add(MonitEventKind kind, const Device& device, std::string name, std::string oldValue,
             std::string newValue, const std::string& sentence) {
        MonitEvent event;
        event.timeMs = timeMs_;
        event.kind = kind;
        event.computer = kLocalhost;
        event.device = device.id;
        event.name = std::move(name);
        event.oldValue = std::move(oldValue);
        event.newValue = std::move(newValue);
        event.text = MonitChanges::unitLabel(device) + " " + sentence;
        out_.push_back(std::move(event));
    }

private:
    std::vector<MonitEvent>& out_;
    int64_t timeMs_;
};

void compareFlags(Builder& events, const Device& before, const Device& now) {
    MonitFlagsComparator comparator;
    comparator.compare(before, now);
    if (!comparator.changed()) {
        return;
    }
    for (const std::string& flag : setFlags(comparator.flagsOn().toJson())) {
        auto words = statusWords().find(flag);
        events.add(MonitEventKind::FlagRaised, now, flag, "0", "1",
                   words != statusWords().end() ? words->second.on : "raised " + flag);
    }
    for (const std::string& flag : setFlags(comparator.flagsOff().toJson())) {
        auto words = statusWords().find(flag);
        events.add(MonitEventKind::FlagCleared, now, flag, "1", "0",
                   words != statusWords().end() ? words->second.off : "cleared " + flag);
    }
    auto failure = [](const std::string& name) {
        auto words = failureWords().find(name);
        return std::string(words != failureWords().end() ? words->second : name.c_str());
    };
    for (const std::string& name : setFlags(comparator.failOn().toJson())) {
        events.add(MonitEventKind::FailureRaised, now, name, "0", "1",
                   "reports a failure: " + failure(name));
    }
    for (const std::string& name : setFlags(comparator.failOff().toJson())) {
        events.add(MonitEventKind::FailureCleared, now, name, "1", "0",
                   "no longer reports a failure: " + failure(name));
    }
}

void compareCountdowns(Builder& events, const Device& device, const Regressive* before,
                       const Regressive* now) {
    const bool was = before != nullptr && before->isActive();
    const bool is = now != nullptr && now->isActive();
    if (!was && is) {
        std::string cause = now->causeName();
        std::string left = now->value() >= 0
                               ? ", " + std::to_string(now->value() / 1000) + " s left"
                               : std::string();
        events.add(MonitEventKind::CountdownStarted, device, "countdown", "", cause,
                   "has started a shutdown countdown (" + cause + left + ")");
    } else if (was && !is) {
        std::string cause = before->causeName();
        events.add(MonitEventKind::CountdownStopped, device, "countdown", cause, "",
                   "has stopped its shutdown countdown (" + cause + ")");
    } else if (was && is && before->cause() != now->cause()) {
        std::string from = before->causeName();
        std::string to = now->causeName();
        events.add(MonitEventKind::CountdownChanged, device, "countdown", from, to,
                   "counts down for another cause: " + to + " instead of " + from);
    }
}

void compareMembers(Builder& events, const Device& device,
                    const std::map<std::string, std::string>& before,
                    const std::map<std::string, std::string>& now) {
    auto report = [&](const std::string& member, const std::string* from, const std::string* to) {
        const bool secret = isSecret(member);
        std::string oldValue = from == nullptr ? "" : secret ? "******" : *from;
        std::string newValue = to == nullptr ? "" : secret ? "******" : *to;
        std::string sentence = "has a new setting " + member;
        if (!secret) {
            sentence += ": " + (oldValue.empty() ? std::string("\"\"") : oldValue) + " -> " +
                        (newValue.empty() ? std::string("\"\"") : newValue);
        }
        events.add(MonitEventKind::SettingsChanged, device, member, oldValue, newValue, sentence);
    };
    auto b = before.begin();
    auto n = now.begin();
    while (b != before.end() || n != now.end()) {
        if (n == now.end() || (b != before.end() && b->first < n->first)) {
            report(b->first, &b->second, nullptr);
            ++b;
        } else if (b == before.end() || n->first < b->first) {
            report(n->first, nullptr, &n->second);
            ++n;
        } else {
            if (b->second != n->second) {
                report(n->first, &b->second, &n->second);
            }
            ++b;
            ++n;
        }
    }
}

// Settings are compared as objects first: only a group that differs is
// taken apart member by member.
void compareSettings(Builder& events, const Device& device,
                     const std::map<std::string, tkl::JsonObject>& before,
                     const std::map<std::string, tkl::JsonObject>& now) {
    for (const auto& group : now) {
        auto old = before.find(group.first);
        if (old == before.end() || old->second.qt() == group.second.qt()) {
            continue;
        }
        std::map<std::string, std::string> from;
        std::map<std::string, std::string> to;
        MonitChanges::addSettings(from, group.first.c_str(), old->second);
        MonitChanges::addSettings(to, group.first.c_str(), group.second);
        compareMembers(events, device, from, to);
    }
}

template <typename Map>
const typename Map::mapped_type* find(const Map& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

}  // namespace

std::string MonitChanges::unitLabel(const Device& device) {
    const std::string& name = !device.userName.empty() ? device.userName : device.name;
    if (name.empty()) {
        return device.id;
    }
    return name + " (" + device.id + ")";
}

void MonitChanges::addSettings(std::map<std::string, std::string>& into, const char* group,
                               const tkl::JsonObject& settings) {
    const QJsonObject& members = settings.qt();
    for (auto it = members.begin(); it != members.end(); ++it) {
        std::string text;
        const QJsonValue value = it.value();
        if (value.isString()) {
            text = value.toString().toStdString();
        } else if (value.isBool()) {
            text = value.toBool() ? "true" : "false";
        } else {
            // Numbers, arrays and objects in their JSON text: a member
            // object of one entry, without its braces and key.
            tkl::JsonObject one;
            one.insert("v", tkl::JsonValue(value));
            text = one.toString();
            text = text.substr(5, text.size() - 6);
        }
        into[std::string(group) + "." + it.key().toStdString()] = std::move(text);
    }
}

std::vector<MonitEvent> MonitChanges::update(MonitView now, int64_t timeMs) {
    std::vector<MonitEvent> out;
    Builder events(out, timeMs);
    static const std::map<std::string, std::string> none;
    for (const auto& entry : now.devices) {
        const Device& device = entry.second;
        const Device* before = find(previous_.devices, entry.first);
        if (before == nullptr) {
            events.add(MonitEventKind::DeviceAppeared, device, "", "", "",
                       "is reported by the service");
            continue;
        }
        compareFlags(events, *before, device);
        compareCountdowns(events, device, find(previous_.countdowns, entry.first),
                          find(now.countdowns, entry.first));
        const auto* settingsBefore = find(previous_.settings, entry.first);
        const auto* settingsNow = find(now.settings, entry.first);
        // Settings not read yet on either side are not a change.
        if (settingsBefore != nullptr && settingsNow != nullptr) {
            compareSettings(events, device, *settingsBefore, *settingsNow);
        }
    }
    for (const auto& entry : previous_.devices) {
        if (now.devices.count(entry.first) == 0) {
            events.add(MonitEventKind::DeviceRemoved, entry.second, "", "", "",
                       "is no longer reported by the service");
        }
    }
    previous_ = std::move(now);
    return out;
}

}  // namespace custovia
