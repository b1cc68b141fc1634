#include "model/LogEntry.h"

#include <sstream>

#include "tkl/DateTime.h"
#include "tkl/JsonRead.h"

namespace custovia {

using namespace tkl::jsonread;

LogEntry::LogEntry() {
    clear();
}

LogEntry::LogEntry(const LogEntry& other) : tkl::Object(other) {
    assign(other);
}

LogEntry& LogEntry::operator=(const LogEntry& other) {
    return assign(other);
}

LogEntry::~LogEntry() = default;

std::string LogEntry::toString() const {
    std::ostringstream out;
    out << "id=" << (id.empty() ? "<unknown>" : id) << ", ";
    if (dateTime > 0) {
        out << "dateTime=" << tkl::DateTime::toString(dateTime, tkl::DateTime::defaultPattern)
            << ", ";
    }
    if (event != -1)
        out << "event=" << event << ", ";
    out << "vars: {" << vars.toString() << "}, flags: {" << flags.toString() << "}, fail: {"
        << fail.toString() << "}";
    return out.str();
}

LogEntry& LogEntry::assign(const LogEntry& other) {
    id = other.id;
    event = other.event;
    dateTime = other.dateTime;
    vars.assign(other.vars);
    flags.assign(other.flags);
    fail.assign(other.fail);
    return *this;
}

void LogEntry::clear() {
    id.clear();
    event = -1;
    dateTime = 0;
    vars.clear();
    flags.clear();
    fail.clear();
}

LogEntry& LogEntry::fromJson(const tkl::JsonObject& json) {
    clear();
    id = toText(json, "id");
    event = toInt32(json, "event");
    dateTime = toInt64(json, "dateTime");
    vars.fromJson(json.value("vars").toObject());
    flags.fromJson(json.value("flags").toObject());
    fail.fromJson(json.value("fail").toObject());
    return *this;
}

tkl::JsonObject LogEntry::toJson() const {
    tkl::JsonObject json;
    if (id.size() == 10)
        json.insert("id", tkl::JsonValue(id));
    json.insert("event", tkl::JsonValue(event));
    json.insert("dateTime", tkl::JsonValue(dateTime));
    json.insert("vars", tkl::JsonValue(vars.toJson()));
    json.insert("flags", tkl::JsonValue(flags.toJson()));
    json.insert("fail", tkl::JsonValue(fail.toJson()));
    return json;
}

}  // namespace custovia
