// GET /api/v1/events: the change events as Server-Sent Events. Each client
// reads the gateway's event ring from its own cursor on its own server
// thread, so a slow client holds up nobody else. A client whose unread
// events leave the ring, or whose socket stays full past the write time-out,
// is dropped; it may reconnect with Last-Event-ID.
#pragma once

#include <httplib.h>

#include <atomic>

#include "serve/EventRing.h"

namespace custovia {
namespace serve {

struct StreamLimits {
    int maxClients = 32;
    int keepAliveMs = 15000;  // a comment line this often keeps proxies from timing out
};

void addEventStream(httplib::Server& server, EventRing& ring, std::atomic<int>& clients,
                    StreamLimits limits = StreamLimits());

}  // namespace serve
}  // namespace custovia
