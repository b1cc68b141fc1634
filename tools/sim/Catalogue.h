#pragma once
// The monitoring interface: maps a request (method, path, body) onto the
// simulated world and builds the answer the service gives.

#include "sim/World.h"

#include <QJsonObject>

#include <string>

namespace custovia {
namespace sim {

struct Answer {
    int status = 200;
    QJsonObject body;
    std::string allow;  // for 405: the methods the resource accepts
};

// An error answer with a JSON body {"error": message, "status": status}.
Answer errorAnswer(int status, const std::string& message);

// Serves one request against `world` (the caller holds its lock). `apiRoot`
// is the interface root announced by "mon", without slashes ("api").
Answer serveCatalogue(World& world, const std::string& apiRoot, const std::string& method,
                      const std::string& path, const std::string& body);

// Parses a request body that must be a JSON object; false with a reason.
bool parseObject(const std::string& body, QJsonObject* out, std::string* error);

// Applies the changes of the control interface to a device; false with a reason.
bool changeDevice(World& world, SimDevice& d, const QJsonObject& changes, std::string* error);

}  // namespace sim
}  // namespace custovia
