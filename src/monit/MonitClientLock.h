// Internal to the monitoring client: the cache lock as a scope guard.
#pragma once

#include "monit/MonitClient.h"

namespace custovia {

// Takes the cache lock (the refresh thread's mutex) while the client runs and
// releases it at the end of the scope. A stopped client has no refresh
// thread, so there is nothing to guard against.
class MonitClient::CacheLock {
public:
    explicit CacheLock(MonitClient& client) : thread_(client.timer_.thread()) {
        if (client.running_) {
            thread_->lock();
            taken_ = true;
        }
    }
    ~CacheLock() {
        if (taken_) {
            thread_->unlock();
        }
    }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;

private:
    tkl::Thread* thread_;
    bool taken_ = false;
};

}  // namespace custovia
