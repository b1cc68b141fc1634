// Replays every kept fuzz input (fuzz/regressions/<target>/) and every seed
// (fuzz/seeds/<target>/) through the entry its target runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "tkl/Http.h"

namespace fs = std::filesystem;
using custovia::fuzz::entryFor;
using custovia::fuzz::targetNames;

namespace {

// Runs every file below <fuzz>/<kind>/<target>/; returns how many ran.
int replay(const std::string& kind) {
    int count = 0;
    for (const std::string& target : targetNames()) {
        std::error_code none;  // a target without kept inputs has no folder
        for (const auto& file :
             fs::directory_iterator(fs::path(CUSTOVIA_FUZZ_DIR) / kind / target, none)) {
            std::ifstream in(file.path(), std::ios::binary);
            const std::string input{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            try {
                entryFor(target)(reinterpret_cast<const uint8_t*>(input.data()), input.size());
            } catch (const std::exception& e) {
                ADD_FAILURE() << file.path() << ": " << e.what();
            }
            ++count;
        }
    }
    return count;
}

}  // namespace

TEST(FuzzReplay, KeptCrashInputsAndSeedsPassTheirTargets) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_GT(replay("regressions"), 0);
    EXPECT_GT(replay("seeds"), 0);
}

// The header parser behind the HTTP client's header callback, on the lines a
// server sends.
TEST(HeaderLines, FirstValueWinsAndOnlyNamedLinesCount) {
    tkl::HttpHeaders headers;
    auto add = [&](const std::string& line) {
        return tkl::addHeaderLine(line.data(), line.size(), headers);
    };
    EXPECT_FALSE(add("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(add("Content-Type:  application/json \r\n"));
    EXPECT_FALSE(add("Content-Type: text/plain\r\n"));
    EXPECT_TRUE(add("content-type: text/plain\r\n"));  // names as received
    EXPECT_TRUE(add("X-Empty:\r\n"));
    EXPECT_TRUE(add("X-Url: http://a:1/b\r\n"));
    EXPECT_FALSE(add(" : value\r\n"));
    EXPECT_FALSE(add("\r\n"));
    EXPECT_FALSE(tkl::addHeaderLine(nullptr, 4, headers));

    tkl::HttpHeaders expected{{"Content-Type", "application/json"},
                              {"content-type", "text/plain"},
                              {"X-Empty", ""},
                              {"X-Url", "http://a:1/b"}};
    EXPECT_EQ(headers, expected);
}
