// Helpers of the base library's tests: the exception check, with the shared
// time zone scope and deadline wait.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TimeZone.h"
#include "WaitFor.h"

namespace tkltest {

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

}  // namespace tkltest
