// Takes the snapshots of the large answers (a scrape of thousands of units)
// on one thread of its own. The allocator gives each thread its own arena:
// taken on whichever server thread a request lands on, every snapshot would
// grow another arena (and find it cold), while one thread reuses the same
// memory from one scrape to the next. Callers that ask while a snapshot is
// being taken get the next one together.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "common/Snapshot.h"

namespace custovia {
namespace serve {

class SnapshotWorker {
public:
    explicit SnapshotWorker(std::function<tools::Snapshot()> take);
    // Stops the thread; a caller still waiting gets an empty snapshot.
    ~SnapshotWorker();
    SnapshotWorker(const SnapshotWorker&) = delete;
    SnapshotWorker& operator=(const SnapshotWorker&) = delete;

    // A snapshot taken after this call began, on the worker's thread. What
    // the taking function throws is thrown here.
    std::shared_ptr<const tools::Snapshot> take();

private:
    void run();

    std::function<tools::Snapshot()> take_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    uint64_t asked_ = 0;  // tickets handed out
    uint64_t taken_ = 0;  // tickets the newest snapshot answers
    std::shared_ptr<const tools::Snapshot> newest_;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace serve
}  // namespace custovia
