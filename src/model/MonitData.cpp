#include "model/MonitData.h"

#include <sstream>

namespace custovia {

MonitData::MonitData() {
    clear();
}

MonitData::MonitData(const MonitData& other) : tkl::Object(other) {
    assign(other);
}

MonitData& MonitData::operator=(const MonitData& other) {
    return assign(other);
}

MonitData::~MonitData() = default;

std::string MonitData::toString() const {
    std::ostringstream out;
    out << "actualState: {" << actualState.str() << "},\n"
        << "oldState: {" << oldState.str() << "},\n"
        << "config: {" << config.str() << "},\n"
        << "shutCfg: {" << shutCfg.str() << "},\n"
        << "actualRegressive: {" << actualRegressive.str() << "},\n"
        << "oldRegressive: {" << oldRegressive.str() << "},\n"
        << "regressiveCounter: {" << regressiveCounter.str() << "},\n"
        << "remoteCtrlTimer = " << remoteCtrlTimer;
    return out.str();
}

MonitData& MonitData::assign(const MonitData& other) {
    actualState.assign(other.actualState);
    oldState.assign(other.oldState);
    config.assign(other.config);
    shutCfg.assign(other.shutCfg);
    regressiveCounter.assign(other.regressiveCounter);
    actualRegressive.assign(other.actualRegressive);
    oldRegressive.assign(other.oldRegressive);
    remoteCtrlTimer = other.remoteCtrlTimer;
    return *this;
}

void MonitData::clear() {
    actualState.clear();
    oldState.clear();
    config.clear();
    shutCfg.clear();
    regressiveCounter.clearAll();
    actualRegressive.clear();
    oldRegressive.clear();
    remoteCtrlTimer = -1;
}

}  // namespace custovia
