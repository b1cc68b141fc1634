#include "tkl/Thread.h"

#include <algorithm>
#include <system_error>
#include <type_traits>

#include "tkl/Exception.h"

namespace tkl {

namespace {

// The native handle as a number: an integer on POSIX, a pointer elsewhere.
template <class Handle>
uint64_t nativeNumber(Handle handle) {
    if constexpr (std::is_pointer_v<Handle>) {
        return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
    } else {
        return static_cast<uint64_t>(handle);
    }
}

}  // namespace

Runnable::~Runnable() = default;

Thread::Thread() = default;

Thread::~Thread() {
    join();
    // Only a thread that destroys its own object gets here still joinable;
    // letting it go on is better than ending the process.
    if (thread_ && thread_->joinable()) {
        thread_->detach();
    }
    started_ = false;
    thread_.reset();
}

void Thread::start() {
    if (thread_) {
        // A running thread goes on; one that is ending after a stop request
        // is waited for and replaced.
        if (active_ && (!stopRequested_ || thread_->get_id() == std::this_thread::get_id() ||
                        !thread_->joinable())) {
            return;
        }
        if (thread_->joinable()) {
            thread_->join();
        }
        started_ = false;
        thread_.reset();
    }
    {
        std::lock_guard<std::mutex> guard(stateMutex_);
        stopRequested_ = false;
        launched_ = false;
    }
    active_ = true;
    started_ = true;
    try {
        thread_ = std::make_unique<std::thread>(&Thread::entry, this);
    } catch (const std::system_error&) {
        active_ = false;
        started_ = false;
        thread_.reset();
        throw SystemException("Error creating thread", SystemException::defaultCode);
    }
    nativeId_ = nativeNumber(thread_->native_handle());
    std::unique_lock<std::mutex> lock(stateMutex_);
    stateChanged_.wait(lock, [this] { return launched_; });
}

void Thread::entry() {
    running_ = true;
    {
        std::lock_guard<std::mutex> guard(stateMutex_);
        launched_ = true;
    }
    stateChanged_.notify_all();
    try {
        run(this);
    } catch (...) {
    }
    running_ = false;
    active_ = false;
}

void Thread::stop() {
    join();
}

bool Thread::requestStop() {
    if (!started_) {
        return false;
    }
    StopHandler handler;
    {
        std::lock_guard<std::mutex> guard(stateMutex_);
        stopRequested_ = true;
        handler = stopHandler_;
    }
    stateChanged_.notify_all();
    if (handler) {
        handler();
    }
    return true;
}

void Thread::join() {
    if (!thread_) {
        return;
    }
    requestStop();
    if (!thread_->joinable()) {
        return;
    }
    try {
        thread_->join();
    } catch (const std::system_error&) {
        return;  // a thread joining itself
    }
    started_ = false;
    thread_.reset();
}

void Thread::detach() {
    if (thread_ && thread_->joinable()) {
        try {
            thread_->detach();
        } catch (const std::system_error&) {
        }
    }
}

bool Thread::tryLock() {
    if (!running_ || !mutex_.try_lock()) {
        return false;
    }
    owner_ = std::this_thread::get_id();
    return true;
}

void Thread::lock() {
    if (!running_) {
        return;
    }
    mutex_.lock();
    owner_ = std::this_thread::get_id();
}

void Thread::unlock() {
    if (owner_ != std::this_thread::get_id()) {
        return;
    }
    owner_ = std::thread::id();
    mutex_.unlock();
}

bool Thread::isRunning() {
    return running_;
}

bool Thread::isStopRequested() {
    return stopRequested_;
}

uint64_t Thread::id() {
    return running_ ? nativeId_.load() : 0;
}

uint64_t Thread::id() const {
    return running_ ? nativeId_.load() : 0;
}

bool Thread::waitForStop(std::chrono::milliseconds timeout) {
    return waitForStopUntil(std::chrono::steady_clock::now() + timeout);
}

bool Thread::waitForStopUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(stateMutex_);
    return stateChanged_.wait_until(lock, deadline, [this] { return stopRequested_.load(); });
}

void Thread::setStopHandler(StopHandler handler) {
    std::lock_guard<std::mutex> guard(stateMutex_);
    stopHandler_ = std::move(handler);
}

Timer::TimerThread::TimerThread(Timer* owner) : owner_(owner) {}

Timer::TimerThread::~TimerThread() {
    join();
}

void Timer::TimerThread::run(Thread* thread) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    while (!thread->isStopRequested()) {
        // The period runs from the end of one call to the start of the next,
        // so a slow callback delays the next call instead of causing a burst.
        // A restartWait() while waiting moves the due time later; the wait
        // goes on until the latest due time has passed.
        Clock::time_point due;
        bool stopped = false;
        for (;;) {
            Clock::time_point restarted{Clock::duration(owner_->restartedAt_.load())};
            due = std::max(last, restarted) + std::chrono::milliseconds(owner_->interval());
            if (Clock::now() >= due) {
                break;
            }
            if (thread->waitForStopUntil(due)) {
                stopped = true;
                break;
            }
        }
        if (stopped) {
            break;
        }
        try {
            owner_->onTimeout(owner_);
        } catch (...) {
        }
        last = Clock::now();
        if (owner_->isOneShot()) {
            break;
        }
    }
}

Timer::Timer() : Timer(false) {}

Timer::Timer(bool oneShot) : timerThread_(this), oneShot_(oneShot) {}

Timer::~Timer() {
    stop();
}

void Timer::start(uint32_t interval) {
    setInterval(interval);
    start();
}

void Timer::start() {
    timerThread_.start();
}

void Timer::stop() {
    timerThread_.join();
}

void Timer::setInterval(uint32_t interval) {
    interval_ = interval;
}

void Timer::restartWait() {
    restartedAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
}

bool Timer::isRunning() {
    return timerThread_.isRunning();
}

bool Timer::isStopRequested() {
    return timerThread_.isStopRequested();
}

uint32_t Timer::interval() {
    return interval_;
}

Thread* Timer::thread() {
    return &timerThread_;
}

const Thread* Timer::thread() const {
    return &timerThread_;
}

void Timer::setStopHandler(Thread::StopHandler handler) {
    timerThread_.setStopHandler(std::move(handler));
}

OneShotTimer::OneShotTimer() : Timer(true) {}

OneShotTimer::~OneShotTimer() = default;

}  // namespace tkl
