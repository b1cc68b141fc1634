// custovia::MonitChanges: the change events between two states of a host's
// units. A refresh cycle hands it the units as the cache holds them at its
// end; it answers what changed since the state of the previous cycle.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/Device.h"
#include "model/Regressive.h"
#include "monit/MonitEvent.h"
#include "tkl/Json.h"

namespace custovia {

// The units of the service's own computer, as one cycle left them.
struct MonitView {
    std::map<std::string, Device> devices;
    std::map<std::string, Regressive> countdowns;
    // Per unit: "mail", "dialer", "shutdown" -> the settings' JSON form.
    std::map<std::string, std::map<std::string, tkl::JsonObject>> settings;
};

class MonitChanges {
public:
    // Compares `now` with the view of the previous call and keeps it for the
    // next. A unit seen for the first time gives one DeviceAppeared and
    // nothing else: its state is read, not announced.
    std::vector<MonitEvent> update(MonitView now, int64_t timeMs);

    // "UPS 3 (SIM2466394)": the user's name of the unit (its model name
    // when it has none) and its id.
    static std::string unitLabel(const Device& device);
    // The members of a settings object as text, under "<group>.".
    static void addSettings(std::map<std::string, std::string>& into, const char* group,
                            const tkl::JsonObject& settings);

private:
    MonitView previous_;
};

}  // namespace custovia
