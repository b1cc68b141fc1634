// Port listing against a sysfs tree built in a temporary folder.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "tkl/Port.h"

namespace fs = std::filesystem;
using tkl::SerialPort;
using Names = std::vector<std::string>;

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("TKL_SYSFS_ROOT", root_.c_str(), 1); }
    void TearDown() override { ::unsetenv("TKL_SYSFS_ROOT"); }

    void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    // A terminal whose device folder is `device` (relative to devices/), or
    // none when `device` is empty. `type` is the UART type of a standard port.
    void tty(const std::string& name, const std::string& device, const char* type = nullptr) {
        fs::path folder = root_ / "class" / "tty" / name;
        fs::create_directories(folder);
        if (!device.empty()) {
            fs::create_directories(root_ / "devices" / device);
            fs::create_directory_symlink(fs::path("../../../devices") / device, folder / "device");
        }
        if (type != nullptr) {
            write(folder / "type", type);
        }
    }
    // A USB device with an interface and an adapter port below it, as the
    // USB serial drivers lay them out.
    void usbTty(const std::string& name, const std::string& usbDevice, const char* vendor,
                const char* product, bool portFolder) {
        fs::path device = fs::path("pci0000:00/usb1") / usbDevice;
        write(root_ / "devices" / device / "idVendor", vendor);
        write(root_ / "devices" / device / "idProduct", product);
        fs::path interface = device / (usbDevice + ":1.0");
        write(root_ / "devices" / interface / "bInterfaceNumber", "00");
        tty(name, (portFolder ? interface / name : interface).string());
    }

    QTemporaryDir dir_;
    const fs::path root_ = dir_.path().toStdString();
};

}  // namespace

TEST_F(FakeSysfs, StandardPortsArePresentUartsInByteOrder) {
    tty("ttyS0", "platform/serial8250", "4");
    tty("ttyS1", "platform/serial8250", "0");  // no UART at that address
    tty("ttyS10", "platform/serial8250", "4");
    tty("ttyS2", "pnp/00:05");
    tty("tty0", "");  // virtual console: no device
    tty("console", "");
    tty("ttyAMA0", "platform/uart");
    usbTty("ttyUSB0", "1-1", "0403", "6001", true);

    EXPECT_EQ(SerialPort::listPorts(), (Names{"ttyS0", "ttyS10", "ttyS2"}));
    EXPECT_EQ(SerialPort::listRegisteredPorts(false), (Names{"ttyS0", "ttyS10", "ttyS2"}));
    EXPECT_EQ(SerialPort::listRegisteredPorts(true), (Names{"ttyAMA0", "ttyUSB0"}));
}

TEST_F(FakeSysfs, UsbPortsByVendorAndProduct) {
    tty("ttyS0", "platform/serial8250", "4");
    tty("ttyAMA0", "platform/uart");
    usbTty("ttyUSB0", "1-1", "0403", "6001", true);  // FTDI adapter
    usbTty("ttyUSB3", "1-4", "0403", "6001", true);
    usbTty("ttyUSB1", "1-2", "0403", "0000", true);
    usbTty("ttyACM0", "1-3", "0463", "ffff", false);  // CDC ACM: tty on the interface

    EXPECT_EQ(SerialPort::listPorts(0x0403, 0x6001), (Names{"ttyUSB0", "ttyUSB3"}));
    EXPECT_EQ(SerialPort::listPorts(0x0463, 0xFFFF), (Names{"ttyACM0"}));
    // A vendor alone asks for product number 0.
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0), (Names{"ttyUSB1"}));
    EXPECT_EQ(SerialPort::listPorts(0x1234, 0x5678), Names{});
}

TEST_F(FakeSysfs, MissingOrBrokenTreeListsNothing) {
    EXPECT_EQ(SerialPort::listPorts(), Names{});
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0x6001), Names{});
    // A dangling device link and unreadable numbers contribute nothing.
    fs::create_directories(root_ / "class" / "tty" / "ttyUSB9");
    fs::create_directory_symlink("../../../devices/gone", root_ / "class/tty/ttyUSB9/device");
    usbTty("ttyUSB0", "1-1", "zz", "6001", true);
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0x6001), Names{});
    EXPECT_EQ(SerialPort::listRegisteredPorts(true), (Names{"ttyUSB0"}));
    ::setenv("TKL_SYSFS_ROOT", (root_ / "nowhere").c_str(), 1);
    EXPECT_EQ(SerialPort::listRegisteredPorts(true), Names{});
}
