// Fault rules and journal entries: their text and JSON forms and matching.
#include "sim/Faults.h"

#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>

namespace custovia {
namespace sim {
namespace {

struct KindName {
    FaultKind kind;
    const char* name;
};

const KindName kKinds[] = {
    {FaultKind::Delay, "delay"},         {FaultKind::Hang, "hang"},
    {FaultKind::Status, "status"},       {FaultKind::Malformed, "malformed"},
    {FaultKind::Truncated, "truncated"}, {FaultKind::Drop, "drop"},
};

bool validRegex(const std::string& text, std::string* error) {
    QRegularExpression re(QString::fromStdString(text));
    if (!re.isValid()) {
        *error = "bad regular expression \"" + text + "\": " + re.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace

bool checkFaultRule(const FaultRule& r, std::string* error) {
    if (r.kind == FaultKind::Status && (r.status < 100 || r.status > 599)) {
        *error = "the status must be from 100 to 599";
        return false;
    }
    if (r.delayMs < 0 || r.delayMs > 3600 * 1000) {
        *error = "the delay must be from 0 to 3600000 ms";
        return false;
    }
    if (r.kind == FaultKind::Delay && r.delayMs == 0) {
        *error = "a delay needs its milliseconds, as in delay=250";
        return false;
    }
    return r.regex.empty() || validRegex(r.regex, error);
}

namespace {

bool parseInt(const std::string& text, int* out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *out = std::stoi(text);
    return true;
}

}  // namespace

const char* faultKindName(FaultKind kind) {
    for (const auto& k : kKinds) {
        if (k.kind == kind) {
            return k.name;
        }
    }
    return "?";
}

bool faultKindFromName(const std::string& name, FaultKind* kind) {
    for (const auto& k : kKinds) {
        if (name == k.name) {
            *kind = k.kind;
            return true;
        }
    }
    return false;
}

bool FaultRule::parse(const std::string& text, FaultRule* rule, std::string* error) {
    FaultRule r;
    std::string rest = text;
    // The path part comes last and may hold any character.
    std::size_t at = rest.find_first_of("@~");
    if (at != std::string::npos) {
        (rest[at] == '@' ? r.prefix : r.regex) = rest.substr(at + 1);
        rest.resize(at);
    }
    std::size_t star = rest.find('*');
    if (star != std::string::npos) {
        if (!parseInt(rest.substr(star + 1), &r.count)) {
            *error = "bad count in fault \"" + text + "\"";
            return false;
        }
        rest.resize(star);
    }
    std::string value;
    std::size_t eq = rest.find('=');
    if (eq != std::string::npos) {
        value = rest.substr(eq + 1);
        rest.resize(eq);
    }
    if (!faultKindFromName(rest, &r.kind)) {
        *error =
            "unknown fault kind \"" + rest + "\" (delay, hang, status, malformed, truncated, drop)";
        return false;
    }
    if (!value.empty()) {
        int n = 0;
        if (!parseInt(value, &n) || (r.kind != FaultKind::Status && r.kind != FaultKind::Delay)) {
            *error = "bad value in fault \"" + text + "\"";
            return false;
        }
        (r.kind == FaultKind::Status ? r.status : r.delayMs) = n;
    }
    if (!checkFaultRule(r, error)) {
        return false;
    }
    *rule = r;
    return true;
}

QJsonObject FaultRule::toJson() const {
    QJsonObject o;
    o.insert("id", id);
    o.insert("kind", faultKindName(kind));
    o.insert("prefix", QString::fromStdString(prefix));
    o.insert("regex", QString::fromStdString(regex));
    o.insert("method", QString::fromStdString(method));
    o.insert("status", status);
    o.insert("delayMs", delayMs);
    o.insert("count", count);
    o.insert("host", host);
    return o;
}

bool FaultRule::fromJson(const QJsonObject& o, FaultRule* rule, std::string* error) {
    FaultRule r;
    if (!faultKindFromName(o.value("kind").toString().toStdString(), &r.kind)) {
        *error = "\"kind\" must be one of delay, hang, status, malformed, truncated, drop";
        return false;
    }
    for (const char* key : {"prefix", "regex", "method"}) {
        QJsonValue v = o.value(key);
        if (!v.isUndefined() && !v.isString()) {
            *error = std::string("\"") + key + "\" must be a string";
            return false;
        }
    }
    r.prefix = o.value("prefix").toString().toStdString();
    r.regex = o.value("regex").toString().toStdString();
    r.method = o.value("method").toString().toUpper().toStdString();
    struct {
        const char* key;
        int* field;
    } numbers[] = {
        {"status", &r.status}, {"delayMs", &r.delayMs}, {"count", &r.count}, {"host", &r.host}};
    for (auto& n : numbers) {
        QJsonValue v = o.value(n.key);
        if (v.isUndefined()) {
            continue;
        }
        double d = v.toDouble();
        if (!v.isDouble() || std::trunc(d) != d || d < -1 || d > 1e9) {
            *error = std::string("\"") + n.key + "\" must be a whole number";
            return false;
        }
        *n.field = static_cast<int>(d);
    }
    if (!checkFaultRule(r, error)) {
        return false;
    }
    *rule = r;
    return true;
}

bool ruleMatches(const FaultRule& r, int host, const std::string& method, const std::string& path,
                 const std::string& apiRoot) {
    if (r.count == 0 || (r.host >= 0 && r.host != host) ||
        (!r.method.empty() && r.method != method)) {
        return false;
    }
    if (!r.prefix.empty()) {
        bool hit = path.compare(0, r.prefix.size(), r.prefix) == 0;
        if (!hit && r.prefix[0] != '/') {
            std::string base = "/" + apiRoot + "/";
            hit = path.compare(0, base.size(), base) == 0 &&
                  path.compare(base.size(), r.prefix.size(), r.prefix) == 0;
        }
        if (!hit) {
            return false;
        }
    }
    if (!r.regex.empty()) {
        QRegularExpression re(QString::fromStdString(r.regex));
        if (!re.isValid() || !re.match(QString::fromStdString(path)).hasMatch()) {
            return false;
        }
    }
    return true;
}

QJsonObject JournalEntry::toJson() const {
    QJsonObject o;
    o.insert("seq", static_cast<double>(seq));
    o.insert("host", host);
    o.insert("method", QString::fromStdString(method));
    o.insert("path", QString::fromStdString(path));
    o.insert("query", QString::fromStdString(query));
    o.insert("body", QString::fromUtf8(body.data(), static_cast<int>(body.size())));
    o.insert("userAgent", QString::fromStdString(userAgent));
    o.insert("accept", QString::fromStdString(accept));
    o.insert("contentType", QString::fromStdString(contentType));
    o.insert("status", status);
    o.insert("timeMs", static_cast<double>(timeMs));
    return o;
}

}  // namespace sim
}  // namespace custovia
