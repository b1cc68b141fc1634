#include "config/MonitConfig.h"

#include <sstream>

#include "tkl/Logger.h"

namespace custovia {

namespace {
constexpr int32_t kFatal = static_cast<int32_t>(tkl::LogLevel::Fatal);
}  // namespace

MonitGeneralConfig::MonitGeneralConfig() : monitEnable(true), rs232Enable(true) {}

MonitGeneralConfig::~MonitGeneralConfig() = default;

std::string MonitGeneralConfig::toString() const {
    std::ostringstream out;
    out << "monit: {monit.enable=" << (monitEnable ? 1 : 0)
        << ", rs232.enable=" << (rs232Enable ? 1 : 0) << "}";
    return out.str();
}

void MonitGeneralConfig::assign(const MonitGeneralConfig& other) {
    monitEnable = other.monitEnable;
    rs232Enable = other.rs232Enable;
}

void MonitGeneralConfig::reset() {
    monitEnable = true;
    rs232Enable = true;
}

MonitServerConfig::MonitServerConfig() : tcpPort(4470), udpPort(4470) {}

MonitServerConfig::~MonitServerConfig() = default;

std::string MonitServerConfig::toString() const {
    std::ostringstream out;
    out << "web: {tcp.port=" << tcpPort << ", udp.port=" << udpPort << "}";
    return out.str();
}

void MonitServerConfig::assign(const MonitServerConfig& other) {
    tcpPort = other.tcpPort;
    udpPort = other.udpPort;
}

void MonitServerConfig::reset() {
    tcpPort = 4470;
    udpPort = 4470;
}

MonitLogConfig::MonitLogConfig() : histHours(1), histDays(1), histMonths(1), eventMonths(6) {}

MonitLogConfig::~MonitLogConfig() = default;

std::string MonitLogConfig::toString() const {
    std::ostringstream out;
    out << "log: {hist.hours=" << histHours << ", hist.days=" << histDays
        << ", hist.months=" << histMonths << ", event.months=" << eventMonths << "}";
    return out.str();
}

void MonitLogConfig::assign(const MonitLogConfig& other) {
    histHours = other.histHours;
    histDays = other.histDays;
    histMonths = other.histMonths;
    eventMonths = other.eventMonths;
}

void MonitLogConfig::reset() {
    histHours = 1;
    histDays = 1;
    histMonths = 1;
    eventMonths = 6;
}

MonitLoggerConfig::MonitLoggerConfig()
    : devicemonitFilename("cussvc.log"),
      devicemonitLevel(kFatal),
      devicemanagerFilename("device.log"),
      devicemanagerLevel(kFatal),
      serialhidFilename("serialhid.log"),
      serialhidLevel(kFatal) {}

MonitLoggerConfig::~MonitLoggerConfig() = default;

std::string MonitLoggerConfig::toString() const {
    return "debug: {devicemonit.filename=" + devicemonitFilename +
           ", devicemonit.level=" + tkl::Logger::levelToString(devicemonitLevel) +
           ", devicemanager.filename=" + devicemanagerFilename +
           ", devicemanager.level=" + tkl::Logger::levelToString(devicemanagerLevel) +
           ", serialhid.filename=" + serialhidFilename +
           ", serialhid.level=" + tkl::Logger::levelToString(serialhidLevel) + "}";
}

void MonitLoggerConfig::assign(const MonitLoggerConfig& other) {
    devicemonitFilename = other.devicemonitFilename;
    devicemonitLevel = other.devicemonitLevel;
    devicemanagerFilename = other.devicemanagerFilename;
    devicemanagerLevel = other.devicemanagerLevel;
    serialhidFilename = other.serialhidFilename;
    serialhidLevel = other.serialhidLevel;
}

void MonitLoggerConfig::reset() {
    *this = MonitLoggerConfig();
}

MonitConfig::MonitConfig() = default;

MonitConfig::~MonitConfig() = default;

std::string MonitConfig::toString() const {
    return "monitconfig: {" + general.toString() + ", " + server.toString() + ", " +
           log.toString() + ", " + logger.toString() + ", }";
}

void MonitConfig::assign(const MonitConfig& other) {
    general.assign(other.general);
    server.assign(other.server);
    log.assign(other.log);
    logger.assign(other.logger);
}

void MonitConfig::reset() {
    general.reset();
    server.reset();
    log.reset();
    logger.reset();
}

}  // namespace custovia
