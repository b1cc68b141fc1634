// Small helpers shared by the base library's tests: a scoped time zone, an
// exception check with message and code, and a deadline-bound wait.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

#include "WaitFor.h"

namespace tkltest {

// Sets the process time zone for one scope and restores the previous one.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_)
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

// Runs `call` and checks that it throws E with this message and code.
template <typename E, typename F>
void expectThrow(F&& call, const std::string& message, int32_t code) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(e.message(), message);
        EXPECT_EQ(e.code(), code);
    }
}

using testsupport::waitFor;

}  // namespace tkltest
