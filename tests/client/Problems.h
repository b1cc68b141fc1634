// What the worker threads of the stress tests saw go wrong, reported on the
// test's thread once they are joined.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace clienttest {

// Status codes and counts as one text ("1 4 -302"), so that a whole series of
// calls is compared at once and a mismatch shows every value.
inline std::string codes(std::initializer_list<long long> values) {
    std::string text;
    for (long long value : values) {
        text += (text.empty() ? "" : " ") + std::to_string(value);
    }
    return text;
}

class Problems {
public:
    void add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (list_.size() < 20) {
            list_.push_back(what);
        }
        ++count_;
    }
    void expect(const std::string& what, const std::string& got, const std::string& expected) {
        if (got != expected) {
            add(what + " gave " + got + ", expected " + expected);
        }
    }
    void expectNone() const {
        EXPECT_EQ(count_, 0);
        for (const std::string& what : list_) {
            ADD_FAILURE() << what;
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::string> list_;
    long count_ = 0;
};

}  // namespace clienttest
