#include "serve/SnapshotWorker.h"

#include <utility>

namespace custovia {
namespace serve {

SnapshotWorker::SnapshotWorker(std::function<tools::Snapshot()> take)
    : take_(std::move(take)), thread_([this] { run(); }) {}

SnapshotWorker::~SnapshotWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::shared_ptr<const tools::Snapshot> SnapshotWorker::take() {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t ticket = ++asked_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return taken_ >= ticket || stop_; });
    if (taken_ < ticket) {
        auto empty = std::make_shared<tools::Snapshot>();
        empty->timeMs = tools::nowMs();
        return empty;
    }
    if (error_) {
        std::rethrow_exception(error_);
    }
    return newest_;
}

void SnapshotWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return stop_ || asked_ > taken_; });
        if (stop_) {
            return;
        }
        // Every ticket handed out by now is answered by this snapshot.
        const uint64_t upTo = asked_;
        // The previous snapshot stays until this one replaces it: a caller
        // it answered may not have woken yet.
        lock.unlock();
        std::shared_ptr<const tools::Snapshot> snapshot;
        std::exception_ptr error;
        try {
            snapshot = std::make_shared<const tools::Snapshot>(take_());
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        newest_ = std::move(snapshot);
        error_ = error;
        taken_ = upTo;
        changed_.notify_all();
    }
}

}  // namespace serve
}  // namespace custovia
