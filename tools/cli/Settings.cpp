#include "cli/Settings.h"

#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <iostream>
#include <limits>
#include <ostream>
#include <thread>

#include "cli/View.h"
#include "common/Status.h"

namespace custovia {
namespace cli {

using tools::jsonText;

namespace {

constexpr uint32_t kMaxU32 = std::numeric_limits<uint32_t>::max();

uint32_t parseNumber(const std::string& key, const std::string& text, uint32_t max) {
    bool digits =
        !text.empty() && text.size() <= 10 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    unsigned long long value = digits ? std::stoull(text) : 0;
    if (!digits || value > max) {
        throw Failure("invalid value for " + key + ": \"" + text + "\" (a whole number from 0 to " +
                          std::to_string(max) + ")",
                      kExitUsage);
    }
    return static_cast<uint32_t>(value);
}

uint32_t parseFlag(const std::string& key, const std::string& text) {
    std::string t = tools::lowerAscii(text);
    if (t == "1" || t == "on" || t == "yes" || t == "true") {
        return 1;
    }
    if (t == "0" || t == "off" || t == "no" || t == "false") {
        return 0;
    }
    throw Failure("invalid value for " + key + ": \"" + text + "\" (on or off, 1 or 0)",
                  kExitUsage);
}

// The fields of one settings record, each shown and set as text.
template <class R>
class Form {
public:
    struct Field {
        std::string key;
        std::string help;
        std::function<QJsonValue(const R&)> get;
        std::function<void(R&, const std::string&)> set;
        bool secret;
    };

    Form& number(const char* key, uint32_t R::*member, const char* help, uint32_t max = kMaxU32) {
        fields_.push_back({key, help,
                           [member](const R& r) { return QJsonValue(double(r.*member)); },
                           [member, key, max](R& r, const std::string& v) {
                               r.*member = parseNumber(key, v, max);
                           },
                           false});
        return *this;
    }
    Form& flag(const char* key, uint32_t R::*member, const char* help) {
        fields_.push_back(
            {key, help, [member](const R& r) { return QJsonValue(r.*member != 0); },
             [member, key](R& r, const std::string& v) { r.*member = parseFlag(key, v); }, false});
        return *this;
    }
    Form& text(const char* key, std::string R::*member, const char* help, bool secret = false) {
        fields_.push_back(
            {key, help,
             [member](const R& r) { return QJsonValue(QString::fromStdString(r.*member)); },
             [member](R& r, const std::string& v) { r.*member = v; }, secret});
        return *this;
    }
    Form& custom(const char* key, const char* help, std::function<QJsonValue(const R&)> get,
                 std::function<void(R&, const std::string&)> set) {
        fields_.push_back({key, help, std::move(get), std::move(set), false});
        return *this;
    }

    const Field* find(const std::string& key) const {
        for (const auto& f : fields_) {
            if (f.key == key) {
                return &f;
            }
        }
        return nullptr;
    }
    const std::vector<Field>& fields() const { return fields_; }

    void apply(R& record, const Pairs& pairs) const {
        for (const auto& p : pairs) {
            find(p.first)->set(record, p.second);
        }
    }

    QJsonObject json(const R& record) const {
        QJsonObject o;
        for (const auto& f : fields_) {
            o[QString::fromStdString(f.key)] = shown(f, record);
        }
        return o;
    }

    void print(std::ostream& out, const R& record) const {
        std::size_t width = 0;
        for (const auto& f : fields_) {
            width = std::max(width, f.key.size());
        }
        for (const auto& f : fields_) {
            QJsonValue v = shown(f, record);
            std::string text = v.isBool()     ? (v.toBool() ? "on" : "off")
                               : v.isDouble() ? std::to_string(static_cast<uint64_t>(v.toDouble()))
                                              : v.toString().toStdString();
            out << f.key << (text.empty() ? "" : std::string(width - f.key.size() + 2, ' ') + text)
                << '\n';
        }
    }

private:
    // Passwords never leave the tool: a set one shows as eight stars.
    static QJsonValue shown(const Field& f, const R& record) {
        QJsonValue v = f.get(record);
        if (f.secret && !v.toString().isEmpty()) {
            return QString("********");
        }
        return v;
    }

    std::vector<Field> fields_;
};

const Form<custovia::DeviceShutCfg>& shutdownForm() {
    using R = custovia::DeviceShutCfg;
    static const Form<R> form =
        Form<R>()
            .flag("enabled", &R::enabled, "shutdown management on")
            .number("counterManual", &R::counterManual, "countdown of a manual shutdown")
            .number("counterOpBattery", &R::counterOpBattery, "countdown while on battery")
            .number("counterLoBattery", &R::counterLoBattery, "countdown on low battery")
            .number("counterFailure", &R::counterFailure, "countdown on a failure")
            .number("counterTimer", &R::counterTimer, "countdown of a scheduled shutdown")
            .number("counterBatLevel", &R::counterBatLevel, "battery level that starts one")
            .number("remCtrlDelay", &R::remCtrlDelay, "remote control delay")
            .flag("devShutEnabled", &R::devShutEnabled, "turn the UPS off")
            .flag("devStandByKeep", &R::devStandByKeep, "keep the UPS in stand-by")
            .number("devShutTimer", &R::devShutTimer, "UPS shutdown timer")
            .flag("cliShutEnabled", &R::cliShutEnabled, "shut the client computers down")
            .flag("cliHibernate", &R::cliHibernate, "hibernate them instead")
            .number("cliShutTimer", &R::cliShutTimer, "client shutdown timer")
            .text("cliRun", &R::cliRun, "command a client runs before shutting down");
    return form;
}

const Form<custovia::DeviceDialCfg>& dialerForm() {
    using R = custovia::DeviceDialCfg;
    static const Form<R> form = Form<R>()
                                    .number("trigger", &R::trigger, "what starts the dialer")
                                    .number("triggerTmr", &R::triggerTmr, "trigger timer")
                                    .number("outputTmr", &R::outputTmr, "output timer")
                                    .text("phone1", &R::phone1, "first number to call")
                                    .text("phone2", &R::phone2, "")
                                    .text("phone3", &R::phone3, "")
                                    .text("phone4", &R::phone4, "")
                                    .text("phone5", &R::phone5, "")
                                    .text("phone6", &R::phone6, "")
                                    .text("phone7", &R::phone7, "")
                                    .text("phone8", &R::phone8, "last number to call");
    return form;
}

// One recipient of a mail recipient list, shown empty when absent.
using MailList = std::vector<std::string> custovia::DeviceMailCfg::*;
std::function<QJsonValue(const custovia::DeviceMailCfg&)> recipient(MailList list, std::size_t i) {
    return [list, i](const custovia::DeviceMailCfg& r) {
        const auto& v = r.*list;
        return QJsonValue(i < v.size() ? QString::fromStdString(v[i]) : QString());
    };
}
std::function<void(custovia::DeviceMailCfg&, const std::string&)> setRecipient(MailList list,
                                                                               std::size_t i) {
    return [list, i](custovia::DeviceMailCfg& r, const std::string& value) {
        auto& v = r.*list;
        if (v.size() <= i) {
            v.resize(i + 1);
        }
        v[i] = value;
    };
}

const Form<custovia::DeviceMailCfg>& mailForm() {
    using R = custovia::DeviceMailCfg;
    static const Form<R> form =
        Form<R>()
            .flag("enable", &R::enable, "mail notification on")
            .text("server", &R::server, "SMTP server")
            .number("port", &R::port, "SMTP port", 65535)
            .flag("secure", &R::secure, "secured connection")
            .flag("auth", &R::auth, "log in to the server")
            .text("username", &R::username, "account name")
            .text("password", &R::password, "account password; \"-\" reads it from standard input",
                  true)
            .text("from", &R::from, "sender address")
            .custom("to1", "first recipient", recipient(&R::to, 0), setRecipient(&R::to, 0))
            .custom("to2", "", recipient(&R::to, 1), setRecipient(&R::to, 1))
            .custom("to3", "", recipient(&R::to, 2), setRecipient(&R::to, 2))
            .custom("to4", "", recipient(&R::to, 3), setRecipient(&R::to, 3))
            .custom("to5", "fifth recipient", recipient(&R::to, 4), setRecipient(&R::to, 4))
            .custom("cc", "copy recipient", recipient(&R::cc, 0), setRecipient(&R::cc, 0))
            .custom("bcc", "blind copy recipient", recipient(&R::bcc, 0), setRecipient(&R::bcc, 0))
            .flag("test", &R::test, "test mail requested");
    return form;
}

const Form<custovia::NotifyConfig>& notifyForm() {
    using R = custovia::NotifyConfig;
    // The service keeps the time threshold in whole minutes.
    constexpr uint32_t kMinute = 60000;
    static const Form<R> form =
        Form<R>()
            .number("option", &R::option, "which notification rule is active")
            .number("valPercent", &R::valPercent, "percentage threshold", 100)
            .custom(
                "valMinutes", "time threshold in minutes",
                [](const R& r) { return QJsonValue(double(r.valSecond / kMinute)); },
                [](R& r, const std::string& v) {
                    r.valSecond = parseNumber("valMinutes", v, kMaxU32 / kMinute) * kMinute;
                });
    return form;
}

template <class R>
void checkPairs(const Form<R>& form, const Pairs& pairs) {
    R scratch;
    for (const auto& p : pairs) {
        if (form.find(p.first) == nullptr) {
            std::string keys;
            for (const auto& f : form.fields()) {
                keys += (keys.empty() ? "" : ", ") + f.key;
            }
            throw Failure("unknown setting \"" + p.first + "\"; known: " + keys, kExitUsage);
        }
    }
    form.apply(scratch, pairs);
}

template <class R>
std::string keysHelp(const Form<R>& form) {
    std::string text;
    for (const auto& f : form.fields()) {
        text += "  " + f.key + (f.help.empty() ? "" : ": " + f.help) + "\n";
    }
    return text;
}

const char* kindName(SettingsKind kind) {
    switch (kind) {
        case SettingsKind::Shutdown:
            return "shutdown settings";
        case SettingsKind::Dialer:
            return "dialer settings";
        case SettingsKind::Mail:
            return "mail settings";
        case SettingsKind::Notify:
            break;
    }
    return "notification settings";
}

// Reads, changes, writes and shows one record. `read` and `write` call the
// library for the record's kind.
template <class R>
int edit(Session& session, const Form<R>& form, SettingsKind kind, const std::string& owner,
         const Pairs& pairs, std::ostream& out, const std::function<int32_t(R*)>& read,
         const std::function<int32_t(const R*)>& write,
         const std::function<bool(const R&)>& taken) {
    R record;
    session.check(read(&record), std::string(kindName(kind)) + " of " + owner);
    if (!pairs.empty()) {
        form.apply(record, pairs);
        int32_t status = write(&record);
        if (status < 0) {
            throw Failure(statusMessage(status, "the service did not take the " +
                                                    std::string(kindName(kind)) + " of " + owner));
        }
        if (taken && !taken(record)) {
            throw Failure("not confirmed: the service still reports its earlier " +
                          std::string(kindName(kind)) + " of " + owner);
        }
    }
    if (session.options().json) {
        out << jsonText(form.json(record));
    } else {
        form.print(out, record);
    }
    return kExitOk;
}

}  // namespace

Pairs parsePairs(SettingsKind kind, const std::vector<std::string>& words) {
    Pairs pairs;
    for (const auto& w : words) {
        auto eq = w.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw Failure("expected key=value, got \"" + w + "\"", kExitUsage);
        }
        pairs.emplace_back(w.substr(0, eq), w.substr(eq + 1));
        // A password on the command line shows in the process list; "-"
        // reads it from standard input instead.
        if (kind == SettingsKind::Mail && pairs.back().first == "password" &&
            pairs.back().second == "-") {
            std::string line;
            std::getline(std::cin, line);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pairs.back().second = line;
        }
    }
    switch (kind) {
        case SettingsKind::Shutdown:
            checkPairs(shutdownForm(), pairs);
            break;
        case SettingsKind::Dialer:
            checkPairs(dialerForm(), pairs);
            break;
        case SettingsKind::Mail:
            checkPairs(mailForm(), pairs);
            break;
        case SettingsKind::Notify:
            checkPairs(notifyForm(), pairs);
            break;
    }
    return pairs;
}

std::string settingsKeysHelp(SettingsKind kind) {
    switch (kind) {
        case SettingsKind::Shutdown:
            return keysHelp(shutdownForm());
        case SettingsKind::Dialer:
            return keysHelp(dialerForm());
        case SettingsKind::Mail:
            return keysHelp(mailForm());
        case SettingsKind::Notify:
            break;
    }
    return keysHelp(notifyForm());
}

int runSettings(Session& session, SettingsKind kind, const std::string& device, const Pairs& pairs,
                std::ostream& out) {
    session.open();
    CustoviaHandle h = session.handle();
    const char* c = session.computer();
    if (kind == SettingsKind::Notify) {
        Host& host = session.singleHost();
        const char* k = host.key.c_str();
        std::string owner = "computer " +
                            (session.options().computer.empty() ? std::string("localhost")
                                                                : session.options().computer) +
                            " on " + host.key;
        using R = custovia::NotifyConfig;
        // The library reports success even when the service refuses the
        // change, so the tool refreshes the host to confirm it.
        auto taken = [&](const R& sent) {
            const auto timeoutMs = static_cast<int32_t>(session.options().timeout * 1000);
            R now;
            return refreshHost(h, k, std::max<int32_t>(1, timeoutMs)) == 1 &&
                   notifyConfig(h, k, c, &now) == 1 && now.option == sent.option &&
                   now.valPercent == sent.valPercent && now.valSecond == sent.valSecond;
        };
        return edit<R>(
            session, notifyForm(), kind, owner, pairs, out,
            [&](R* r) { return notifyConfig(h, k, c, r); },
            [&](const R* r) { return updNotifyConfig(h, k, c, r); }, taken);
    }

    Host& host = session.hostForDevice(device);
    const char* k = host.key.c_str();
    const char* d = device.c_str();
    std::string owner = "device " + device + " on " + host.key;
    switch (kind) {
        case SettingsKind::Shutdown: {
            using R = custovia::DeviceShutCfg;
            return edit<R>(
                session, shutdownForm(), kind, owner, pairs, out,
                [&](R* r) { return devShutdownConfig(h, k, c, d, r); },
                [&](const R* r) { return updDevShutdownConfig(h, k, c, d, r); }, nullptr);
        }
        case SettingsKind::Dialer: {
            using R = custovia::DeviceDialCfg;
            return edit<R>(
                session, dialerForm(), kind, owner, pairs, out,
                [&](R* r) { return devDialerConfig(h, k, c, d, r); },
                [&](const R* r) { return updDevDialerConfig(h, k, c, d, r); }, nullptr);
        }
        case SettingsKind::Mail:
        case SettingsKind::Notify:
            break;
    }
    using R = custovia::DeviceMailCfg;
    return edit<R>(
        session, mailForm(), kind, owner, pairs, out,
        [&](R* r) { return devMailConfig(h, k, c, d, r); },
        [&](const R* r) { return updDevMailConfig(h, k, c, d, r); }, nullptr);
}

}  // namespace cli
}  // namespace custovia
