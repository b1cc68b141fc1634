// The gateway's parts that need no service: the bearer token, the command
// line's texts, device ids, the metrics text of hand-made data and the event
// ring.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "serve/Api.h"
#include "serve/EventRing.h"
#include "serve/Metrics.h"
#include "serve/Options.h"
#include "serve/Token.h"

using namespace custovia::serve;

namespace {

TEST(TokenTest, OnlyTheWholeBearerTokenMatches) {
    EXPECT_EQ(bearerToken("Bearer abc"), "abc");
    EXPECT_EQ(bearerToken("bearer   abc \r\n"), "abc");
    EXPECT_EQ(bearerToken("Basic abc"), "");
    EXPECT_EQ(bearerToken("Bearer"), "");
    EXPECT_EQ(bearerToken("Bearer    "), "");

    EXPECT_TRUE(sameToken("s3cret", "s3cret"));
    EXPECT_FALSE(sameToken("s3cre", "s3cret"));
    EXPECT_FALSE(sameToken("s3cretx", "s3cret"));
    EXPECT_FALSE(sameToken("S3cret", "s3cret"));
    // No token configured matches nothing, not even an empty one.
    EXPECT_FALSE(sameToken("", ""));
}

TEST(OptionsTest, ListenAddressesHostFilesAndDeviceIds) {
    EXPECT_EQ(parseListen("127.0.0.1:0").port, 0);
    EXPECT_EQ(parseListen("[::1]:9470").host, "::1");
    EXPECT_EQ(parseListen(":9470").host, "0.0.0.0");
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", "h:65536", "h:12x", "h:123456"}) {
        EXPECT_THROW(parseListen(bad), StartError) << bad;
    }
    EXPECT_EQ(parseHostsText("# all\nhttp://a:1  # first\n\n  http://b:2\r\n#http://c:3\n"),
              (std::vector<std::string>{"http://a:1", "http://b:2"}));

    EXPECT_TRUE(validDeviceId("SIM2466394"));
    EXPECT_TRUE(validDeviceId("ups-1.a_b:2"));
    for (const char* bad : {"", "a b", "a/b", "a\"b", "<x>"}) {
        EXPECT_FALSE(validDeviceId(bad)) << bad;
    }
    EXPECT_FALSE(validDeviceId(std::string(65, 'a')));
}

TEST(MetricsTest, LabelsAreEscapedAndUnitsOfADownHostAreNotExported) {
    using namespace custovia::tools;
    Snapshot s;
    s.timeMs = 10000;
    for (const char* key : {"up.example", "down.example"}) {
        HostView h;
        h.key = key;
        h.ready = true;
        ComputerView c;
        c.id = "localhost";
        DeviceView d;
        d.device.id = std::string("U-") + key;
        d.device.userName = "rack \"A\"\\left\nrow";
        d.device.vars.cBattery = 87.5;
        d.device.last = 9000;
        c.devices.push_back(d);
        h.computers.push_back(c);
        s.hosts.push_back(h);
    }
    s.hosts[1].hasHealth = true;
    s.hosts[1].health.reachable = false;

    std::string text = metricsText(s);
    EXPECT_NE(text.find("user_name=\"rack \\\"A\\\"\\\\left\\nrow\""), std::string::npos) << text;
    EXPECT_NE(text.find("custovia_battery_charge_ratio{host=\"up.example\",computer=\"localhost\","
                        "device=\"U-up.example\"} 0.875\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("custovia_reading_age_seconds{host=\"up.example\",computer=\"localhost\","
                        "device=\"U-up.example\"} 1\n"),
              std::string::npos);
    EXPECT_NE(text.find("custovia_host_up{host=\"down.example\",url=\"\"} 0\n"), std::string::npos);
    EXPECT_EQ(text.find("U-down.example"), std::string::npos);
    // A family without samples is not declared.
    EXPECT_EQ(text.find("custovia_countdown_seconds"), std::string::npos);
}

// The value of the one series of `family` in `text`.
std::string valueOf(const std::string& text, const std::string& family) {
    std::size_t at = text.find("\n" + family + "{");
    EXPECT_NE(at, std::string::npos) << family;
    std::size_t end = text.find('\n', at + 1);
    std::string line = text.substr(at + 1, end - at - 1);
    return line.substr(line.rfind(' ') + 1);
}

TEST(MetricsTest, PartsJoinToTheWholeTextAndNumbersAreWrittenAsPrintfWritesThem) {
    using namespace custovia::tools;
    Snapshot s;
    s.timeMs = 50000;
    for (int i = 0; i < 3; ++i) {
        HostView h;
        h.key = "host" + std::to_string(i);
        h.ready = true;
        h.hasHealth = true;
        h.health.reachable = true;
        h.health.lastSuccessMs = 49000;
        h.health.cycles = 123456789012;
        ComputerView c;
        c.id = "localhost";
        for (int j = 0; j < 4; ++j) {
            DeviceView d;
            d.device.id = "U" + std::to_string(j);
            d.device.vars.cBattery = std::nan("");
            d.device.vars.vBattery = -0.0;
            d.device.vars.vInput = 1e20;
            d.device.vars.vOutput = 230.4567;
            d.device.vars.fOutput = 49.99999;
            d.device.vars.pOutput = 123456.789;
            d.device.vars.temperature = 1234567;
            c.devices.push_back(d);
        }
        h.computers.push_back(c);
        s.hosts.push_back(h);
    }
    std::string whole = metricsText(s);
    EXPECT_EQ(valueOf(whole, "custovia_battery_charge_ratio"), "NaN");
    EXPECT_EQ(valueOf(whole, "custovia_battery_voltage_volts"), "-0");
    EXPECT_EQ(valueOf(whole, "custovia_input_voltage_volts"), "1e+20");
    EXPECT_EQ(valueOf(whole, "custovia_output_voltage_volts"), "230.457");
    EXPECT_EQ(valueOf(whole, "custovia_output_frequency_hertz"), "50");
    EXPECT_EQ(valueOf(whole, "custovia_output_power_watts"), "123457");
    EXPECT_EQ(valueOf(whole, "custovia_temperature_celsius"), "1234567");
    EXPECT_EQ(valueOf(whole, "custovia_host_cycles_total"), "123456789012");
    EXPECT_EQ(valueOf(whole, "custovia_host_last_success_age_seconds"), "1");

    // However small the parts, they join to the same text, and each family
    // is declared once, before its series.
    auto shared = std::make_shared<const Snapshot>(s);
    for (std::size_t size : {1, 7, 100, 4096}) {
        MetricsWriter writer(shared);
        std::string joined;
        std::string part;
        while (writer.next(part, size)) {
            EXPECT_FALSE(part.empty());
            joined += part;
            part.clear();
        }
        EXPECT_EQ(joined, whole) << size;
    }
    std::size_t helps = 0;
    for (std::size_t at = whole.find("# HELP custovia_status_flag "); at != std::string::npos;
         at = whole.find("# HELP custovia_status_flag ", at + 1)) {
        ++helps;
    }
    EXPECT_EQ(helps, 1u);
}

CustoviaEvent event(uint64_t seq) {
    CustoviaEvent e;
    e.seq = seq;
    e.kindName = "flagRaised";
    e.name = "opBattery";
    e.text = "line one\nline \"two\"";
    return e;
}

TEST(EventRingTest, KeepsTheNewestInOrderAndTellsWhatWasMissed) {
    EventRing ring(3);
    for (uint64_t i = 1; i <= 5; ++i) {
        ring.push(event(i));
    }
    ring.push(event(4));  // out of order: ignored
    EXPECT_EQ(ring.last(), 5u);
    bool missed = false;
    auto all = ring.since(0, &missed);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(missed);
    EXPECT_EQ(all.front().id, 3u);
    auto rest = ring.since(3, &missed);
    EXPECT_FALSE(missed);
    ASSERT_EQ(rest.size(), 2u);
    // One frame: its id line and one data line, whatever the text holds.
    EXPECT_EQ(rest[0].frame.rfind("id: 4\ndata: {", 0), 0u) << rest[0].frame;
    EXPECT_EQ(rest[0].frame.find('\n', 6), rest[0].frame.size() - 2);
    EXPECT_FALSE(ring.wait(5, std::chrono::milliseconds(1)));
    EXPECT_TRUE(ring.wait(4, std::chrono::milliseconds(1)));
    ring.stop();
    EXPECT_FALSE(ring.wait(0, std::chrono::milliseconds(1000)));
}

}  // namespace
