// Serial ports against real pseudo-terminal pairs: the port opens the
// terminal side, the test plays the device on the controlling side. The port
// listing reads a sysfs tree built in a temporary folder.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/Port.h"

namespace fs = std::filesystem;
using tkl::SerialPort;
using tkltest::expectThrow;
using Names = std::vector<std::string>;

namespace {

class PtyPair {
public:
    PtyPair() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        EXPECT_TRUE(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
                    ::fcntl(master_, F_SETFL, O_NONBLOCK) == 0);
        path_ = ::ptsname(master_);
    }
    ~PtyPair() { closeMaster(); }

    const std::string& path() const { return path_; }
    void closeMaster() { ::close(std::exchange(master_, -1)); }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads `size` bytes from the device side, waiting up to 5 s.
    std::string receive(size_t size) {
        std::string bytes;
        testsupport::waitFor(
            [&] {
                char buffer[64];
                ssize_t count =
                    ::read(master_, buffer, std::min(sizeof buffer, size - bytes.size()));
                bytes.append(buffer, static_cast<size_t>(std::max<ssize_t>(count, 0)));
                return bytes.size() >= size;
            },
            std::chrono::seconds(5));
        return bytes;
    }
    termios settings() const {
        termios result{};
        EXPECT_EQ(::tcgetattr(master_, &result), 0);
        return result;
    }
    // The line speed, 0 when input and output speeds differ.
    speed_t speed() const {
        const termios current = settings();
        return ::cfgetispeed(&current) == ::cfgetospeed(&current) ? ::cfgetospeed(&current) : 0;
    }

private:
    int master_;
    std::string path_;
};

SerialPort::SerialConfig makeConfig(int baud, int databits, int stopbits, int parity, int timeout) {
    SerialPort::SerialConfig config;
    config.set(baud, databits, stopbits, parity, timeout);
    return config;
}

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

TEST(SerialPort, ClosedPortRefusesDeviceOperationsAndFailedOpenLeavesItClosed) {
    SerialPort port;
    EXPECT_EQ(port.toString(),
              "[Port] path: <empty>, isOpen: no, baudrate(bps)=2400, databits=8, stopbits=1, "
              "parity=0, timeout(ms)=40");
    // -1 keeps a setting.
    EXPECT_EQ(makeConfig(9600, -1, -1, -1, -1).toString(),
              "baudrate(bps)=9600, databits=8, stopbits=1, parity=0, timeout(ms)=40");
    char buffer[4];
    for (const std::function<void()>& call : std::vector<std::function<void()>>{
             [&] { port.read(buffer, 0); }, [&] { port.read(nullptr, -1); },
             [&] { port.write(buffer, 4); }, [&] { port.flush(); }, [&] { port.purge(); },
             [&] { port.setPin(SerialPort::PinDtr, true); },
             [&] { port.getPin(SerialPort::PinCts); },
             [&] { port.setConfig(SerialPort::SerialConfig()); }}) {
        expectThrow<tkl::FileNotOpenException>(call, "Serial port closed", -32012);
    }

    for (const char* path : {"", static_cast<const char*>(nullptr)}) {
        expectThrow<tkl::InvalidArgumentException>([&] { port.open(path); },
                                                   "Null or empty argument 'fPath'", -202);
    }
    // A name without a leading "/" is looked up under /dev.
    expectThrow<tkl::OpenFileException>(
        [&] { port.open("ttyNoSuchPort"); },
        "Error opening \"ttyNoSuchPort\": No such file or directory", -32017);

    // Not a terminal: it opens but refuses line settings, so nothing stays open.
    expectThrow<tkl::IOException>(
        [&] { port.open("null"); },
        "Error getting config of \"null\": Inappropriate ioctl for device", -320);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.getPath(), "");
}

TEST(SerialPort, LineSettingsReachTheDeviceAndOnlyOneOwnerAtATime) {
    PtyPair pty;
    SerialPort port;
    port.open(pty.path(), makeConfig(9600, 8, 2, 0, 100));
    termios settings = pty.settings();
    EXPECT_EQ(pty.speed(), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
    // Raw bytes: no echo, no line editing, no line-end mapping.
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);

    // Stop bits other than 2 mean 1, parity other than 1 or 2 means none.
    port.setConfig(makeConfig(19200, 8, 3, 5, 100));
    EXPECT_EQ(pty.speed(), static_cast<speed_t>(B19200));
    EXPECT_EQ(pty.settings().c_cflag & (CSTOPB | PARENB), 0u);

    // Refused settings leave the old ones. A pseudo-terminal runs only 8 data
    // bits without parity, so it refuses 7 bits and parity like an unknown speed.
    const std::string refused = "Error setting config of \"" + pty.path() + "\": Invalid argument";
    for (const auto& config : {makeConfig(12345, 8, 1, 0, 100), makeConfig(9600, 9, 1, 0, 100),
                               makeConfig(9600, 7, 1, 0, 100), makeConfig(9600, 8, 1, 1, 100),
                               makeConfig(9600, 8, 1, 2, 100)}) {
        expectThrow<tkl::IOException>([&] { port.setConfig(config); }, refused, -320);
    }
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.getConfig().baudrate, 19200);
    EXPECT_EQ(pty.speed(), static_cast<speed_t>(B19200));

    // Opening again closes (and so resets) the port; the new settings must still apply.
    port.open(pty.path(), makeConfig(38400, 8, 2, 0, 100));
    EXPECT_EQ(pty.speed(), static_cast<speed_t>(B38400));
    EXPECT_NE(pty.settings().c_cflag & CSTOPB, 0u);

    SerialPort second(port);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.getConfig().baudrate, 38400);
    expectThrow<tkl::OpenFileException>(
        [&] { second.open(pty.path()); },
        "Error opening \"" + pty.path() + "\": Device or resource busy", -32017);
    EXPECT_TRUE(port.isOpen());
    port.close();
    EXPECT_EQ(port.toString(), SerialPort().toString());
    second.open(pty.path());
    EXPECT_TRUE(second.isOpen());
}

TEST(SerialPort, BytesTravelBothWaysPinsNeedModemLinesAndAHangUpEndsReads) {
    PtyPair pty;
    SerialPort port;
    port.open(pty.path(), makeConfig(9600, 8, 1, 0, 200));

    const std::string binary("Q1\r\n\0\xff\x13\x11", 8);
    EXPECT_EQ(port.write(binary.data(), static_cast<int32_t>(binary.size())), 8);
    port.flush();
    EXPECT_EQ(pty.receive(8), binary);

    pty.send(binary);
    char buffer[16] = {};
    EXPECT_EQ(port.read(buffer, 8), 8);
    EXPECT_EQ(std::string(buffer, 8), binary);

    // A device that answers in pieces, each within the time-out, is read whole.
    std::thread device([&] {
        for (const char* piece : {"(230.", "0 49.", "9)\r"}) {
            pty.send(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_EQ(port.read(buffer, 13), 13);
    device.join();
    EXPECT_EQ(std::string(buffer, 13), "(230.0 49.9)\r");

    // Four bytes, then silence: the read ends with what came.
    pty.send("ABCD");
    EXPECT_EQ(port.read(buffer, 10), 4);
    EXPECT_EQ(std::string(buffer, 4), "ABCD");

    // Size 0 does not touch the device; bad buffers are refused.
    pty.send("Z");
    EXPECT_EQ(port.read(buffer, 0), 0);
    EXPECT_EQ(port.write(buffer, 0), 0);
    for (const std::function<void()>& bad : std::vector<std::function<void()>>{
             [&] { port.read(nullptr, 4); }, [&] { port.read(buffer, -1); },
             [&] { port.write(nullptr, 4); }}) {
        expectThrow<tkl::InvalidArgumentException>(bad, "Null 'buf' argument or 'size' < 0", -202);
    }
    EXPECT_EQ(port.read(buffer, 1), 1);
    EXPECT_EQ(buffer[0], 'Z');

    // Purge drops input that has reached the port but was not read.
    pty.send("stale");
    ASSERT_EQ(port.read(buffer, 1), 1);
    port.purge();
    EXPECT_EQ(port.read(buffer, 8), 0);

    // With a minute's time-out, only the hang-up can end the read soon.
    port.setConfig(makeConfig(9600, 8, 1, 0, 60000));

    const std::string noModem = "\"" + pty.path() + "\": Inappropriate ioctl for device";
    // The modem status is read before the pin is checked, so DTR fails the same way.
    for (int32_t pin : {SerialPort::PinCts, SerialPort::PinDtr}) {
        expectThrow<tkl::IOException>([&] { port.getPin(pin); },
                                      "Error getting serial port status " + noModem, -320);
    }
    expectThrow<tkl::IOException>([&] { port.setPin(SerialPort::PinDtr, true); },
                                  "Error setting serial port pin " + noModem, -320);
    expectThrow<tkl::InvalidArgumentException>([&] { port.clearPin(8); }, "Invalid serial port pin",
                                               -202);

    // A hang-up ends reads and fails writes; the port stays open.
    pty.send("last");
    ASSERT_EQ(port.read(buffer, 4), 4);
    pty.closeMaster();
    EXPECT_EQ(port.read(buffer, 8), 0);
    expectThrow<tkl::IOException>(
        [&] { port.write("x", 1); },
        "Error writing serial port \"" + pty.path() + "\": Input/output error", -320);
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialPort, WithoutTimeOutAReadTakesWhatHasArrivedAndNeverWaits) {
    PtyPair pty;
    for (int timeout : {0, -1}) {
        SCOPED_TRACE(timeout);
        SerialPort port;
        port.open(pty.path(), makeConfig(9600, 8, 1, 0, timeout));
        char buffer[8];
        EXPECT_EQ(port.read(buffer, sizeof buffer), 0);
        pty.send("OK");
        std::string received;
        testsupport::waitFor([&] {
            received.append(buffer, static_cast<size_t>(port.read(buffer, sizeof buffer)));
            return received.size() >= 2;
        });
        EXPECT_EQ(received, "OK");
        EXPECT_EQ(port.read(buffer, sizeof buffer), 0);
    }
}

TEST_F(FakeSysfs, StandardPortsArePresentUartsAndUsbPortsMatchVendorAndProduct) {
    // A missing tree lists nothing.
    EXPECT_EQ(SerialPort::listPorts(), Names{});
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0x6001), Names{});

    tty("ttyS0", "platform/serial8250", "4");
    tty("ttyS1", "platform/serial8250", "0");  // no UART at that address
    tty("ttyS10", "platform/serial8250", "4");
    tty("ttyS2", "pnp/00:05");
    tty("tty0", "");  // virtual console: no device
    tty("ttyAMA0", "platform/uart");
    usbTty("ttyUSB0", "1-1", "0403", "6001", true);  // FTDI adapter
    usbTty("ttyUSB1", "1-2", "0403", "0000", true);
    usbTty("ttyACM0", "1-3", "0463", "ffff", false);  // CDC ACM: tty on the interface
    // A dangling device link and an unreadable vendor number match nothing.
    fs::create_directories(root_ / "class" / "tty" / "ttyUSB9");
    fs::create_directory_symlink("../../../devices/gone", root_ / "class/tty/ttyUSB9/device");
    usbTty("ttyUSB5", "1-5", "zz", "6001", true);

    // Plain byte order: "ttyS10" before "ttyS2".
    EXPECT_EQ(SerialPort::listPorts(), (Names{"ttyS0", "ttyS10", "ttyS2"}));
    EXPECT_EQ(SerialPort::listRegisteredPorts(false), (Names{"ttyS0", "ttyS10", "ttyS2"}));
    EXPECT_EQ(SerialPort::listRegisteredPorts(true),
              (Names{"ttyACM0", "ttyAMA0", "ttyUSB0", "ttyUSB1", "ttyUSB5"}));
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0x6001), (Names{"ttyUSB0"}));
    EXPECT_EQ(SerialPort::listPorts(0x0463, 0xFFFF), (Names{"ttyACM0"}));
    // A vendor alone asks for product number 0.
    EXPECT_EQ(SerialPort::listPorts(0x0403, 0), (Names{"ttyUSB1"}));
    EXPECT_EQ(SerialPort::listPorts(0x1234, 0x5678), Names{});
}
