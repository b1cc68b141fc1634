#include <gtest/gtest.h>

#include "config/DetectionConfig.h"

using namespace custovia;

TEST(DetectionConfig, TextListsCdcThenHidThenSerial) {
    DetectionConfig config;
    EXPECT_EQ(config.toString(), "");

    config.cdc.emplace_back(0x403, 0x6001);
    EXPECT_EQ(config.toString(), "USB/CDC:\n\tVID = 0403, PID = 6001\n");

    config.hid.emplace_back(0x0665, 0x5161);
    config.hid.emplace_back(0x1abcd, 0xa);  // longer numbers are not cut
    config.serial.emplace_back();
    config.serial.emplace_back(9600, 7, 2, 1, 500);
    EXPECT_EQ(config.toString(),
              "USB/CDC:\n\tVID = 0403, PID = 6001\n"
              "USB/HID:\n\tVID = 0665, PID = 5161\n\tVID = 1ABCD, PID = 000A\n"
              "Serial :\n\tBaudrate = 2400, Databits = 8, Stopbits = 1, Parity = 0, Timeout = 40\n"
              "\tBaudrate = 9600, Databits = 7, Stopbits = 2, Parity = 1, Timeout = 500\n");
}

TEST(DetectionConfig, AssignReplacesListsInsteadOfMerging) {
    DetectionConfig source;
    source.hid.emplace_back(1, 2);
    source.cdc.emplace_back(3, 4);
    source.serial.emplace_back(19200, 8, 1, 2, 100);

    DetectionConfig target;
    target.hid.emplace_back(9, 9);
    target.cdc.emplace_back(8, 8);
    target.serial.emplace_back();
    target.assign(source);
    EXPECT_EQ(target.toString(), source.toString());

    // Assigning a record to itself must not empty it.
    target.assign(target);
    EXPECT_EQ(target.toString(), source.toString());

    target.reset();
    EXPECT_EQ(target.toString(), "");
}
