// Serial ports on Windows: opening failures and the registry lookups of the
// port lists, run against a scratch branch of the current user's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tkl/Exception.h"
#include "tkl/Port.h"
#include "tkl/SerialPortRegistry.h"
#include "tkl/System.h"

using tkl::SerialPort;
using Ports = std::vector<std::string>;

namespace {

// HKEY_CURRENT_USER\Software\tkl-serial-test-<pid>, removed again afterwards.
class SerialRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = "Software\\tkl-serial-test-" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str()); }

    std::string key(const std::string& below) const { return root_ + "\\" + below; }

    void setText(const std::string& below, const char* name, const std::string& value) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key(below).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)),
            ERROR_SUCCESS);
        RegCloseKey(handle);
    }

    std::string root_;
};

}  // namespace

TEST(SerialPortWin32, OpeningAMissingPortFailsAndLeavesItClosed) {
    SerialPort port;
    try {
        port.open("COM231");
        FAIL() << "no exception";
    } catch (const tkl::OpenFileException& e) {
        EXPECT_EQ(e.code(), -32017);
        const std::string prefix = "Error opening \"COM231\": ";
        ASSERT_EQ(e.message().rfind(prefix, 0), 0u) << e.message();
        EXPECT_FALSE(e.message().substr(prefix.size()).empty());
    }
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.getPath(), "");
    char byte = 0;
    EXPECT_THROW(port.read(&byte, 1), tkl::FileNotOpenException);
    EXPECT_THROW(port.getPin(SerialPort::PinCts), tkl::FileNotOpenException);
    EXPECT_THROW(port.open(""), tkl::InvalidArgumentException);
}

TEST_F(SerialRegistry, SystemListSeparatesStandardPortsFromOthers) {
    setText("SERIALCOMM", "\\Device\\Serial0", "COM1");
    setText("SERIALCOMM", "\\Device\\Serial12", "com12");
    setText("SERIALCOMM", "\\Device\\VCP0", "COM7");
    setText("SERIALCOMM", "\\Device\\USBSER000", "com3");
    // Not standard: no number, or more than a number after "SERIAL".
    setText("SERIALCOMM", "\\Device\\Serial", "COM20");
    setText("SERIALCOMM", "\\Device\\Serial2a", "COM21");
    // No port name: skipped.
    setText("SERIALCOMM", "\\Device\\Serial5", "");

    Ports standard =
        tkl::serial::registeredPorts(HKEY_CURRENT_USER, key("SERIALCOMM").c_str(), false);
    std::sort(standard.begin(), standard.end());
    EXPECT_EQ(standard, (Ports{"COM1", "COM12"}));
    Ports others = tkl::serial::registeredPorts(HKEY_CURRENT_USER, key("SERIALCOMM").c_str(), true);
    std::sort(others.begin(), others.end());
    EXPECT_EQ(others, (Ports{"COM20", "COM21", "COM3", "COM7"}));

    EXPECT_TRUE(
        tkl::serial::registeredPorts(HKEY_CURRENT_USER, key("MISSING").c_str(), false).empty());
}

TEST_F(SerialRegistry, DevicePortsMatchIdentifierAndPresence) {
    EXPECT_EQ(tkl::serial::usbIdentifier(0x665, 0x5161, '&'), "VID_0665&PID_5161");
    EXPECT_EQ(tkl::serial::usbIdentifier(0x403, 0, '+'), "VID_0403+PID_0000");

    const std::string usb = "Enum\\USB\\";
    setText(usb + "VID_0665&PID_5161\\1&2&3\\Device Parameters", "PortName", "com4");
    // Same device, second instance; and an interface of a composite device.
    setText(usb + "vid_0665&pid_5161\\4&5&6\\Device Parameters", "PortName", "COM9");
    setText(usb + "VID_0665&PID_5161&MI_01\\7&8\\Device Parameters", "PortName", "COM11");
    // Another product, and a product number that only starts the same way.
    setText(usb + "VID_0665&PID_5162\\1\\Device Parameters", "PortName", "COM5");
    setText(usb + "VID_0665&PID_51610\\1\\Device Parameters", "PortName", "COM6");
    // Unplugged: its port is not in the present list.
    setText(usb + "VID_0665&PID_5161\\9\\Device Parameters", "PortName", "COM30");

    const Ports present = {"COM4", "COM5", "COM6", "COM9", "COM11"};
    Ports found = tkl::serial::devicePorts(HKEY_CURRENT_USER, key("Enum\\USB").c_str(),
                                           "VID_0665&PID_5161", present);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Ports{"COM11", "COM4", "COM9"}));

    // FTDI adapters add their serial number to the device key.
    setText("Enum\\FTDIBUS\\VID_0403+PID_6001+A50285BI\\0000\\Device Parameters", "PortName",
            "COM8");
    EXPECT_EQ(tkl::serial::devicePorts(HKEY_CURRENT_USER, key("Enum\\FTDIBUS").c_str(),
                                       "VID_0403+PID_6001", {"COM8"}),
              (Ports{"COM8"}));
    EXPECT_TRUE(tkl::serial::devicePorts(HKEY_CURRENT_USER, key("Enum\\NONE").c_str(),
                                         "VID_0403+PID_6001", {"COM8"})
                    .empty());
}

TEST(SerialPortWin32, MachineListsAreSortedAndNeverThrow) {
    const Ports ports = SerialPort::listPorts();
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
    for (const std::string& port : ports) {
        EXPECT_EQ(port.rfind("COM", 0), 0u) << port;
    }
    EXPECT_NO_THROW(SerialPort::listPorts(0x0665, 0x5161));
}

// A real line: scripts/test-windows maps a COM port onto a pseudo-terminal
// whose other end echoes every byte, and names the port in TKL_TEST_COM_PORT.
TEST(SerialPortWin32, EchoedBytesComeBackAndSilenceEndsARead) {
    const char* name = std::getenv("TKL_TEST_COM_PORT");
    if (name == nullptr || *name == '\0') {
        GTEST_SKIP() << "no echoing COM port (TKL_TEST_COM_PORT)";
    }
    SerialPort::SerialConfig line;
    line.set(9600, 8, 1, 0, 200);
    SerialPort port;
    port.open(name, line);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.getPath(), name);
    EXPECT_EQ(port.getConfig().baudrate, 9600);

    const std::string sent = "status?\r";
    EXPECT_EQ(port.write(sent.data(), static_cast<int32_t>(sent.size())),
              static_cast<int32_t>(sent.size()));
    port.flush();
    std::string received(sent.size(), '\0');
    EXPECT_EQ(port.read(&received[0], static_cast<int32_t>(received.size())),
              static_cast<int32_t>(sent.size()));
    EXPECT_EQ(received, sent);

    // Nothing more comes: the read returns empty after the time-out.
    char more[4];
    const uint32_t start = tkl::System::getTicks();
    EXPECT_EQ(port.read(more, sizeof more), 0);
    EXPECT_GE(tkl::System::getTicks() - start, 150u);
    EXPECT_EQ(port.read(more, 0), 0);

    // Without a time-out a read never waits: empty from a silent line, and
    // the echo is taken as it arrives, a piece at a time.
    for (int timeout : {0, -1}) {
        SCOPED_TRACE(timeout);
        line.set(9600, 8, 1, 0, timeout);
        port.setConfig(line);
        EXPECT_EQ(port.read(more, sizeof more), 0);
        EXPECT_EQ(port.write("ping", 4), 4);
        std::string echoed;
        const uint32_t begun = tkl::System::getTicks();
        while (echoed.size() < 4 && tkl::System::getTicks() - begun < 5000) {
            const int32_t count = port.read(more, sizeof more);
            echoed.append(more, static_cast<size_t>(count));
        }
        EXPECT_EQ(echoed, "ping");
    }

    // New line settings apply to the open port and are kept.
    line.set(19200, 7, 2, 2, 100);
    port.setConfig(line);
    EXPECT_EQ(port.getConfig().baudrate, 19200);
    EXPECT_EQ(port.getConfig().parity, 2);
    port.purge();
    // Settings the device cannot run are refused; the port keeps the old ones.
    SerialPort::SerialConfig wide = line;
    wide.databits = 9;
    EXPECT_THROW(port.setConfig(wide), tkl::IOException);
    EXPECT_EQ(port.getConfig().databits, 7);
    EXPECT_TRUE(port.isOpen());

    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.getPath(), "");
    EXPECT_EQ(port.getConfig().baudrate, 2400);  // closing resets the settings
}
