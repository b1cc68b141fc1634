#include "client/MultiMonitClient.h"

#include <utility>
#include "monit/MonitClient.h"

#include "tkl/Exception.h"

namespace custovia {

namespace {

bool isEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

[[noreturn]] void hostNotFound(const char* host) {
    throw tkl::NotFoundException(
        "Error: host <" + std::string(isEmpty(host) ? "empty" : host) + "> not found", -302);
}

}  // namespace

MultiMonitClient::MultiMonitClient() : refreshPeriod_(MonitClient::defaultRefreshInterval) {}

MultiMonitClient::~MultiMonitClient() {
    close();
    events_->close();
}

MultiMonitClient::Table::iterator MultiMonitClient::entry(const char* host) {
    auto it = isEmpty(host) ? hosts_.begin() : hosts_.find(host);
    if (it == hosts_.end()) {
        hostNotFound(host);
    }
    return it;
}

MultiMonitClient::Table::const_iterator MultiMonitClient::entry(const char* host) const {
    auto it = isEmpty(host) ? hosts_.begin() : hosts_.find(host);
    if (it == hosts_.end()) {
        hostNotFound(host);
    }
    return it;
}

MonitManagerBase* MultiMonitClient::getClient(const char* host) {
    return entry(host)->second.get();
}

const MonitManagerBase* MultiMonitClient::getClient(const char* host) const {
    return entry(host)->second.get();
}

void MultiMonitClient::connect(const char* url) {
    if (isEmpty(url)) {
        throw tkl::InvalidArgumentException("URL <null> or <empty>.", -202);
    }
    Url parsed(url);
    const std::string key = parsed.host;
    if (isConnected(key.c_str())) {
        try {
            disconnect(key.c_str());
        } catch (const std::exception&) {
            // The old client is replaced either way.
        }
    }
    std::unique_ptr<MonitManagerBase> client;
    try {
        auto* monit = new MonitClient();
        client.reset(monit);
        monit->setTlsVerification(caFile_, verifyHost_);
        monit->setUnreachableAfter(unreachableAfter_);
        auto chosen = hostPeriods_.find(key);
        monit->setRefreshInterval(chosen != hostPeriods_.end() ? chosen->second : refreshPeriod_);
        std::shared_ptr<EventHub> events = events_;
        monit->setEventSink([events, key](std::vector<MonitEvent>&& changes) {
            events->publish(key, std::move(changes));
        });
    } catch (...) {
        throw tkl::OutOfMemoryException("Error creating new MonitClient object.", -300);
    }
    // A client that cannot start is dropped and its failure reported, so the
    // caller never believes a host is connected when no refresh runs for it.
    client->start(parsed);
    hosts_[key] = std::move(client);
}

void MultiMonitClient::setTlsVerification(const std::string& caFile, bool verifyHost) {
    caFile_ = caFile;
    verifyHost_ = verifyHost;
}

void MultiMonitClient::disconnect(const char* host) {
    auto it = entry(host);
    it->second->stop();
    hosts_.erase(it);
    // No callback may still be busy with this host once it is gone.
    events_->quiesce();
}

void MultiMonitClient::disconnectAll() {
    for (auto it = hosts_.begin(); it != hosts_.end();) {
        auto current = it++;
        current->second->stop();
        hosts_.erase(current);
    }
    events_->quiesce();
}

MonitClient& MultiMonitClient::monitClient(const char* host) {
    auto* client = dynamic_cast<MonitClient*>(getClient(host));
    if (client == nullptr) {
        throw tkl::NotImplementedException(
            "Error: host <" + std::string(host ? host : "") + "> has no monitoring client", -203);
    }
    return *client;
}

std::vector<std::pair<std::string, MonitClient*>> MultiMonitClient::monitClients() {
    std::vector<std::pair<std::string, MonitClient*>> clients;
    for (auto& host : hosts_) {
        if (auto* client = dynamic_cast<MonitClient*>(host.second.get())) {
            clients.emplace_back(host.first, client);
        }
    }
    return clients;
}

void MultiMonitClient::setUnreachableAfter(int32_t cycles) {
    unreachableAfter_ = cycles;
    for (auto& client : monitClients()) {
        client.second->setUnreachableAfter(cycles);
    }
}

void MultiMonitClient::setRefreshPeriod(const char* host, uint32_t milliseconds) {
    if (isEmpty(host)) {
        refreshPeriod_ = milliseconds;
        hostPeriods_.clear();
        for (auto& client : monitClients()) {
            client.second->setRefreshInterval(milliseconds);
        }
        return;
    }
    auto it = entry(host);
    auto* client = dynamic_cast<MonitClient*>(it->second.get());
    if (client != nullptr) {
        client->setRefreshInterval(milliseconds);
    }
    hostPeriods_[it->first] = milliseconds;
}

bool MultiMonitClient::isConnected() {
    for (auto& host : hosts_) {
        if (host.second->isRunning()) {
            return true;
        }
    }
    return false;
}

bool MultiMonitClient::isConnected(const char* host) {
    try {
        return getClient(host)->isRunning();
    } catch (...) {
        return false;
    }
}

std::vector<std::string> MultiMonitClient::getHostList() {
    std::vector<std::string> names;
    names.reserve(hosts_.size());
    for (auto& host : hosts_) {
        names.push_back(host.first);
    }
    return names;
}

tkl::Logger* MultiMonitClient::getLogger(const char* name) {
    const std::string key = name ? name : "";
    try {
        tkl::Logger* logger = getClient(nullptr)->getLogger(key.c_str());
        tkl::Logger::addLogger(key.c_str(), logger);
    } catch (...) {
        // No host, or the client failed: the registry's logger answers.
    }
    return tkl::Logger::getLogger(key);
}

ComputerMap MultiMonitClient::getComputerList(const char* host) {
    return getClient(host)->getComputers();
}

#define CUSTOVIA_ROUTE_TRIPLE0(R, NAME, CLIENT, PARAMS, ARGS)          \
    R MultiMonitClient::NAME(const char* host, const char* computer) { \
        return getClient(host)->CLIENT(computer);                      \
    }
#define CUSTOVIA_ROUTE_TRIPLE(R, NAME, CLIENT, PARAMS, ARGS)                                    \
    R MultiMonitClient::NAME(const char* host, const char* computer, CUSTOVIA_UNPAREN PARAMS) { \
        return getClient(host)->CLIENT(computer, CUSTOVIA_UNPAREN ARGS);                        \
    }

CUSTOVIA_MANAGER_OPS0(CUSTOVIA_ROUTE_TRIPLE0)
CUSTOVIA_MANAGER_OPS(CUSTOVIA_ROUTE_TRIPLE)

}  // namespace custovia
