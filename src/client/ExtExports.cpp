// The exported refresh, host health and change event functions.
#include <memory>

#include "client/ExportFrame.h"
#include "client/custovia_ext.h"
#include "monit/MonitClient.h"

using namespace custovia;

namespace {

void fill(CustoviaHostHealth& out, const std::string& host, MonitClient& client) {
    const MonitHealth h = client.health();
    out.host = host;
    out.url = client.getUrl().url();
    out.reachable = h.reachable;
    out.startedMs = h.startedMs;
    out.lastSuccessMs = h.lastSuccessMs;
    out.lastFailureMs = h.lastFailureMs;
    out.lastCycleMs = h.lastCycleMs;
    out.consecutiveFailures = h.consecutiveFailures;
    out.lastErrorCode = h.lastErrorCode;
    out.lastError = h.lastError;
    out.cycles = h.cycles;
    out.requests = h.requests;
    out.connections = h.connections;
}

// The host's key as the handle's table names it (the first host's for a
// null or empty name).
std::string hostKey(MultiMonitClient& m, const char* host) {
    if (host != nullptr && *host != '\0') {
        return host;
    }
    m.getClient(host);
    return m.getHostList().front();
}

}  // namespace

int32_t CUSTOVIA_CALL refreshHost(CustoviaHandle handle, const char* host, int32_t timeoutMs) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        return m.monitClient(host).refreshWithin(timeoutMs);
    });
}

int32_t CUSTOVIA_CALL getHostHealth(CustoviaHandle handle, const char* host,
                                    CustoviaHostHealth* out) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(out != nullptr, detail::kInvalidArguments);
        MonitClient& client = m.monitClient(host);
        CustoviaHostHealth record;
        fill(record, hostKey(m, host), client);
        *out = std::move(record);
        return 1;
    });
}

int32_t CUSTOVIA_CALL getHostHealthList(CustoviaHandle handle, CustoviaHealthList* out) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(out != nullptr, detail::kInvalidArguments);
        CustoviaHealthList list;
        for (auto& client : m.monitClients()) {
            list.emplace_back();
            fill(list.back(), client.first, *client.second);
        }
        *out = std::move(list);
        return static_cast<int32_t>(out->size());
    });
}

int32_t CUSTOVIA_CALL setUnreachableAfter(CustoviaHandle handle, int32_t cycles) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(cycles >= 1, detail::kInvalidArgument);
        m.setUnreachableAfter(cycles);
        return 1;
    });
}

int32_t CUSTOVIA_CALL setRefreshPeriod(CustoviaHandle handle, const char* host,
                                       int32_t milliseconds) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(milliseconds >= 100 && milliseconds <= 86400000, detail::kInvalidArgument);
        m.setRefreshPeriod(host, static_cast<uint32_t>(milliseconds));
        return 1;
    });
}

int32_t CUSTOVIA_CALL waitEvents(CustoviaHandle handle, CustoviaEvents* out, int32_t timeoutMs) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(out != nullptr && timeoutMs >= 0, detail::kInvalidArguments);
        std::shared_ptr<EventHub> events = m.events();
        return events->take(*out, timeoutMs);
    });
}

int32_t CUSTOVIA_CALL addEventCallback(CustoviaHandle handle, CustoviaEventCallback callback,
                                       void* context) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(callback != nullptr, detail::kInvalidArguments);
        return m.events()->addCallback(callback, context);
    });
}

int32_t CUSTOVIA_CALL removeEventCallback(CustoviaHandle handle, int32_t id) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        if (!m.events()->removeCallback(id)) {
            throw tkl::NotFoundException(
                "Error: event callback <" + std::to_string(id) + "> not found", -302);
        }
        return 1;
    });
}

int32_t CUSTOVIA_CALL setEventQueueLimit(CustoviaHandle handle, int32_t limit) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        detail::require(limit >= 1, detail::kInvalidArgument);
        m.events()->setLimit(static_cast<std::size_t>(limit));
        return 1;
    });
}
