#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "tkl/Thread.h"

using namespace std::chrono_literals;
using testsupport::waitFor;
using Clock = std::chrono::steady_clock;

namespace {

// A timer whose callback is a function, recording when each call began and ended.
template <class Base = tkl::Timer>
class FnTimer : public Base {
public:
    explicit FnTimer(std::function<void(tkl::Timer*)> fn = {}) : fn_(std::move(fn)) {}
    ~FnTimer() override { this->stop(); }

    void onTimeout(tkl::Timer* timer) override {
        Clock::time_point begin = Clock::now();
        calls++;
        if (fn_) {
            fn_(timer);
        }
        std::lock_guard<std::mutex> guard(mutex);
        begins.push_back(begin);
        ends.push_back(Clock::now());
    }

    std::function<void(tkl::Timer*)> fn_;
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::vector<Clock::time_point> begins;
    std::vector<Clock::time_point> ends;
};

// A thread that waits for its stop request.
class Waiter : public tkl::Thread {
public:
    ~Waiter() override { join(); }
    void run(tkl::Thread* thread) override {
        while (!thread->waitForStop(10s)) {
        }
        finished = true;
    }
    std::atomic<bool> finished{false};
};

}  // namespace

TEST(Timer, FirstCallAfterOneIntervalAndPeriodFromEndOfSlowCallback) {
    FnTimer timer([](tkl::Timer*) { std::this_thread::sleep_for(150ms); });
    Clock::time_point started = Clock::now();
    timer.start(100);
    ASSERT_TRUE(waitFor([&] { return timer.calls >= 3; }));
    timer.stop();
    std::lock_guard<std::mutex> guard(timer.mutex);
    EXPECT_GE(timer.begins[0] - started, 100ms);
    // A callback longer than the interval delays the next call, no burst.
    for (std::size_t i = 1; i < timer.ends.size(); ++i) {
        EXPECT_GE(timer.begins[i] - timer.ends[i - 1], 100ms) << "call " << i;
    }
}

TEST(Timer, StopWaitsForCallbackThatSeesTheRequestAndRunsStopHandler) {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<bool> sawStop{false};
    FnTimer timer([&](tkl::Timer* self) {
        std::unique_lock<std::mutex> lock(mutex);
        // Blocks like a transfer would until the stop handler releases it.
        released.wait(lock, [&] { return release; });
        sawStop = self->isStopRequested();
        std::this_thread::sleep_for(20ms);
    });
    // Without the handler the callback, and so stop(), would never return.
    timer.setStopHandler([&] {
        std::lock_guard<std::mutex> guard(mutex);
        release = true;
        released.notify_all();
    });
    timer.start(1);
    ASSERT_TRUE(waitFor([&] { return timer.calls == 1; }));
    timer.stop();
    EXPECT_TRUE(sawStop);
    EXPECT_FALSE(timer.isRunning());
    std::lock_guard<std::mutex> guard(timer.mutex);
    EXPECT_EQ(timer.ends.size(), 1u);  // the one callback had returned
}

TEST(Timer, OneShotCallsOnceAndEnds) {
    FnTimer<tkl::OneShotTimer> timer;
    timer.start(5);
    ASSERT_TRUE(waitFor([&] { return timer.calls == 1 && !timer.isRunning(); }));
    timer.start();
    ASSERT_TRUE(waitFor([&] { return timer.calls == 2 && !timer.isRunning(); }));
}

TEST(Timer, ThrowingCallbackKeepsTickingSecondStartIsHarmlessAndRestartTicksAgain) {
    FnTimer timer([](tkl::Timer*) { throw std::runtime_error("callback failed"); });
    timer.start(5);
    timer.start(5);
    ASSERT_TRUE(waitFor([&] { return timer.calls >= 3; }));
    EXPECT_TRUE(timer.isRunning());
    timer.stop();
    EXPECT_TRUE(timer.isStopRequested());
    int before = timer.calls;
    timer.start();
    EXPECT_FALSE(timer.isStopRequested());
    EXPECT_TRUE(waitFor([&] { return timer.calls > before; }));
    // A start right after a bare stop request waits for the old loop to end.
    timer.thread()->requestStop();
    timer.start();
    EXPECT_FALSE(timer.isStopRequested());
    before = timer.calls;
    EXPECT_TRUE(waitFor([&] { return timer.calls > before; }));
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
}

TEST(Thread, LockActsOnlyWhileRunning) {
    Waiter thread;
    // Not started: nothing to lock, nothing to join or stop.
    thread.lock();
    EXPECT_FALSE(thread.tryLock());
    thread.unlock();
    thread.join();
    EXPECT_FALSE(thread.requestStop());

    thread.start();
    // start() returns once the thread runs, so the lock is effective at once.
    EXPECT_TRUE(thread.isRunning());
    thread.lock();
    std::atomic<bool> otherGot{true};
    std::thread([&] { otherGot = thread.tryLock(); }).join();
    EXPECT_FALSE(otherGot);

    // A lock taken while running is released even after the thread ended.
    thread.join();
    EXPECT_TRUE(thread.finished);
    EXPECT_FALSE(thread.isRunning());
    thread.unlock();
    thread.start();
    EXPECT_TRUE(thread.tryLock());
    thread.unlock();
    thread.stop();
}
