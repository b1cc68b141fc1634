// The frame every export shares: argument checks, unknown hosts, and what
// reaches the caller when a call fails.
#include <QCoreApplication>

#include "ClientFixture.h"

using clienttest::Handle;

// A null handle, a pointer openCli() never returned and a closed handle are
// all refused; closing any of them does nothing (no double delete).
TEST(ExportFrame, HandlesThatAreNotLiveAreRejectedByEveryExport) {
    int notAHandle = 0;
    CustoviaHandle closed = openCli();
    ASSERT_NE(closed, nullptr);
    closeCli(closed);
    const char* d = "dev";
    for (CustoviaHandle handle : {CustoviaHandle(nullptr), CustoviaHandle(&notAHandle), closed}) {
        closeCli(handle);
        EXPECT_EQ(connectCli(handle, "http://127.0.0.1:1"), -202);
        EXPECT_EQ(disconnectCli(handle, "h"), -202);
        EXPECT_EQ(isConnected(handle, "h"), -202);
        EXPECT_EQ(getHostCount(handle, nullptr), -202);
        EXPECT_EQ(getComputerCount(handle, nullptr, nullptr), -202);
        EXPECT_EQ(getDeviceCount(handle, nullptr, nullptr, nullptr), -202);
        custovia::Device device;
        CustoviaDevices devices;
        EXPECT_EQ(getDevice(handle, nullptr, nullptr, d, &device), -202);
        EXPECT_EQ(getDeviceList(handle, nullptr, nullptr, &devices), -202);
        EXPECT_EQ(deleteDevice(handle, nullptr, nullptr, d), -202);
        EXPECT_EQ(manualDevShutdown(handle, nullptr, nullptr, d), -202);
        EXPECT_EQ(changeColorDevice(handle, nullptr, nullptr, d, 1, 2, 3, false), -202);
        tkl::Logger* logger = nullptr;
        EXPECT_EQ(getLogger(handle, "x", &logger), -202);
    }
    EXPECT_EQ(notAHandle, 0);
}

TEST(ExportFrame, MissingReceiversAreRejectedUnknownHostsNotFoundAndTheLibraryBringsLoggersAndQt) {
    Handle h;
    EXPECT_EQ(getVersion(h, nullptr, nullptr, nullptr), -202);
    EXPECT_EQ(getDevice(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(getDeviceList(h, nullptr, nullptr, nullptr), -202);
    EXPECT_EQ(getComputerList(h, nullptr, nullptr), -202);
    EXPECT_EQ(getDeviceConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(getDeviceConfigByModel(h, nullptr, nullptr, 1, 2, nullptr), -202);
    EXPECT_EQ(devMailConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(devDialerConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(devShutdownConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(notifyConfig(h, nullptr, nullptr, nullptr), -202);
    for (auto read : {deviceLog, deviceLogHour, deviceLogDay, deviceLogMonth}) {
        EXPECT_EQ(read(h, nullptr, nullptr, "d", nullptr), -202);
    }
    EXPECT_EQ(getRegressiveCounter(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(getRegressiveCounterList(h, nullptr, nullptr, nullptr), -202);
    // A settings record is required: a null one is refused instead of read.
    EXPECT_EQ(updDevMailConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(updDevDialerConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(updDevShutdownConfig(h, nullptr, nullptr, "d", nullptr), -202);
    EXPECT_EQ(updNotifyConfig(h, nullptr, nullptr, nullptr), -202);

    tkl::Logger* logger = reinterpret_cast<tkl::Logger*>(0x1);
    EXPECT_EQ(getLogger(h, nullptr, &logger), -202);
    EXPECT_EQ(logger, reinterpret_cast<tkl::Logger*>(0x1));
    EXPECT_EQ(getLogger(h, "x", nullptr), -202);
    // A named logger comes from the registry, without any host.
    ASSERT_EQ(getLogger(h, "myprogram", &logger), 1);
    EXPECT_EQ(logger, tkl::Logger::getLogger("myprogram"));
    // This program never made a Qt application object: the library did when
    // it was loaded.
    EXPECT_NE(QCoreApplication::instance(), nullptr);

    // Hosts that are not connected are not found.
    CustoviaNames names = {"a", "b", "c"};
    EXPECT_EQ(getHostCount(h, &names), 3);
    EXPECT_EQ(getHostCount(h, nullptr), 0);
    EXPECT_EQ(isConnected(h, "unknown"), 0);
    EXPECT_EQ(isConnected(h, nullptr), 0);
    EXPECT_EQ(disconnectCli(h, "unknown"), -302);
    EXPECT_EQ(disconnectCli(h, nullptr), -302);

    CustoviaDevices devices = {{"kept", custovia::Device()}};
    EXPECT_EQ(getDeviceList(h, "unknown", nullptr, &devices), -302);
    EXPECT_EQ(devices.size(), 1u) << "a failed call leaves the container as it was";
    EXPECT_EQ(getDeviceList(h, nullptr, nullptr, &devices), -302);
    EXPECT_EQ(manualDevShutdown(h, "unknown", nullptr, "d"), -302);
    EXPECT_EQ(getComputerCount(h, nullptr, nullptr), -302);

    EXPECT_EQ(connectCli(h, nullptr), -202);
    EXPECT_EQ(connectCli(h, ""), -202);
    EXPECT_EQ(getHostCount(h, nullptr), 0);
}
