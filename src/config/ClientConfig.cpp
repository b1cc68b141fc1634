#include "config/ClientConfig.h"

#include <sstream>

#include "tkl/JsonRead.h"
#include "tkl/Logger.h"

namespace custovia {

namespace {

constexpr const char* kDefaultHost = "localhost";
constexpr uint32_t kDefaultPort = 4470;
constexpr uint32_t kDefaultInterval = 3000;
constexpr const char* kDefaultBrokerHost = "test.mosquitto.org";
constexpr uint32_t kDefaultBrokerPort = 1883;
constexpr int32_t kFatal = static_cast<int32_t>(tkl::LogLevel::Fatal);

// "<name>: {web.host=..., web.port=...}"
std::string webText(const char* name, const std::string& host, uint32_t port) {
    std::ostringstream out;
    out << name << ": {web.host=" << host << ", web.port=" << port << "}";
    return out.str();
}

// "<name>: {web.host=..., web.port=..., message.interval=...}"
std::string webText(const char* name, const std::string& host, uint32_t port, uint32_t interval) {
    std::ostringstream out;
    out << name << ": {web.host=" << host << ", web.port=" << port
        << ", message.interval=" << interval << "}";
    return out.str();
}

std::string loggerPair(const char* channel, const std::string& fileName, int32_t level) {
    return std::string(channel) + ".filename=" + fileName + ", " + channel +
           ".level=" + tkl::Logger::levelToString(level);
}

}  // namespace

// --- ShutSvcConfig ---

ShutSvcConfig::ShutSvcConfig() : webHost(kDefaultHost), webPort(kDefaultPort) {}

ShutSvcConfig::~ShutSvcConfig() = default;

std::string ShutSvcConfig::toString() const {
    return webText("shutsvc", webHost, webPort);
}

void ShutSvcConfig::assign(const ShutSvcConfig& other) {
    webHost = other.webHost;
    webPort = other.webPort;
}

void ShutSvcConfig::reset() {
    webHost = kDefaultHost;
    webPort = kDefaultPort;
}

// --- NotifySvcConfig ---

NotifySvcConfig::NotifySvcConfig()
    : webHost(kDefaultHost), webPort(kDefaultPort), messageInterval(kDefaultInterval) {}

NotifySvcConfig::~NotifySvcConfig() = default;

std::string NotifySvcConfig::toString() const {
    return webText("notifysvc", webHost, webPort, messageInterval);
}

void NotifySvcConfig::assign(const NotifySvcConfig& other) {
    webHost = other.webHost;
    webPort = other.webPort;
    messageInterval = other.messageInterval;
}

void NotifySvcConfig::reset() {
    webHost = kDefaultHost;
    webPort = kDefaultPort;
    messageInterval = kDefaultInterval;
}

NotifySvcConfig& NotifySvcConfig::fromJson(const tkl::JsonObject& json) {
    reset();
    webHost = json.value("webHost").toString();
    webPort = tkl::jsonread::toUInt32(json, "webPort");
    messageInterval = tkl::jsonread::toUInt32(json, "messageInterval");
    return *this;
}

tkl::JsonObject NotifySvcConfig::toJson() const {
    // Only members that hold a usable value are written.
    tkl::JsonObject json;
    if (!webHost.empty()) {
        json.insert("webHost", tkl::JsonValue(webHost));
    }
    if (webPort < 65536) {
        json.insert("webPort", tkl::JsonValue(webPort));
    }
    if (messageInterval != 0) {
        json.insert("messageInterval", tkl::JsonValue(messageInterval));
    }
    return json;
}

// --- NotifyGuiConfig ---

NotifyGuiConfig::NotifyGuiConfig()
    : webHost(kDefaultHost), webPort(kDefaultPort), messageInterval(kDefaultInterval) {}

NotifyGuiConfig::~NotifyGuiConfig() = default;

std::string NotifyGuiConfig::toString() const {
    return webText("notifygui", webHost, webPort, messageInterval);
}

void NotifyGuiConfig::assign(const NotifyGuiConfig& other) {
    webHost = other.webHost;
    webPort = other.webPort;
    messageInterval = other.messageInterval;
}

void NotifyGuiConfig::reset() {
    webHost = kDefaultHost;
    webPort = kDefaultPort;
    messageInterval = kDefaultInterval;
}

// --- CloudSvcMqttConfig ---

CloudSvcMqttConfig::CloudSvcMqttConfig()
    : enable(true), brokerHost(kDefaultBrokerHost), brokerPort(kDefaultBrokerPort) {}

CloudSvcMqttConfig::~CloudSvcMqttConfig() = default;

std::string CloudSvcMqttConfig::toString() const {
    std::ostringstream out;
    out << "mqtt: {enable=" << (enable ? 1 : 0) << ", brokerHost=\"" << brokerHost
        << "\", brokerPort=" << brokerPort << "}";
    return out.str();
}

void CloudSvcMqttConfig::assign(const CloudSvcMqttConfig& other) {
    enable = other.enable;
    brokerHost = other.brokerHost;
    brokerPort = other.brokerPort;
}

void CloudSvcMqttConfig::reset() {
    enable = true;
    brokerHost = kDefaultBrokerHost;
    brokerPort = kDefaultBrokerPort;
}

// --- CloudSvcConfig ---

CloudSvcConfig::CloudSvcConfig()
    : webHost(kDefaultHost), webPort(kDefaultPort), messageInterval(kDefaultInterval) {}

CloudSvcConfig::CloudSvcConfig(const CloudSvcConfig& other)
    : tkl::Object(other),
      webHost(other.webHost),
      webPort(other.webPort),
      messageInterval(other.messageInterval) {}

CloudSvcConfig::~CloudSvcConfig() = default;

std::string CloudSvcConfig::toString() const {
    return webText("cloudsvc", webHost, webPort, messageInterval);
}

void CloudSvcConfig::assign(const CloudSvcConfig& other) {
    webHost = other.webHost;
    webPort = other.webPort;
    messageInterval = other.messageInterval;
}

void CloudSvcConfig::reset() {
    webHost = kDefaultHost;
    webPort = kDefaultPort;
    messageInterval = kDefaultInterval;
}

// --- ClientLoggerConfig ---

ClientLoggerConfig::ClientLoggerConfig()
    : monitclientFilename("client.log"),
      monitclientLevel(kFatal),
      notifysvcFilename("notifysvc.log"),
      notifysvcLevel(kFatal),
      notifyguiFilename("notifygui.log"),
      notifyguiLevel(kFatal),
      shutsvcFilename("shutsvc.log"),
      shutsvcLevel(kFatal),
      cloudsvcFilename("cloudsvc.log"),
      cloudsvcLevel(kFatal) {}

ClientLoggerConfig::~ClientLoggerConfig() = default;

std::string ClientLoggerConfig::toString() const {
    return "debug: {" + loggerPair("monitclient", monitclientFilename, monitclientLevel) + ", " +
           loggerPair("notifysvc", notifysvcFilename, notifysvcLevel) + ", " +
           loggerPair("notifygui", notifyguiFilename, notifyguiLevel) + ", " +
           loggerPair("shutsvc", shutsvcFilename, shutsvcLevel) + ", " +
           loggerPair("cloudsvc", cloudsvcFilename, cloudsvcLevel) + "}";
}

void ClientLoggerConfig::assign(const ClientLoggerConfig& other) {
    *this = other;
}

void ClientLoggerConfig::reset() {
    *this = ClientLoggerConfig();
}

// --- ClientConfig ---

ClientConfig::ClientConfig() = default;

ClientConfig::~ClientConfig() = default;

std::string ClientConfig::toString() const {
    return "clientconfig: {" + notifysvc.toString() + ", " + notifygui.toString() + ", " +
           shutsvc.toString() + ", " + cloudsvc.toString() + ", " + logger.toString() + "}";
}

void ClientConfig::assign(const ClientConfig& other) {
    notifysvc.assign(other.notifysvc);
    notifygui.assign(other.notifygui);
    shutsvc.assign(other.shutsvc);
    cloudsvc.assign(other.cloudsvc);
    logger.assign(other.logger);
}

void ClientConfig::reset() {
    notifysvc.reset();
    notifygui.reset();
    shutsvc.reset();
    cloudsvc.reset();
    logger.reset();
}

}  // namespace custovia
