// The frame every export shares: argument checks, unknown hosts, and what
// reaches the caller when a call fails.
#include <QCoreApplication>

#include "ClientFixture.h"

using clienttest::codes;
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
        custovia::Device device;
        CustoviaDevices devices;
        tkl::Logger* logger = nullptr;
        EXPECT_EQ(codes({connectCli(handle, "http://127.0.0.1:1"), disconnectCli(handle, "h"),
                         isConnected(handle, "h"), getHostCount(handle, nullptr),
                         getComputerCount(handle, nullptr, nullptr),
                         getDeviceCount(handle, nullptr, nullptr, nullptr),
                         getDevice(handle, nullptr, nullptr, d, &device),
                         getDeviceList(handle, nullptr, nullptr, &devices),
                         deleteDevice(handle, nullptr, nullptr, d),
                         manualDevShutdown(handle, nullptr, nullptr, d),
                         changeColorDevice(handle, nullptr, nullptr, d, 1, 2, 3, false),
                         getLogger(handle, "x", &logger)}),
                  "-202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202");
    }
    EXPECT_EQ(notAHandle, 0);
}

TEST(ExportFrame, MissingReceiversAreRejectedUnknownHostsNotFoundAndTheLibraryBringsLoggersAndQt) {
    Handle h;
    // Every receiver and settings record is required: a null one is refused.
    const char* d = "d";
    constexpr std::nullptr_t none = nullptr;
    EXPECT_EQ(codes({getVersion(h, none, none, none), getDevice(h, none, none, d, none),
                     getDeviceList(h, none, none, none), getComputerList(h, none, none),
                     getDeviceConfig(h, none, none, d, none),
                     getDeviceConfigByModel(h, none, none, 1, 2, none),
                     devMailConfig(h, none, none, d, none), devDialerConfig(h, none, none, d, none),
                     devShutdownConfig(h, none, none, d, none), notifyConfig(h, none, none, none),
                     deviceLog(h, none, none, d, none), deviceLogHour(h, none, none, d, none),
                     deviceLogDay(h, none, none, d, none), deviceLogMonth(h, none, none, d, none),
                     getRegressiveCounter(h, none, none, d, none),
                     getRegressiveCounterList(h, none, none, none)}),
              "-202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202 -202");
    tkl::Logger* logger = nullptr;
    EXPECT_EQ(
        codes({updDevMailConfig(h, none, none, d, none), updDevDialerConfig(h, none, none, d, none),
               updDevShutdownConfig(h, none, none, d, none), updNotifyConfig(h, none, none, none),
               getLogger(h, "x", none), getLogger(h, none, &logger), connectCli(h, none),
               connectCli(h, "")}),
        "-202 -202 -202 -202 -202 -202 -202 -202");
    // A named logger comes from the registry, without any host.
    ASSERT_EQ(getLogger(h, "myprogram", &logger), 1);
    EXPECT_EQ(logger, tkl::Logger::getLogger("myprogram"));
    // This program made no Qt application object: the library did on loading.
    EXPECT_NE(QCoreApplication::instance(), nullptr);

    // Hosts that are not connected are not found; a failed call leaves the
    // container as it was.
    CustoviaNames names = {"a", "b", "c"};
    CustoviaDevices devices = {{"kept", custovia::Device()}};
    EXPECT_EQ(
        codes({getHostCount(h, &names), getHostCount(h, nullptr), isConnected(h, "unknown"),
               isConnected(h, nullptr), disconnectCli(h, "unknown"), disconnectCli(h, nullptr),
               getDeviceList(h, "unknown", nullptr, &devices),
               getDeviceList(h, nullptr, nullptr, &devices),
               manualDevShutdown(h, "unknown", nullptr, "d"), getComputerCount(h, nullptr, nullptr),
               static_cast<long long>(devices.size())}),
        "3 0 0 0 -302 -302 -302 -302 -302 -302 1");
}
