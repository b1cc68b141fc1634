#include "model/MonitFlagsComparator.h"

namespace custovia {

MonitFlagsComparator::MonitFlagsComparator() {
    clear();
}

MonitFlagsComparator::MonitFlagsComparator(const MonitFlagsComparator& other) : tkl::Object(other) {
    assign(other);
}

MonitFlagsComparator& MonitFlagsComparator::operator=(const MonitFlagsComparator& other) {
    return assign(other);
}

MonitFlagsComparator::~MonitFlagsComparator() = default;

MonitFlagsComparator& MonitFlagsComparator::assign(const MonitFlagsComparator& other) {
    failOn_.assign(other.failOn_);
    failOff_.assign(other.failOff_);
    flagsOn_.assign(other.flagsOn_);
    flagsOff_.assign(other.flagsOff_);
    changed_ = other.changed_;
    return *this;
}

void MonitFlagsComparator::clear() {
    failOn_.clear();
    failOff_.clear();
    flagsOn_.clear();
    flagsOff_.clear();
    changed_ = false;
}

// The flags are bit fields, so each one is compared by name.
#define COMPARE_FLAG(from, on, off, flag)       \
    on.flag = !old.from.flag && now.from.flag;  \
    off.flag = old.from.flag && !now.from.flag; \
    changed_ = changed_ || old.from.flag != now.from.flag;

void MonitFlagsComparator::compare(const Device& old, const Device& now) {
    clear();
#define FAIL(flag) COMPARE_FLAG(failures, failOn_, failOff_, flag)
    FAIL(overtemp)
    FAIL(internal)
    FAIL(overload)
    FAIL(shortcircuit)
    FAIL(inverter)
    FAIL(fan)
    FAIL(tiristor)
    FAIL(endBattery)
    FAIL(loVInput)
    FAIL(abnormalVOutput)
    FAIL(hiPOutput)
    FAIL(abnormalVBattery)
#undef FAIL
#define STATUS(flag) COMPARE_FLAG(status, flagsOn_, flagsOff_, flag)
    STATUS(connected)
    STATUS(inShutdown)
    STATUS(opStartup)
    STATUS(opBattery)
    STATUS(opStandBy)
    STATUS(opCheckup)
    STATUS(opWarning)
    STATUS(noVInput)
    STATUS(loVInput)
    STATUS(hiVInput)
    STATUS(loFInput)
    STATUS(hiFInput)
    STATUS(noSyncInput)
    STATUS(syncInput)
    STATUS(noiseInput)
    STATUS(hiPOutput)
    STATUS(loBattery)
    STATUS(maxBattery)
    STATUS(noBattery)
    STATUS(oldBattery)
    STATUS(moreBattery)
    STATUS(lessBattery)
    STATUS(shutdownTimerActive)
    STATUS(remoteControlActive)
    STATUS(noCalibrated)
#undef STATUS
}

#undef COMPARE_FLAG

DeviceFailFlags MonitFlagsComparator::failOn() const {
    return failOn_;
}

DeviceFailFlags MonitFlagsComparator::failOff() const {
    return failOff_;
}

DeviceFlags MonitFlagsComparator::flagsOn() const {
    return flagsOn_;
}

DeviceFlags MonitFlagsComparator::flagsOff() const {
    return flagsOff_;
}

}  // namespace custovia
