#include "common/UnitState.h"

#include <map>

namespace custovia {
namespace tools {

using Flags = std::vector<std::pair<const char*, bool>>;

UnitState unitState(const custovia::Device& d) {
    const auto& s = d.status;
    const auto& f = d.failures;
    if (!s.connected) {
        return UnitState::NotConnected;
    }
    if (s.inShutdown) {
        return UnitState::ShuttingDown;
    }
    if (f.overload || f.hiPOutput || s.hiPOutput) {
        return UnitState::Overload;
    }
    for (const auto& flag : failureFlags(f)) {
        if (flag.second) {
            return UnitState::Fault;
        }
    }
    if (s.loBattery) {
        return UnitState::LowBattery;
    }
    if (s.opBattery) {
        return UnitState::OnBattery;
    }
    if (s.opStandBy) {
        return UnitState::StandBy;
    }
    if (s.opCheckup) {
        return UnitState::SelfTest;
    }
    if (s.opStartup) {
        return UnitState::Starting;
    }
    return UnitState::OnLine;
}

const char* stateWords(UnitState state) {
    switch (state) {
        case UnitState::NotConnected:
            return "Not connected";
        case UnitState::ShuttingDown:
            return "Shutting down";
        case UnitState::Overload:
            return "Overload";
        case UnitState::Fault:
            return "Fault";
        case UnitState::LowBattery:
            return "Low battery";
        case UnitState::OnBattery:
            return "On battery";
        case UnitState::StandBy:
            return "Stand-by";
        case UnitState::SelfTest:
            return "Self test";
        case UnitState::Starting:
            return "Starting";
        case UnitState::OnLine:
            break;
    }
    return "On line";
}

const char* stateToken(UnitState state) {
    switch (state) {
        case UnitState::NotConnected:
            return "notConnected";
        case UnitState::ShuttingDown:
            return "shuttingDown";
        case UnitState::Overload:
            return "overload";
        case UnitState::Fault:
            return "fault";
        case UnitState::LowBattery:
            return "lowBattery";
        case UnitState::OnBattery:
            return "onBattery";
        case UnitState::StandBy:
            return "standBy";
        case UnitState::SelfTest:
            return "selfTest";
        case UnitState::Starting:
            return "starting";
        case UnitState::OnLine:
            break;
    }
    return "onLine";
}

double loadPercent(const custovia::DeviceVars& v) {
    return v.nominalPOutput > 0 ? 100.0 * v.pOutput / v.nominalPOutput : -1;
}

#define CUSTOVIA_FLAG(x) \
    { #x, static_cast < bool>(f.x) }

Flags statusFlags(const custovia::DeviceFlags& f) {
    return {CUSTOVIA_FLAG(connected),
            CUSTOVIA_FLAG(inShutdown),
            CUSTOVIA_FLAG(opStartup),
            CUSTOVIA_FLAG(opBattery),
            CUSTOVIA_FLAG(opStandBy),
            CUSTOVIA_FLAG(opCheckup),
            CUSTOVIA_FLAG(opWarning),
            CUSTOVIA_FLAG(noVInput),
            CUSTOVIA_FLAG(loVInput),
            CUSTOVIA_FLAG(hiVInput),
            CUSTOVIA_FLAG(loFInput),
            CUSTOVIA_FLAG(hiFInput),
            CUSTOVIA_FLAG(noSyncInput),
            CUSTOVIA_FLAG(syncInput),
            CUSTOVIA_FLAG(noiseInput),
            CUSTOVIA_FLAG(hiPOutput),
            CUSTOVIA_FLAG(loBattery),
            CUSTOVIA_FLAG(maxBattery),
            CUSTOVIA_FLAG(noBattery),
            CUSTOVIA_FLAG(oldBattery),
            CUSTOVIA_FLAG(moreBattery),
            CUSTOVIA_FLAG(lessBattery),
            CUSTOVIA_FLAG(shutdownTimerActive),
            CUSTOVIA_FLAG(remoteControlActive),
            CUSTOVIA_FLAG(noCalibrated)};
}

Flags failureFlags(const custovia::DeviceFailFlags& f) {
    return {
        CUSTOVIA_FLAG(overtemp),        CUSTOVIA_FLAG(internal),   CUSTOVIA_FLAG(overload),
        CUSTOVIA_FLAG(shortcircuit),    CUSTOVIA_FLAG(inverter),   CUSTOVIA_FLAG(fan),
        CUSTOVIA_FLAG(tiristor),        CUSTOVIA_FLAG(endBattery), CUSTOVIA_FLAG(loVInput),
        CUSTOVIA_FLAG(abnormalVOutput), CUSTOVIA_FLAG(hiPOutput),  CUSTOVIA_FLAG(abnormalVBattery)};
}

Flags capabilities(const custovia::DeviceCapabilities& f) {
    return {CUSTOVIA_FLAG(hasCBattery),
            CUSTOVIA_FLAG(hasChangeAutonomy),
            CUSTOVIA_FLAG(hasFOutput),
            CUSTOVIA_FLAG(hasFamily),
            CUSTOVIA_FLAG(hasICBattery),
            CUSTOVIA_FLAG(hasIOutput),
            CUSTOVIA_FLAG(hasManualShutdown),
            CUSTOVIA_FLAG(hasStandBy),
            CUSTOVIA_FLAG(hasModel),
            CUSTOVIA_FLAG(hasNightOff),
            CUSTOVIA_FLAG(hasNominalFOutput),
            CUSTOVIA_FLAG(hasNominalPOutput),
            CUSTOVIA_FLAG(hasNominalVBattery),
            CUSTOVIA_FLAG(hasNominalVInput),
            CUSTOVIA_FLAG(hasNominalVOutput),
            CUSTOVIA_FLAG(hasPOutput),
            CUSTOVIA_FLAG(hasPowerLook),
            CUSTOVIA_FLAG(hasSampIOutput),
            CUSTOVIA_FLAG(hasSampVInput),
            CUSTOVIA_FLAG(hasSampVOutput),
            CUSTOVIA_FLAG(hasSetDischargeBattery),
            CUSTOVIA_FLAG(hasSetICBattery),
            CUSTOVIA_FLAG(hasShutdownTimer),
            CUSTOVIA_FLAG(hasTemperature),
            CUSTOVIA_FLAG(hasVBattery),
            CUSTOVIA_FLAG(hasVInput),
            CUSTOVIA_FLAG(hasVOutput),
            CUSTOVIA_FLAG(hasVersion),
            CUSTOVIA_FLAG(hasWakeUp),
            CUSTOVIA_FLAG(hasSetLineSens)};
}

#undef CUSTOVIA_FLAG

const char* flagWords(const char* name) {
    static const std::map<std::string, const char*> words = {
        {"connected", "connected"},
        {"inShutdown", "shutdown in progress"},
        {"opStartup", "starting up"},
        {"opBattery", "on battery"},
        {"opStandBy", "stand-by"},
        {"opCheckup", "self test"},
        {"opWarning", "warning"},
        {"noVInput", "no input voltage"},
        {"loVInput", "input voltage low"},
        {"hiVInput", "input voltage high"},
        {"loFInput", "input frequency low"},
        {"hiFInput", "input frequency high"},
        {"noSyncInput", "not synchronised with the input"},
        {"syncInput", "synchronised with the input"},
        {"noiseInput", "noise on the input"},
        {"hiPOutput", "output power high"},
        {"loBattery", "battery low"},
        {"maxBattery", "battery full"},
        {"noBattery", "no battery"},
        {"oldBattery", "battery worn out"},
        {"moreBattery", "more battery"},
        {"lessBattery", "less battery"},
        {"shutdownTimerActive", "shutdown timer running"},
        {"remoteControlActive", "remote control active"},
        {"noCalibrated", "not calibrated"},
        {"overtemp", "over-temperature"},
        {"internal", "internal failure"},
        {"overload", "output overload"},
        {"shortcircuit", "output short circuit"},
        {"inverter", "inverter failure"},
        {"fan", "fan failure"},
        {"tiristor", "thyristor failure"},
        {"endBattery", "battery exhausted"},
        {"abnormalVOutput", "abnormal output voltage"},
        {"abnormalVBattery", "abnormal battery voltage"},
    };
    auto it = words.find(name);
    return it == words.end() ? name : it->second;
}

}  // namespace tools
}  // namespace custovia
