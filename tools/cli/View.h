// What the tool shows of hosts and units: the snapshot of the session's
// hosts (tools/common), its table, the detail view of one unit, and the
// pieces of text both views use. The JSON forms come from common/SnapshotJson.h.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/Session.h"
#include "common/Snapshot.h"
#include "common/SnapshotJson.h"
#include "common/UnitState.h"

namespace custovia {
namespace cli {

using tools::ComputerView;
using tools::DeviceView;
using tools::HostView;
using tools::Snapshot;

// Everything the session's hosts hold for the selected computer (all
// computers when none is selected). Reads only the library's data; never waits.
Snapshot snapshot(Session& session);
// One device of the selected computer with its model description and
// countdown; Failure when the host does not have it.
DeviceView deviceView(Session& session, const Host& host, const std::string& id);

// The status table: one line per unit, one per computer without units, one
// per host without data.
void printStatus(std::ostream& out, const Snapshot& snapshot, bool color);
// One unit in detail: identity, readings, state, capabilities.
void printDevice(std::ostream& out, const DeviceView& view, bool color);

// Colour of a unit state in a table or heading.
const char* stateColor(tools::UnitState state);
// The model's name, or "family/model" until the model description is known.
std::string modelText(const DeviceView& view);

}  // namespace cli
}  // namespace custovia
