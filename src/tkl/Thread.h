// Threads and timers.
//
// tkl::Runnable  something a thread runs.
// tkl::Thread    owns at most one system thread that runs the object's own
//                run(); offers a cooperative stop request, an interruptible
//                wait for it, a hook that fires on the request, and a mutex
//                that acts only while the thread runs.
// tkl::Timer     calls onTimeout() every interval on its own TimerThread;
//                the interval is counted from the end of one call to the
//                start of the next, the first call comes one interval after
//                start().
// tkl::OneShotTimer  calls onTimeout() once.
//
// start() raises tkl::SystemException (-305) when the system thread cannot be
// created. Nothing else here throws: exceptions escaping run() or
// onTimeout() are swallowed.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tkl/Object.h"

namespace tkl {

class Thread;

class TKL_API Runnable : public Object {
public:
    ~Runnable() override;
    // Runs the work; `thread` is the thread that runs it.
    virtual void run(Thread* thread) = 0;
};

// A derived class whose run() uses its own members must call join() (or
// stop()) in its own destructor: ~Thread joins too, but by then the derived
// part is already gone.
class TKL_API Thread : public Runnable {
public:
    using StopHandler = std::function<void()>;

    Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Requests the stop and joins.
    ~Thread() override;

    // Starts the system thread and returns once it runs, so lock() is
    // effective from then on. A stop request left from an earlier run is
    // cleared. While a started thread runs without a stop request this does
    // nothing; a thread that has finished or is ending on a stop request is
    // joined first. Raises tkl::SystemException
    // "Error creating thread" (-305) when no thread can be created.
    virtual void start();
    // Same as join().
    virtual void stop();
    // Sets the stop request, wakes waitForStop() and calls the stop handler.
    // Returns whether a system thread exists (nothing happens otherwise).
    virtual bool requestStop();
    // Requests the stop and waits until run() has returned. Does nothing
    // without a thread or for a detached one.
    virtual void join();
    // Lets the system thread go on alone; the object stays started.
    virtual void detach();
    // The thread's lock, effective only while the thread runs: before
    // start() and after run() has returned, lock() does nothing and
    // tryLock() answers false. unlock() releases the lock whenever the
    // calling thread holds it, so a lock taken while running is never left
    // behind.
    virtual bool tryLock();
    virtual void lock();
    virtual void unlock();
    virtual bool isRunning();
    virtual bool isStopRequested();
    // Native identifier of the system thread while it runs, else 0.
    virtual uint64_t id();
    virtual uint64_t id() const;

    // Waits until a stop is requested or `timeout` has passed; returns whether
    // the stop is requested. Meant for run() implementations and callbacks
    // that pause between steps.
    bool waitForStop(std::chrono::milliseconds timeout);
    bool waitForStopUntil(std::chrono::steady_clock::time_point deadline);

    // An extra action for every stop request, called on the requesting thread
    // after the flag is set (for example to abort a blocking transfer that
    // run() is in). It must be safe to call from any thread and more than
    // once. An empty handler removes it.
    void setStopHandler(StopHandler handler);

private:
    void entry();

    std::unique_ptr<std::thread> thread_;
    // Whether thread_ holds a system thread; readable from any thread.
    std::atomic<bool> started_{false};
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    // True from start() until the entry routine has finished.
    std::atomic<bool> active_{false};
    std::atomic<uint64_t> nativeId_{0};

    // Guards the stop request for waiters, the start hand-shake and the
    // handler; never held while user code runs.
    std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    bool launched_ = false;
    StopHandler stopHandler_;
};

class TKL_API Timer : public Object {
public:
    // The thread that calls the owner's onTimeout().
    class TKL_API TimerThread : public Thread {
    public:
        explicit TimerThread(Timer* owner);
        ~TimerThread() override;
        void run(Thread* thread) override;

    private:
        Timer* owner_;
    };

    Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    // Stops the timer. A derived timer must call stop() in its own destructor,
    // since onTimeout() cannot be called once the derived part is destroyed.
    ~Timer() override;

    // The callback, on the timer thread; the timer passes itself. It may
    // check isStopRequested() between steps to end early on a stop.
    virtual void onTimeout(Timer* timer) = 0;
    // setInterval(interval), then start().
    virtual void start(uint32_t interval);
    // Starts ticking; a timer that ticks already goes on unchanged.
    virtual void start();
    // Requests the stop and waits until a callback in progress has returned
    // and the timer thread has ended. The stop handler (setStopHandler) runs
    // first, so a callback blocked in a transfer can be released.
    virtual void stop();
    // Milliseconds; a change applies from the next wait on.
    virtual void setInterval(uint32_t interval);
    // Begins the wait for the next call again now: the next call comes one
    // interval from now (or later), as if a call had just ended. For owners
    // that do the timer's work themselves between two calls.
    void restartWait();
    virtual bool isRunning();
    virtual bool isStopRequested();
    virtual uint32_t interval();
    virtual Thread* thread();
    virtual const Thread* thread() const;

    // Same as thread()->setStopHandler(handler).
    void setStopHandler(Thread::StopHandler handler);
    bool isOneShot() const { return oneShot_; }

protected:
    explicit Timer(bool oneShot);

private:
    std::atomic<uint32_t> interval_{0};
    // Steady-clock time (ns since its epoch) of the last restartWait().
    std::atomic<int64_t> restartedAt_{0};
    TimerThread timerThread_;
    bool oneShot_;
};

// A timer whose thread ends after the first callback.
class TKL_API OneShotTimer : public Timer {
public:
    OneShotTimer();
    ~OneShotTimer() override;
};

}  // namespace tkl
