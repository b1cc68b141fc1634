// The client manager over a table of monitoring clients keyed by host name.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "client/ClientManagerBase.h"

namespace custovia {

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

private:
    using Table = std::map<std::string, std::unique_ptr<MonitManagerBase>>;
    Table::iterator entry(const char* host);
    Table::const_iterator entry(const char* host) const;

    Table hosts_;
    std::string caFile_;
    bool verifyHost_ = false;
};

}  // namespace custovia
