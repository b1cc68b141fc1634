// The JSON forms of a snapshot. Member names are stable: scripts reading
// `custovia --json` and clients of the gateway's API rely on them, and both
// programs write them with these functions only.
//   hostsJson    {"hosts":[{host,url,connected,ready,status,monVersion,...,
//                           hostState,hostStateText,stale,health:{reachable,...}}]}
//   devicesJson  {"hosts":[{host,url,ready,status,hostState,hostStateText,stale,health,
//                           computers:[{id,...,devices:[...]}]}]}
//   deviceJson   one unit: {id,name,...,state,stateText,flags,failures,countdown,...};
//                with `detail` also nominal values, timers, LED, port, capabilities
//   eventJson    one change event: {seq,timeMs,kind,host,computer,device,name,
//                oldValue,newValue,text,lost}
#pragma once

#include <QJsonObject>

#include <string>

#include "common/Snapshot.h"

namespace custovia {
namespace tools {

// The hosts and what their services report about themselves.
QJsonObject hostsJson(const Snapshot& snapshot);
// Every host with its computers and their units.
QJsonObject devicesJson(const Snapshot& snapshot);
// One unit; `nowMs` is the time its reading's age counts to.
QJsonObject deviceJson(const DeviceView& device, bool detail, int64_t nowMs);
QJsonObject computerJson(const std::string& id, const custovia::Computer& computer);
QJsonObject eventJson(const CustoviaEvent& event);

// Indented JSON text with a final line feed; compact on one line with `compact`.
std::string jsonText(const QJsonObject& object, bool compact = false);

}  // namespace tools
}  // namespace custovia
