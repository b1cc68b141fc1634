// The custovia tool's own parts: tables, addresses, argument parsers and texts.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Session.h"
#include "cli/Settings.h"
#include "cli/Terminal.h"
#include "cli/View.h"

using namespace custovia::cli;

namespace {

// The exit code of the Failure `f` throws, or -1 when it throws none.
template <class F>
int failureCode(F f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.exitCode();
    }
    return -1;
}

TEST(CliTableTest, ColumnsLineUpByCharactersAndColoursDoNotShiftThem) {
    Table t({"ID", "TEMP", "STATE"});
    t.add({Cell("A"), Cell("27.5 °C", nullptr, true), Cell("On line", sgr::kGreen)});
    t.add({Cell("LONGER-ID"), Cell("7.0 °C", nullptr, true), Cell("Fault", sgr::kRed)});
    std::ostringstream plain, colored;
    t.print(plain, false);
    t.print(colored, true);
    // Widths count characters, not bytes; numbers are right-aligned; no trailing blanks.
    EXPECT_EQ(plain.str(),
              "ID            TEMP  STATE\n"
              "A          27.5 °C  On line\n"
              "LONGER-ID   7.0 °C  Fault\n");
    EXPECT_NE(colored.str(), plain.str());
    EXPECT_EQ(std::regex_replace(colored.str(), std::regex("\033\\[[0-9;]*m"), ""), plain.str());
}

TEST(CliAddressTest, HostKeyIsTheLowerCaseHostWithoutSchemeOrPort) {
    EXPECT_EQ(hostKey("HTTP://Ups1.Example:4470"), "ups1.example");
    EXPECT_EQ(hostKey("ups2:5000/"), "ups2");
    for (const char* bad : {"", "http://", "ftp://ups", "http://:4470", "http://a b"}) {
        EXPECT_EQ(failureCode([&] { hostKey(bad); }), kExitUsage) << bad;
    }
}

TEST(CliArgumentTest, ColoursAndLineSensitivityAreReadStrictly) {
    auto rgb = [](const std::string& text) {
        Rgb c = parseColor(text);
        return std::vector<int>{c.red, c.green, c.blue, c.random};
    };
    EXPECT_EQ(rgb("#FF000a"), (std::vector<int>{255, 0, 10, 0}));
    EXPECT_EQ(rgb("12,0,255"), (std::vector<int>{12, 0, 255, 0}));
    EXPECT_TRUE(parseColor("Random").random);
    for (const char* bad : {"#ff00", "#gg0000", "256,0,0", "1,2", "1,2,3,4", "-1,0,0", "red"}) {
        EXPECT_EQ(failureCode([&] { parseColor(bad); }), kExitUsage) << bad;
    }
    EXPECT_EQ(parseLineSense("0"), 0);
    EXPECT_EQ(parseLineSense("Very-High"), 4);
    EXPECT_EQ(failureCode([] { parseLineSense("5"); }), kExitUsage);
}

TEST(CliArgumentTest, SettingsPairsAreCheckedBeforeAnythingIsSent) {
    Pairs p = parsePairs(SettingsKind::Shutdown, {"counterManual=60", "cliRun=echo a=b"});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].second, "echo a=b") << "only the first = separates";
    EXPECT_EQ(parsePairs(SettingsKind::Mail, {"to1="}).at(0).second, "");

    // Minutes are kept in milliseconds: more than 71582 would wrap.
    const std::vector<std::pair<SettingsKind, std::vector<std::string>>> bad = {
        {SettingsKind::Shutdown,
         {"counterManual", "=5", "nosuch=1", "enabled=maybe", "counterManual=4294967296",
          "counterManual=+5"}},
        {SettingsKind::Mail, {"port=65536"}},
        {SettingsKind::Notify, {"valPercent=101", "valMinutes=71583"}},
        {SettingsKind::Dialer, {"counterManual=1"}}};
    for (const auto& [kind, pairs] : bad) {
        for (const std::string& pair : pairs) {
            EXPECT_EQ(failureCode([&] { parsePairs(kind, {pair}); }), kExitUsage) << pair;
        }
    }
    EXPECT_EQ(parsePairs(SettingsKind::Notify, {"valMinutes=71582"}).size(), 1u);
}

TEST(CliTextTest, CountdownsRoundUpDurationsShortenAndStatusCodesBecomeWords) {
    EXPECT_EQ(countdownText(-1), "-");
    EXPECT_EQ(countdownText(0), "0:00");
    EXPECT_EQ(countdownText(1), "0:01") << "a running countdown never shows 0:00";
    EXPECT_EQ(countdownText(3723000), "1:02:03");
    EXPECT_EQ(durationText(59999), "59s");
    EXPECT_EQ(durationText(61000), "1m01s");
    EXPECT_EQ(durationText(7260000), "2h01m");
    EXPECT_EQ(durationText(90061000), "1d01h");
    EXPECT_EQ(number(99.6, 0, "%"), "100%");
    EXPECT_EQ(number(1.0, 1, " V", false), "-");
    // Status codes become words; unknown ones still say something.
    EXPECT_EQ(statusWords(-320), "service error");
    EXPECT_EQ(statusWords(-99999), "error");
}

}  // namespace
