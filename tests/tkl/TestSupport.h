// Helpers of the base library's tests: time zone, exception check and wait.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TimeZone.h"
#include "WaitFor.h"

namespace tkltest {

// Sets the process time zone for one scope and restores the previous one.
using TimeZone = ScopedTimeZone;

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
