#include "monit/MonitClientComputer.h"

namespace custovia {

MonitClientComputer::MonitClientComputer() = default;

MonitClientComputer::MonitClientComputer(const MonitClientComputer& other) : tkl::Object() {
    assign(other);
}

MonitClientComputer& MonitClientComputer::operator=(const MonitClientComputer& other) {
    assign(other);
    return *this;
}

MonitClientComputer::~MonitClientComputer() = default;

void MonitClientComputer::assign(const MonitClientComputer& other) {
    if (&other == this) {
        return;
    }
    computer.assign(other.computer);
    devices = other.devices;
    regressives = other.regressives;
    deviceConfigs = other.deviceConfigs;
}

}  // namespace custovia
