// The client manager: the object behind a handle of the exported functions.
//
// It keeps one monitoring client per host and routes every query and command
// to the client of the host the caller names. A null or empty host means the
// first host in byte order; a null or empty computer means the service's own
// computer. The manager adds no caching, no retry and no lock: callers do not
// connect, disconnect or destroy while other calls on the same manager run.
#pragma once

#include <string>
#include <vector>

#include "client/ManagerOps.h"
#include "monit/MonitManagerBase.h"

namespace custovia {

class ClientManagerBase : public tkl::Object {
public:
    ~ClientManagerBase() override;

    // Connects the host of the URL; a second connection to a host replaces it.
    virtual void connect(const char* url) = 0;
    virtual void connect(const Url& url);
    virtual void disconnectAll() = 0;
    // Stops and destroys the host's client; -302 when the host is unknown.
    virtual void disconnect(const char* host) = 0;
    // True when at least one client runs.
    virtual bool isConnected() = 0;
    // True when the host's client runs; never raises.
    virtual bool isConnected(const char* host) = 0;
    virtual void open(const Url& url);
    // Disconnects every host, ignoring failures.
    virtual void close();
    virtual bool isOpen();
    // Host names in table order.
    virtual std::vector<std::string> getHostList() = 0;
    virtual tkl::Logger* getLogger(const char* name) = 0;
    virtual ComputerMap getComputerList();
    virtual ComputerMap getComputerList(const char* host) = 0;

#define CUSTOVIA_DECLARE_TRIPLE0(R, NAME, CLIENT, PARAMS, ARGS) \
    virtual R NAME() {                                          \
        return NAME(nullptr, nullptr);                          \
    }                                                           \
    virtual R NAME(const char* host) {                          \
        return NAME(host, nullptr);                             \
    }                                                           \
    virtual R NAME(const char* host, const char* computer) = 0;
#define CUSTOVIA_DECLARE_TRIPLE(R, NAME, CLIENT, PARAMS, ARGS)  \
    virtual R NAME(CUSTOVIA_UNPAREN PARAMS) {                   \
        return NAME(nullptr, nullptr, CUSTOVIA_UNPAREN ARGS);   \
    }                                                           \
    virtual R NAME(const char* host, CUSTOVIA_UNPAREN PARAMS) { \
        return NAME(host, nullptr, CUSTOVIA_UNPAREN ARGS);      \
    }                                                           \
    virtual R NAME(const char* host, const char* computer, CUSTOVIA_UNPAREN PARAMS) = 0;

    CUSTOVIA_MANAGER_OPS0(CUSTOVIA_DECLARE_TRIPLE0)
    CUSTOVIA_MANAGER_OPS(CUSTOVIA_DECLARE_TRIPLE)

#undef CUSTOVIA_DECLARE_TRIPLE0
#undef CUSTOVIA_DECLARE_TRIPLE
};

}  // namespace custovia
