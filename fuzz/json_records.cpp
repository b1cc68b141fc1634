// JSON text -> tkl::JsonDocument -> every record's fromJson -> toJson, the
// request text form and the records' text forms.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "config/ClientConfig.h"
#include "config/CusConfig.h"
#include "config/NotifyConfig.h"
#include "model/Computer.h"
#include "model/Device.h"
#include "model/DeviceConfig.h"
#include "model/DeviceDialCfg.h"
#include "model/DeviceMailCfg.h"
#include "model/DeviceShutCfg.h"
#include "model/DeviceVars.h"
#include "model/LogEntry.h"
#include "model/MonitData.h"
#include "model/MonitFlagsComparator.h"
#include "model/Regressive.h"
#include "tkl/Http.h"
#include "tkl/Json.h"

namespace custovia {
namespace fuzz {

namespace {

// Records clear (or reset) before they read; the two spellings differ.
template <class R>
auto wipe(R& record, int) -> decltype(record.clear()) {
    record.clear();
}
template <class R>
void wipe(R& record, long) {
    record.reset();
}

// The compact text form is what goes out as a request body: it must read
// back as the same members.
void checkRequestText(const tkl::JsonObject& object, const char* record) {
    std::string text = object.toString();
    tkl::JsonDocument back;
    back.fromJson(text);
    check(back.isObject(), std::string(record) + ": request text is not a JSON object: " + text);
    // Compared as sets: Qt orders keys holding a zero character differently
    // depending on how they were read.
    std::vector<std::string> sent = object.keys();
    std::vector<std::string> read = back.object().keys();
    std::sort(sent.begin(), sent.end());
    std::sort(read.begin(), read.end());
    check(read == sent, std::string(record) + ": request text lost members: " + text);

    // Numbers are cut to six significant digits, so the first reading may
    // change them (1234567.5 goes out as 1.23457e+06 and reads back as the
    // integer 1234570); from the second round on the text must stay put.
    const std::string again = back.object().toString();
    tkl::JsonDocument third;
    third.fromJson(again);
    check(third.object().toString() == again, std::string(record) + ": request text drifts: " +
                                                  again + " vs " + third.object().toString());
}

template <class R>
void throughRecord(const tkl::JsonObject& json, const char* name) {
    R record;
    record.fromJson(json);
    (void)record.toString();
    const tkl::JsonObject out = record.toJson();
    checkRequestText(out, name);

    // Reading clears first: a record that held something else reads the same.
    R reused;
    reused.fromJson(out);
    reused.fromJson(json);
    check(reused.toJson() == out, std::string(name) + ": fromJson depends on earlier content");

    // assign copies everything that toJson shows.
    R copy;
    copy.assign(record);
    check(copy.toJson() == out, std::string(name) + ": assign lost data");

    // What a record writes, it reads back into something it writes the
    // same way the second time (the written form is a fixed point after one
    // round).
    R second;
    second.fromJson(out);
    const tkl::JsonObject out2 = second.toJson();
    R third;
    third.fromJson(out2);
    check(third.toJson() == out2, std::string(name) + ": toJson/fromJson drifts: " +
                                      out2.toString() + " vs " + third.toJson().toString());

    wipe(record, 0);
    (void)record.toString();
}

void throughAll(const tkl::JsonObject& json) {
    throughRecord<Computer>(json, "Computer");
    throughRecord<PortInfo>(json, "PortInfo");
    throughRecord<Device>(json, "Device");
    throughRecord<DeviceVars>(json, "DeviceVars");
    throughRecord<DeviceFlags>(json, "DeviceFlags");
    throughRecord<DeviceFailFlags>(json, "DeviceFailFlags");
    throughRecord<DeviceCapabilities>(json, "DeviceCapabilities");
    throughRecord<DeviceConfig>(json, "DeviceConfig");
    throughRecord<DeviceMailCfg>(json, "DeviceMailCfg");
    throughRecord<DeviceDialCfg>(json, "DeviceDialCfg");
    throughRecord<DeviceShutCfg>(json, "DeviceShutCfg");
    throughRecord<LogEntry>(json, "LogEntry");
    throughRecord<Regressive>(json, "Regressive");
    throughRecord<CusConfig>(json, "CusConfig");
    throughRecord<NotifyConfig>(json, "NotifyConfig");
    throughRecord<NotifySvcConfig>(json, "NotifySvcConfig");
}

// The records a monitoring snapshot is built from, read from one object as
// the service's detail answer carries them.
void throughSnapshot(const tkl::JsonObject& json) {
    MonitData data;
    data.actualState.fromJson(json.value("device").toObject());
    data.oldState.fromJson(json);
    data.config.fromJson(json.value("config").toObject());
    data.shutCfg.fromJson(json.value("shutdown").toObject());
    data.actualRegressive.fromJson(json.value("regressive").toObject());
    data.actualRegressive.update();
    (void)data.toString();
    MonitFlagsComparator flags;
    flags.compare(data.oldState, data.actualState);
    (void)flags.flagsOn().toString();
    (void)flags.failOff().toString();
}

}  // namespace

void jsonRecords(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tkl::JsonDocument document;
    document.fromJson(text);
    (void)document.toString();
    (void)document.toJson(true);

    std::vector<tkl::JsonObject> objects;
    if (document.isObject()) {
        objects.push_back(document.object());
    } else if (document.isArray()) {
        tkl::JsonArray array = document.array();
        (void)array.toString();
        (void)array.toStringList();
        for (int i = 0; i < array.size() && i < 8; ++i) {
            objects.push_back(array.at(i).toObject());
        }
    } else {
        // Not JSON: the reply-body path must give an empty object.
        tkl::HttpClientData body(text, "application/json");
        check(body.toJsonObject().isEmpty(), "non-JSON body read as a non-empty object");
        return;
    }

    for (const tkl::JsonObject& object : objects) {
        checkRequestText(object, "JsonObject");
        for (const std::string& key : object.keys()) {
            tkl::JsonValue value = object.value(key);
            (void)value.toString();
            (void)value.toDateTime();
            (void)value.toBool();
        }
        throughAll(object);
        throughSnapshot(object);
        // Records nested one level down, as in the service's answers
        // ({"device": {...}, "regressive": {...}}, {"computers": [...]}).
        for (const std::string& key : object.keys()) {
            tkl::JsonValue value = object.value(key);
            if (value.isObject()) {
                throughAll(value.toObject());
            } else if (value.isArray() && value.toArray().at(0).isObject()) {
                throughAll(value.toArray().at(0).toObject());
            }
        }
    }
}

}  // namespace fuzz
}  // namespace custovia
