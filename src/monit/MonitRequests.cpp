// The requests of the monitoring interface and the procedure they share.
#include <algorithm>
#include <chrono>
#include <string>
#include <type_traits>

#include "monit/MonitClient.h"
#include "monit/MonitClientLock.h"
#include "tkl/Exception.h"
#include "tkl/Json.h"
#include "tkl/Logger.h"

namespace custovia {

namespace {

bool isLocal(const std::string& computer) {
    return computer.empty() || computer == kLocalhost;
}

// The path prefix of a computer's resources: none for the service's own
// computer, "computer/<id>/" for the others.
std::string prefix(const std::string& computer) {
    return isLocal(computer) ? std::string()
                             : "computer/" + MonitClient::pathSegment(computer) + "/";
}

std::string devicePath(const std::string& computer, const std::string& device,
                       const char* suffix = "") {
    return prefix(computer) + "device/" + MonitClient::pathSegment(device) + suffix;
}

tkl::JsonObject confirmed() {
    tkl::JsonObject body;
    body.insert("confirm", 1);
    return body;
}

// A member the answer must carry: without it the answer is not one the
// service gives, and taking it as empty would wipe cached data.
tkl::JsonValue required(const tkl::JsonObject& object, const char* key, tkl::JsonValue::Type type) {
    tkl::JsonValue value = object.value(key);
    if (value.type() != type) {
        throw tkl::DataFormatException(
            std::string("Error: member <") + key + "> missing in the response",
            tkl::DataFormatException::defaultCode);
    }
    return value;
}

template <typename Record>
Record recordFrom(const tkl::JsonObject& object) {
    Record record;
    record.fromJson(object);
    return record;
}

}  // namespace

// --- Request procedure --------------------------------------------------------

std::string MonitClient::RequestLog::text() const {
    std::string line = std::string("MonitClient: <") + operation + "> ";
    if (sent) {
        tkl::HttpClientRequest request(url);
        request.setHeader("Accept", "application/json");
        line += "Request: " + request.str();
    }
    return line + transfer;
}

template <typename Build>
auto MonitClient::request(const char* operation, Build build) {
    // The log text is put together only for a line that is written.
    RequestLog log;
    log.operation = operation;
    try {
        if (!running_) {
            throw tkl::IOException("Client not running", tkl::IOException::defaultCode);
        }
        // A refresh cycle counts the requests its service answered.
        auto count = [this] {
            if (CycleRun* run = currentRun()) {
                ++run->succeeded;
            }
        };
        if constexpr (std::is_void_v<decltype(build(log))>) {
            build(log);
            count();
        } else {
            auto answer = build(log);
            count();
            return answer;
        }
    } catch (const tkl::Exception& e) {
        std::string line = maskPasswords(log.text() + ". Error: " + e.message());
        logger_->error(line);
        if (CycleRun* run = currentRun()) {
            if (run->failed++ == 0) {
                run->firstCode = e.code();
            }
            run->lastCode = e.code();
            run->lastError = line;
        }
        throw tkl::IOException(e.message(), tkl::IOException::defaultCode);
    }
}

tkl::JsonObject MonitClient::exchange(RequestLog& log, const char* method, Base base,
                                      const std::string& path, const tkl::JsonObject* body,
                                      bool parse) {
    if (base == Base::Service) {
        log.url = urlFor(path);
    } else {
        std::string api = apiUri();
        log.url = path.empty() ? api : buildUrl(api, path);
    }
    tkl::HttpClientRequest request(log.url);
    request.setHeader("Accept", "application/json");
    log.sent = true;

    tkl::HttpClientData data;
    if (body != nullptr) {
        data.setObject(*body);
    }
    // A cycle with a deadline gives each request the time that is left.
    int32_t timeout = requestTimeout;
    CycleRun* run = currentRun();
    if (run != nullptr && run->hasDeadline) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(run->deadline - Clock::now());
        if (left.count() <= 0) {
            run->timedOut = true;
            throw tkl::TimeoutException("Error: the refresh time-out elapsed",
                                        tkl::TimeoutException::defaultCode);
        }
        timeout = static_cast<int32_t>(std::min<int64_t>(timeout, left.count()));
    }
    tkl::HttpClientResponse response;
    {
        std::lock_guard<std::mutex> guard(requestMutex_);
        ++requests_;
        http_.setTimeout(timeout);
        struct RestoreTimeout {
            tkl::HttpClient& http;
            ~RestoreTimeout() { http.setTimeout(requestTimeout); }
        } restore{http_};
        try {
            response = http_.send(method, request, data);
        } catch (const tkl::ProtocolException&) {
            if (timeout < requestTimeout && http_.lastTimedOut()) {
                // The time left to the caller ran out during the transfer.
                run->timedOut = true;
            }
            // libcurl's reason (a refused connection, a certificate problem)
            // goes into the log line.
            std::string reason = http_.lastErrorText();
            if (!reason.empty()) {
                log.transfer = " Transfer: " + reason;
            }
            throw;
        }
    }
    if (response.status() != 200) {
        throw tkl::IOException("HTTP Error " + std::to_string(response.status()),
                               tkl::IOException::defaultCode);
    }
    tkl::LoggerOptions options = logger_->options();
    if (options.output != static_cast<int32_t>(tkl::LogOutput::None) &&
        options.level <= static_cast<int32_t>(tkl::LogLevel::Trace)) {
        logger_->trace(maskPasswords(log.text() + " Response: " + response.str()));
    }
    if (!parse) {
        return tkl::JsonObject();
    }
    tkl::JsonDocument document;
    document.fromJson(response.content().bytes());
    if (!document.isObject()) {
        throw tkl::DataFormatException("Error: the response is not a JSON object",
                                       tkl::DataFormatException::defaultCode);
    }
    return document.object();
}

tkl::JsonObject MonitClient::getObject(const char* operation, const std::string& path) {
    return request(operation, [&](RequestLog& log) {
        return exchange(log, "GET", Base::Api, path, nullptr, true);
    });
}

void MonitClient::sendBody(const char* operation, const char* method, const std::string& path,
                           const tkl::JsonObject& body) {
    request(operation,
            [&](RequestLog& log) { exchange(log, method, Base::Api, path, &body, false); });
}

// --- Computers ----------------------------------------------------------------

void MonitClient::getApiUri() {
    request("getApiUri", [&](RequestLog& log) {
        tkl::JsonObject answer = exchange(log, "GET", Base::Service, "mon", nullptr, true);
        std::string uri = required(answer, "uri", tkl::JsonValue::String).toString();
        std::string api = urlFor(uri);
        CacheLock lock(*this);
        std::lock_guard<std::mutex> guard(apiMutex_);
        apiUri_ = api;
    });
}

void MonitClient::getComputerList() {
    request("getComputerList", [&](RequestLog& log) {
        tkl::JsonObject answer = exchange(log, "GET", Base::Api, "computer", nullptr, true);
        tkl::JsonArray list = required(answer, "computers", tkl::JsonValue::Array).toArray();
        CacheLock lock(*this);
        for (int i = 0; i < list.size(); ++i) {
            Computer record = recordFrom<Computer>(list.at(i).toObject());
            // A computer without an address cannot be asked for anything.
            if (!record.ip.empty()) {
                computers_[record.ip].computer.assign(record);
            }
        }
    });
}

Computer MonitClient::getVersion(const std::string& computer) {
    std::string path = isLocal(computer) ? std::string() : "computer/" + pathSegment(computer);
    return recordFrom<Computer>(getObject("getVersion", path));
}

// --- Devices ------------------------------------------------------------------

DeviceMap MonitClient::getDeviceList(const std::string& computer) {
    return request("getDeviceList", [&](RequestLog& log) {
        tkl::JsonObject answer =
            exchange(log, "GET", Base::Api, prefix(computer) + "device", nullptr, true);
        tkl::JsonArray list = required(answer, "devices", tkl::JsonValue::Array).toArray();
        DeviceMap devices;
        for (int i = 0; i < list.size(); ++i) {
            tkl::JsonObject element = list.at(i).toObject();
            devices[element.value("id").toString()] = recordFrom<Device>(element);
        }
        return devices;
    });
}

void MonitClient::delDevice(const std::string& computer, const std::string& device) {
    sendBody("delDevice", "DELETE", devicePath(computer, device), confirmed());
}

Device MonitClient::getDeviceDetail(const std::string& computer, const std::string& device) {
    return request("getDeviceDetail", [&](RequestLog& log) {
        tkl::JsonObject answer =
            exchange(log, "GET", Base::Api, devicePath(computer, device), nullptr, true);
        Device detail =
            recordFrom<Device>(required(answer, "device", tkl::JsonValue::Object).toObject());
        Regressive regressive = recordFrom<Regressive>(
            required(answer, "regressive", tkl::JsonValue::Object).toObject());
        CacheLock lock(*this);
        MonitClientComputer& entry = this->computer(computer.c_str());
        // The port is known from the device list; the detail does not carry it.
        Device& cached = entry.devices.at(device);
        detail.port.assign(cached.port);
        cached.assign(detail);
        entry.regressives[device].assign(regressive);
        return detail;
    });
}

DeviceConfig MonitClient::getDeviceConfig(const std::string& computer, const std::string& device) {
    return request("getDeviceConfig", [&](RequestLog& log) {
        DeviceConfig config = recordFrom<DeviceConfig>(exchange(
            log, "GET", Base::Api, devicePath(computer, device, "/config"), nullptr, true));
        CacheLock lock(*this);
        this->computer(computer.c_str()).deviceConfigs[device].assign(config);
        return config;
    });
}

DeviceConfig MonitClient::getDeviceConfig(const std::string& computer, int family, int model) {
    std::string path = prefix(computer) + "device/config/" + std::to_string(family);
    if (model >= 0) {
        path += "/" + std::to_string(model);
    }
    return recordFrom<DeviceConfig>(getObject("getDeviceConfig", path));
}

void MonitClient::putDeviceUser(const std::string& computer, const std::string& device,
                                const std::string& userName, const std::string& userProd) {
    tkl::JsonObject body;
    body.insert("userName", userName);
    body.insert("userProd", userProd);
    sendBody("putDeviceUser", "PUT", devicePath(computer, device, "/user"), body);
}

void MonitClient::putDeviceShutdown(const std::string& computer, const std::string& device) {
    sendBody("putDeviceShutdown", "PUT", devicePath(computer, device, "/shutdown"), confirmed());
}

void MonitClient::delDeviceShutdown(const std::string& computer, const std::string& device) {
    sendBody("delDeviceShutdown", "DELETE", devicePath(computer, device, "/shutdown"), confirmed());
}

void MonitClient::putDeviceDischarge(const std::string& computer, const std::string& device) {
    sendBody("putDeviceDischarge", "PUT", devicePath(computer, device, "/discharge"), confirmed());
}

void MonitClient::putDeviceSetLineSense(const std::string& computer, const std::string& device,
                                        int value) {
    tkl::JsonObject body = confirmed();
    body.insert("lineSense", value);
    sendBody("putDeviceSetLineSense", "PUT", devicePath(computer, device, "/linesense"), body);
}

void MonitClient::putDeviceSetICBattery(const std::string& computer, const std::string& device,
                                        int value) {
    tkl::JsonObject body = confirmed();
    body.insert("icBattery", value);
    sendBody("putDeviceSetICBattery", "PUT", devicePath(computer, device, "/icBattery"), body);
}

void MonitClient::putChangeColor(const std::string& computer, const std::string& device, int red,
                                 int green, int blue, bool random) {
    tkl::JsonObject body = confirmed();
    body.insert("red", red);
    body.insert("green", green);
    body.insert("blue", blue);
    body.insert("random", tkl::JsonValue(random ? 1 : 0));
    sendBody("putChangeColor", "PUT", devicePath(computer, device, "/color"), body);
}

tkl::JsonObject MonitClient::getDeviceLog(const std::string& computer, const std::string& device) {
    return getObject("getDeviceLog", devicePath(computer, device, "/log"));
}

tkl::JsonObject MonitClient::getDeviceLogHour(const std::string& computer,
                                              const std::string& device) {
    return getObject("getDeviceLogHour", devicePath(computer, device, "/histlog/hour"));
}

tkl::JsonObject MonitClient::getDeviceLogDay(const std::string& computer,
                                             const std::string& device) {
    return getObject("getDeviceLogDay", devicePath(computer, device, "/histlog/day"));
}

tkl::JsonObject MonitClient::getDeviceLogMonth(const std::string& computer,
                                               const std::string& device) {
    return getObject("getDeviceLogMonth", devicePath(computer, device, "/histlog/month"));
}

// --- Device action settings ----------------------------------------------------

DeviceMailCfg MonitClient::getMailConfig(const std::string& computer, const std::string& device) {
    return recordFrom<DeviceMailCfg>(
        getObject("getMailConfig", devicePath(computer, device, "/mailcfg")));
}

void MonitClient::postMailConfig(const std::string& computer, const std::string& device,
                                 const DeviceMailCfg& config) {
    sendBody("postMailConfig", "POST", devicePath(computer, device, "/mailcfg"), config.toJson());
}

void MonitClient::putMailTest(const std::string& computer, const std::string& device) {
    sendBody("putMailTest", "PUT", devicePath(computer, device, "/mailtest"), confirmed());
}

void MonitClient::delMailTest(const std::string& computer, const std::string& device) {
    sendBody("delMailTest", "DELETE", devicePath(computer, device, "/mailtest"), confirmed());
}

DeviceDialCfg MonitClient::getDialerConfig(const std::string& computer, const std::string& device) {
    return recordFrom<DeviceDialCfg>(
        getObject("getDialerConfig", devicePath(computer, device, "/dialcfg")));
}

void MonitClient::postDialerConfig(const std::string& computer, const std::string& device,
                                   const DeviceDialCfg& config) {
    sendBody("postDialerConfig", "POST", devicePath(computer, device, "/dialcfg"), config.toJson());
}

DeviceShutCfg MonitClient::getShutdownConfig(const std::string& computer,
                                             const std::string& device) {
    return recordFrom<DeviceShutCfg>(
        getObject("getShutdownConfig", devicePath(computer, device, "/shutcfg")));
}

void MonitClient::postShutdownConfig(const std::string& computer, const std::string& device,
                                     const DeviceShutCfg& config) {
    sendBody("postShutdownConfig", "POST", devicePath(computer, device, "/shutcfg"),
             config.toJson());
}

// --- Computer settings -----------------------------------------------------------

CusConfig MonitClient::getCustoviaConfig(const std::string& computer) {
    return recordFrom<CusConfig>(getObject("getCustoviaConfig", prefix(computer) + "cuscfg"));
}

void MonitClient::postCustoviaConfig(const std::string& computer, const CusConfig& config) {
    sendBody("postCustoviaConfig", "POST", prefix(computer) + "cuscfg", config.toJson());
}

NotifyConfig MonitClient::getNotifyConfig(const std::string& computer) {
    return recordFrom<NotifyConfig>(getObject("getNotifyConfig", prefix(computer) + "notifycfg"));
}

void MonitClient::postNotifyConfig(const std::string& computer, const NotifyConfig& config) {
    sendBody("postNotifyConfig", "POST", prefix(computer) + "notifycfg", config.toJson());
}

}  // namespace custovia
