// The client manager over a table of monitoring clients keyed by host name.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "client/ClientManagerBase.h"
#include "client/EventHub.h"

namespace custovia {

class MonitClient;

class MultiMonitClient : public ClientManagerBase {
public:
    MultiMonitClient();
    MultiMonitClient(const MultiMonitClient&) = delete;
    MultiMonitClient& operator=(const MultiMonitClient&) = delete;
    // Stops and destroys the clients of hosts still connected, so that no
    // refresh thread outlives the manager.
    ~MultiMonitClient() override;

    using ClientManagerBase::connect;
    using ClientManagerBase::getComputerList;
    using ClientManagerBase::isConnected;

    void connect(const char* url) override;
    void disconnectAll() override;
    void disconnect(const char* host) override;
    bool isConnected() override;
    bool isConnected(const char* host) override;
    std::vector<std::string> getHostList() override;
    tkl::Logger* getLogger(const char* name) override;
    ComputerMap getComputerList(const char* host) override;

#define CUSTOVIA_OVERRIDE_TRIPLE0(R, NAME, CLIENT, PARAMS, ARGS) \
    using ClientManagerBase::NAME;                               \
    R NAME(const char* host, const char* computer) override;
#define CUSTOVIA_OVERRIDE_TRIPLE(R, NAME, CLIENT, PARAMS, ARGS) \
    using ClientManagerBase::NAME;                              \
    R NAME(const char* host, const char* computer, CUSTOVIA_UNPAREN PARAMS) override;

    CUSTOVIA_MANAGER_OPS0(CUSTOVIA_OVERRIDE_TRIPLE0)
    CUSTOVIA_MANAGER_OPS(CUSTOVIA_OVERRIDE_TRIPLE)

#undef CUSTOVIA_OVERRIDE_TRIPLE0
#undef CUSTOVIA_OVERRIDE_TRIPLE

    // The host's client: null or empty host = first host in table order.
    // Raises NotFoundException (-302) "Error: host <name> not found".
    virtual MonitManagerBase* getClient(const char* host);
    virtual const MonitManagerBase* getClient(const char* host) const;

    // Certificate checks for the HTTPS hosts connected from now on (see
    // tkl::HttpClient::setTlsVerification).
    void setTlsVerification(const std::string& caFile, bool verifyHost);

    // The host's monitoring client, for the refresh and its health record:
    // -302 as getClient(), -203 for a client of another kind.
    MonitClient& monitClient(const char* host);
    // Every host's monitoring client in host order.
    std::vector<std::pair<std::string, MonitClient*>> monitClients();
    // For every host, connected now or later.
    void setUnreachableAfter(int32_t cycles);
    // Milliseconds from the end of one refresh cycle to the start of the
    // next. A null or empty host: every host, connected now or later (and an
    // earlier choice for one host is dropped). A host: that host only, also
    // when it is connected again; -302 when it is not connected.
    void setRefreshPeriod(const char* host, uint32_t milliseconds);
    // The change events of every host; callers that wait on it keep a
    // reference, so that closing the handle does not pull it away from them.
    std::shared_ptr<EventHub> events() const {
        return events_;
    }

private:
    using Table = std::map<std::string, std::unique_ptr<MonitManagerBase>>;
    Table::iterator entry(const char* host);
    Table::const_iterator entry(const char* host) const;

    Table hosts_;
    std::string caFile_;
    bool verifyHost_ = false;
    int32_t unreachableAfter_ = 2;
    uint32_t refreshPeriod_;
    // Periods chosen for one host, by host key.
    std::map<std::string, uint32_t> hostPeriods_;
    std::shared_ptr<EventHub> events_ = std::make_shared<EventHub>();
};

}  // namespace custovia
