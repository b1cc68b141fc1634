// What the tool shows of hosts, computers and devices: a snapshot taken from
// the library's data, the state of a unit in words, and its table, detail and
// JSON forms. JSON member names are stable: scripts rely on them.
#pragma once

#include <QJsonObject>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "cli/Session.h"
#include "cli/UnitState.h"

namespace custovia {
namespace cli {

struct DeviceView {
    custovia::Device device;
    std::string modelName;  // empty until the model description is known
    custovia::DeviceConfig config;
    bool hasConfig = false;
    custovia::Regressive countdown;
    bool hasCountdown = false;
};

struct ComputerView {
    std::string id;  // "localhost" or the computer's address
    custovia::Computer computer;
    std::vector<DeviceView> devices;
};

struct HostView {
    std::string url;
    std::string key;
    bool ready = false;
    int32_t status = 0;
    std::vector<ComputerView> computers;
};

// Everything the hosts' data hold for the selected computer (all computers
// when none is selected). Reads only the library's data; never waits.
std::vector<HostView> snapshot(Session& session);
// One device with its model description and countdown.
DeviceView deviceView(Session& session, const Host& host, const std::string& id);

// Milliseconds since 1970 now, for the age of readings.
int64_t nowMs();

void printStatus(std::ostream& out, const std::vector<HostView>& hosts, bool color);
QJsonObject statusJson(const std::vector<HostView>& hosts);
void printDevice(std::ostream& out, const DeviceView& view, bool color);
QJsonObject deviceJson(const DeviceView& view, bool detail);
QJsonObject computerJson(const std::string& id, const custovia::Computer& computer);
// Indented JSON text with a final line feed; compact on one line with `compact`.
std::string jsonText(const QJsonObject& object, bool compact = false);

}  // namespace cli
}  // namespace custovia
