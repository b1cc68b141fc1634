// The tests' one way to wait for what another thread or process does: poll a
// condition until it holds or a deadline passes.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// True as soon as `condition` holds, false once `limit` has passed first.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace testsupport
