// The gateway's HTTP answers: the JSON API (the same forms `custovia --json`
// prints), device commands behind the bearer token, /metrics and /healthz.
#pragma once

#include <httplib.h>

#include "serve/Gateway.h"

namespace custovia {
namespace serve {

void addApiRoutes(httplib::Server& server, Gateway& gateway, const Options& options);

// A device identifier the API accepts: 1 to 64 letters, digits, '.', '_',
// ':' or '-'.
bool validDeviceId(const std::string& id);

}  // namespace serve
}  // namespace custovia
