// The topics and payloads the gateway publishes for one unit: its state
// object, and the Home Assistant discovery configs of its sensors, binary
// sensors and command buttons. Pure functions of their arguments.
#pragma once

#include <QJsonObject>

#include <string>
#include <utility>
#include <vector>

namespace custovia {
namespace mqtt {

// Where a unit's messages go.
struct UnitTopics {
    std::string prefix;           // --mqtt-prefix
    std::string discoveryPrefix;  // --discovery-prefix
    std::string host;             // the library's host key
    std::string device;           // the unit's id at its service

    // "<prefix>/<host>/<device>" with each level made safe for a topic.
    std::string base() const;
    std::string state() const;                           // base()/state
    std::string availability() const;                    // <prefix>/<host>/availability
    std::string gatewayStatus() const;                   // <prefix>/status, the gateway's last will
    std::string command(const std::string& name) const;  // base()/command/<name>
    // Home Assistant's node id: letters, digits, '_' and '-' only.
    std::string nodeId() const;
    std::string configTopic(const char* component, const char* key) const;
};

// A topic level for a text: '/', '+', '#' and control characters become '_';
// an empty text gives "_".
std::string topicLevel(const std::string& text);

// The commands a unit's buttons send, as on the HTTP interface.
const std::vector<const char*>& commandNames();

// The state topic's payload: the unit's JSON form without its age (retained
// messages would carry a stale one), plus onBattery, lowBattery, overload,
// failure and countdownSeconds (null when no countdown runs).
QJsonObject statePayload(const QJsonObject& unit);

// Every discovery config of the unit, as topic and compact JSON text. With
// `commands` false the buttons' topics come with an empty payload, which
// removes buttons an earlier run published.
std::vector<std::pair<std::string, std::string>> discoveryConfigs(const UnitTopics& topics,
                                                                  const QJsonObject& unit,
                                                                  bool commands);
// The topics of every config discoveryConfigs() can publish, to clear them.
std::vector<std::string> discoveryTopics(const UnitTopics& topics);

// What a config depends on besides the topics (names, model, firmware): when
// it changes, the configs are published again.
std::string discoveryIdentity(const QJsonObject& unit);

}  // namespace mqtt
}  // namespace custovia
