// The gateway's one library handle: the hosts it connects, the snapshot of
// their data and health that every answer is made from, the change events it
// keeps for stream clients, and the device commands.
//
// Thread safety: snapshot(), command() and the event ring may be
// used from any thread while the gateway runs; stop() waits for the calls in
// progress, and after it they answer as if nothing were connected.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "common/Snapshot.h"
#include "serve/EventRing.h"
#include "serve/Options.h"
#include "serve/SnapshotWorker.h"

namespace custovia {
namespace serve {

enum class DeviceCommand { Shutdown, CancelShutdown, Discharge, MailTest };

// "shutdown", "cancel-shutdown", "discharge", "mail-test"; false when unknown.
bool commandFromName(const std::string& name, DeviceCommand* out);
const char* commandName(DeviceCommand command);

class Gateway {
public:
    // Opens the handle and sets up logging, TLS checks and the host health
    // rule; StartError when one of them is refused.
    explicit Gateway(const Options& options, std::size_t eventCapacity = 10000);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // Connects every host; StartError (failed) naming the first refused one.
    void connect();
    // Stops the event stream, disconnects every host and closes the handle.
    void stop();

    tools::Snapshot snapshot() const;
    // The snapshot that answers still in progress hold, when it was taken
    // at most `maxAgeMs` ago, else a new one: scrapes that overlap share one
    // snapshot instead of holding one each.
    std::shared_ptr<const tools::Snapshot> sharedSnapshot(int64_t maxAgeMs) const;
    EventRing& events() { return events_; }

    // Runs a command on a unit of `host`'s `computer` ("localhost" or empty:
    // the service's own). Returns the library's status.
    int32_t command(DeviceCommand command, const std::string& host, const std::string& computer,
                    const std::string& device);

    const std::vector<tools::HostRef>& hosts() const { return hosts_; }
    // The period every host refreshes at (given, or chosen by their number).
    double refreshSeconds() const { return options_.refreshSeconds; }
    // The library handle, for parts that read it themselves (the MQTT
    // publisher); valid from construction until stop().
    CustoviaHandle handle() const { return handle_; }

private:
    static void CUSTOVIA_CALL onEvent(const CustoviaEvent* event, void* context);

    Options options_;
    CustoviaHandle handle_ = nullptr;
    std::vector<tools::HostRef> hosts_;
    EventRing events_;
    int32_t callbackId_ = 0;
    bool connected_ = false;
    // Shared by the calls on the handle, exclusive for stop().
    mutable std::shared_mutex lock_;
    mutable std::mutex sharedLock_;
    mutable std::weak_ptr<const tools::Snapshot> shared_;
    // Last, so that its thread stops before the rest goes.
    mutable SnapshotWorker worker_{[this] { return snapshot(); }};
};

}  // namespace serve
}  // namespace custovia
