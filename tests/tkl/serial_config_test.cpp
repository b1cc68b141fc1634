#include <gtest/gtest.h>

#include "tkl/Port.h"

using tkl::SerialPort;

TEST(SerialConfig, DefaultsTextAndPartialSet) {
    SerialPort::SerialConfig config;
    EXPECT_EQ(config.toString(),
              "baudrate(bps)=2400, databits=8, stopbits=1, parity=0, timeout(ms)=40");
    config.set(9600, -1, -1, -1, -1);
    EXPECT_EQ(config.toString(),
              "baudrate(bps)=9600, databits=8, stopbits=1, parity=0, timeout(ms)=40");
    config.set(19200, 7, 2, 2, 500);
    SerialPort::SerialConfig copy;
    copy.assign(config);
    EXPECT_EQ(copy.toString(),
              "baudrate(bps)=19200, databits=7, stopbits=2, parity=2, timeout(ms)=500");
    copy.reset();
    EXPECT_EQ(copy.toString(), SerialPort::SerialConfig().toString());
}
