#include "model/DeviceDialCfg.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

using namespace tkl::jsonread;

DeviceDialCfg::DeviceDialCfg() {
    clear();
}

DeviceDialCfg::DeviceDialCfg(const DeviceDialCfg& other) : tkl::Object(other) {
    assign(other);
}

DeviceDialCfg& DeviceDialCfg::operator=(const DeviceDialCfg& other) {
    return assign(other);
}

DeviceDialCfg::~DeviceDialCfg() = default;

std::string DeviceDialCfg::toString() const {
    std::ostringstream out;
    out << "id=" << id << ", \n"
        << "trigger=" << trigger << ", \n"
        << "triggerTmr=" << triggerTmr << ", \n"
        << "outputTmr=" << outputTmr << ", \n"
        << "phone1=" << phone1 << ", \n"
        << "phone2=" << phone2 << ", \n"
        << "phone3=" << phone3 << ", \n"
        << "phone4=" << phone4 << ", \n"
        << "phone5=" << phone5 << ", \n"
        << "phone6=" << phone6 << ", \n"
        << "phone7=" << phone7 << ", \n"
        << "phone8=" << phone8;
    return out.str();
}

DeviceDialCfg& DeviceDialCfg::assign(const DeviceDialCfg& other) {
    id = other.id;
    trigger = other.trigger;
    triggerTmr = other.triggerTmr;
    outputTmr = other.outputTmr;
    phone1 = other.phone1;
    phone2 = other.phone2;
    phone3 = other.phone3;
    phone4 = other.phone4;
    phone5 = other.phone5;
    phone6 = other.phone6;
    phone7 = other.phone7;
    phone8 = other.phone8;
    return *this;
}

void DeviceDialCfg::clear() {
    id.clear();
    trigger = 0;
    triggerTmr = 0;
    outputTmr = 0;
    for (std::string* phone :
         {&phone1, &phone2, &phone3, &phone4, &phone5, &phone6, &phone7, &phone8}) {
        phone->clear();
    }
}

DeviceDialCfg& DeviceDialCfg::fromJson(const tkl::JsonObject& json) {
    clear();
    id = toText(json, "id");
    trigger = toUInt32(json, "trigger");
    triggerTmr = toUInt32(json, "triggerTmr");
    outputTmr = toUInt32(json, "outputTmr");
    phone1 = toText(json, "phone1");
    phone2 = toText(json, "phone2");
    phone3 = toText(json, "phone3");
    phone4 = toText(json, "phone4");
    phone5 = toText(json, "phone5");
    phone6 = toText(json, "phone6");
    phone7 = toText(json, "phone7");
    phone8 = toText(json, "phone8");
    return *this;
}

tkl::JsonObject DeviceDialCfg::toJson() const {
    tkl::JsonObject json;
    json.insert("id", tkl::JsonValue(id));
    json.insert("trigger", tkl::JsonValue(trigger));
    json.insert("triggerTmr", tkl::JsonValue(triggerTmr));
    json.insert("outputTmr", tkl::JsonValue(outputTmr));
    json.insert("phone1", tkl::JsonValue(phone1));
    json.insert("phone2", tkl::JsonValue(phone2));
    json.insert("phone3", tkl::JsonValue(phone3));
    json.insert("phone4", tkl::JsonValue(phone4));
    json.insert("phone5", tkl::JsonValue(phone5));
    json.insert("phone6", tkl::JsonValue(phone6));
    json.insert("phone7", tkl::JsonValue(phone7));
    json.insert("phone8", tkl::JsonValue(phone8));
    return json;
}

}  // namespace custovia
