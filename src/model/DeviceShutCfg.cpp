#include "model/DeviceShutCfg.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

using namespace tkl::jsonread;

DeviceShutCfg::DeviceShutCfg() {
    clear();
}

DeviceShutCfg::DeviceShutCfg(const DeviceShutCfg& other) : tkl::Object(other) {
    assign(other);
}

DeviceShutCfg& DeviceShutCfg::operator=(const DeviceShutCfg& other) {
    return assign(other);
}

DeviceShutCfg::~DeviceShutCfg() = default;

std::string DeviceShutCfg::toString() const {
    std::ostringstream out;
    out << "shutdown: {id=" << id << ", \n"
        << "enabled=" << enabled << ", \n"
        << "counterManual=" << counterManual << ", \n"
        << "counterOpBattery=" << counterOpBattery << ", \n"
        << "counterLoBattery=" << counterLoBattery << ", \n"
        << "counterFailure=" << counterFailure << ", \n"
        << "counterTimer=" << counterTimer << ", \n"
        << "counterBatLevel=" << counterBatLevel << ", \n"
        << "remCtrlDelay=" << remCtrlDelay << "}, \n"
        << "device: {devShutEnabled=" << devShutEnabled << ", \n"
        << "devShutTimer=" << devShutTimer << ", \n"
        << "devstandByKeep=" << devStandByKeep << "}\n"
        << "client: {cliShutEnabled=" << cliShutEnabled << ", \n"
        << "cliHibernate=" << cliHibernate << ", \n"
        << "cliShutTimer=" << cliShutTimer << ", \n"
        << "cliRun=\"" << cliRun << "\"}";
    return out.str();
}

DeviceShutCfg& DeviceShutCfg::assign(const DeviceShutCfg& other) {
    id = other.id;
    enabled = other.enabled;
    counterManual = other.counterManual;
    counterOpBattery = other.counterOpBattery;
    counterLoBattery = other.counterLoBattery;
    counterFailure = other.counterFailure;
    counterTimer = other.counterTimer;
    counterBatLevel = other.counterBatLevel;
    remCtrlDelay = other.remCtrlDelay;
    devShutEnabled = other.devShutEnabled;
    devStandByKeep = other.devStandByKeep;
    devShutTimer = other.devShutTimer;
    cliShutEnabled = other.cliShutEnabled;
    cliHibernate = other.cliHibernate;
    cliShutTimer = other.cliShutTimer;
    cliRun = other.cliRun;
    return *this;
}

void DeviceShutCfg::clear() {
    id.clear();
    enabled = 0;
    counterManual = 20;
    counterOpBattery = 30;
    counterLoBattery = 20;
    counterFailure = 20;
    counterTimer = 20;
    counterBatLevel = 10;
    remCtrlDelay = 1000;
    devShutEnabled = 1;
    devStandByKeep = 0;
    devShutTimer = 120;
    cliShutEnabled = 1;
    cliHibernate = 1;
    cliShutTimer = 5;
    cliRun.clear();
}

DeviceShutCfg& DeviceShutCfg::fromJson(const tkl::JsonObject& json) {
    clear();
    id = toText(json, "id");
    enabled = toFlag(json, "enabled");
    counterManual = toUInt32(json, "counterManual");
    counterOpBattery = toUInt32(json, "counterOpBattery");
    counterLoBattery = toUInt32(json, "counterLoBattery");
    counterFailure = toUInt32(json, "counterFailure");
    counterTimer = toUInt32(json, "counterTimer");
    counterBatLevel = toUInt32(json, "counterBatLevel");
    remCtrlDelay = toUInt32(json, "remCtrlDelay");
    devShutEnabled = toFlag(json, "devShutEnabled");
    devStandByKeep = toFlag(json, "devStandByKeep");
    devShutTimer = toUInt32(json, "devShutTimer");
    cliShutEnabled = toFlag(json, "cliShutEnabled");
    cliHibernate = toFlag(json, "cliHibernate");
    cliShutTimer = toUInt32(json, "cliShutTimer");
    cliRun = toText(json, "cliRun");
    return *this;
}

tkl::JsonObject DeviceShutCfg::toJson() const {
    tkl::JsonObject json;
    json.insert("id", tkl::JsonValue(id));
    json.insert("enabled", tkl::JsonValue(enabled));
    json.insert("counterManual", tkl::JsonValue(counterManual));
    json.insert("counterOpBattery", tkl::JsonValue(counterOpBattery));
    json.insert("counterLoBattery", tkl::JsonValue(counterLoBattery));
    json.insert("counterFailure", tkl::JsonValue(counterFailure));
    json.insert("counterTimer", tkl::JsonValue(counterTimer));
    json.insert("counterBatLevel", tkl::JsonValue(counterBatLevel));
    json.insert("remCtrlDelay", tkl::JsonValue(remCtrlDelay));
    json.insert("devShutEnabled", tkl::JsonValue(devShutEnabled));
    json.insert("devStandByKeep", tkl::JsonValue(devStandByKeep));
    json.insert("devShutTimer", tkl::JsonValue(devShutTimer));
    json.insert("cliShutEnabled", tkl::JsonValue(cliShutEnabled));
    json.insert("cliHibernate", tkl::JsonValue(cliHibernate));
    json.insert("cliShutTimer", tkl::JsonValue(cliShutTimer));
    json.insert("cliRun", tkl::JsonValue(cliRun));
    return json;
}

}  // namespace custovia
