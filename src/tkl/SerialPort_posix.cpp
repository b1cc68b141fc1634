// Serial ports on POSIX terminals (termios). The device is opened
// non-blocking and waited on with poll, so a read or write waits exactly as
// long as its time-out says and no longer; a read with a time-out of 0 or
// less does not wait at all.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "tkl/Exception.h"
#include "tkl/Port.h"
#include "tkl/SerialLine.h"
#include "tkl/System.h"

namespace tkl {
namespace {

using Clock = std::chrono::steady_clock;

std::string errorText(int error) {
    return System::getErrorText(static_cast<uint32_t>(error));
}

[[noreturn]] void failIo(const char* what, const std::string& path, int error) {
    throw IOException(serial::failureMessage(what, path, errorText(error)),
                      IOException::defaultCode);
}

// A name such as "ttyUSB0" or "serial/by-id/..." names a device under /dev;
// an absolute path is used as given.
std::string deviceName(const char* path) {
    return *path == '/' ? std::string(path) : "/dev/" + std::string(path);
}

bool speedOf(int32_t baudrate, speed_t& speed) {
    static const struct {
        int32_t rate;
        speed_t speed;
    } speeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& entry : speeds) {
        if (entry.rate == baudrate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

bool sizeOf(int32_t databits, tcflag_t& size) {
    switch (databits) {
        case 5:
            size = CS5;
            return true;
        case 6:
            size = CS6;
            return true;
        case 7:
            size = CS7;
            return true;
        case 8:
            size = CS8;
            return true;
        default:
            return false;
    }
}

// Milliseconds left of `timeout` since `since`; -1 (no limit) for a
// time-out of 0 or less, which only writes use.
int remainingMs(int32_t timeout, Clock::time_point since) {
    if (timeout <= 0) {
        return -1;
    }
    auto passed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    return passed >= timeout ? 0 : static_cast<int>(timeout - passed);
}

// Waits until the device is ready for `events` or `ms` passed; returns the
// events seen, 0 on time-out.
short waitFor(int fd, short events, int ms, const char* what, const std::string& path) {
    pollfd entry{fd, events, 0};
    for (;;) {
        int ready = ::poll(&entry, 1, ms);
        if (ready >= 0) {
            return ready > 0 ? entry.revents : 0;
        }
        if (errno != EINTR) {
            failIo(what, path, errno);
        }
    }
}

}  // namespace

namespace serial {

intptr_t openDevice(const char* path) {
    int fd = ::open(deviceName(path).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = errno;
    // The port is used by one owner at a time: a second open, from this or
    // another process, fails as busy.
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        throw OpenFileException(failureMessage("Error opening", path, errorText(error)),
                                OpenFileException::defaultCode);
    }
    // Keeps other programs from opening the terminal while we hold it.
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

void closeDevice(intptr_t handle) {
    // The exclusive mode outlives this descriptor when others still hold the
    // terminal open; give it up so the next open is not refused.
    ::ioctl(static_cast<int>(handle), TIOCNXCL);
    ::close(static_cast<int>(handle));
}

}  // namespace serial

void SerialPort::setConfig(const SerialConfig& config) {
    checkOpen();
    int fd = static_cast<int>(handle_);
    termios previous{};
    if (::tcgetattr(fd, &previous) != 0) {
        failIo("Error getting config of", path_, errno);
    }
    speed_t speed;
    tcflag_t size;
    if (!speedOf(config.baudrate, speed) || !sizeOf(config.databits, size)) {
        failIo("Error setting config of", path_, EINVAL);
    }
    termios settings = previous;
    // A serial device carries bytes: no echo, no line editing, no mapping of
    // line ends or signals. Flow control stays as the device reported it.
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | size;
    if (serial::stopBits(config) == 2) {
        settings.c_cflag |= CSTOPB;
    } else {
        settings.c_cflag &= ~CSTOPB;
    }
    settings.c_cflag &= ~(PARENB | PARODD);
    switch (serial::parity(config)) {
        case serial::Parity::Odd:
            settings.c_cflag |= PARENB | PARODD;
            break;
        case serial::Parity::Even:
            settings.c_cflag |= PARENB;
            break;
        case serial::Parity::None:
            break;
    }
    // Reads never block in the driver; the time-out is kept by poll.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        failIo("Error setting config of", path_, errno);
    }
    // A driver takes what it can and drops the rest without an error; a
    // line that does not run as asked is refused and the old settings return.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) {
        failIo("Error getting config of", path_, errno);
    }
    const tcflag_t line = CSIZE | CSTOPB | PARENB | (settings.c_cflag & PARENB ? PARODD : 0);
    if ((applied.c_cflag & line) != (settings.c_cflag & line) || ::cfgetospeed(&applied) != speed ||
        ::cfgetispeed(&applied) != speed) {
        ::tcsetattr(fd, TCSANOW, &previous);
        failIo("Error setting config of", path_, EINVAL);
    }
    config_ = config;
}

int32_t SerialPort::read(void* buf, int32_t size) {
    checkOpen();
    serial::checkBuffer(buf, size);
    int fd = static_cast<int>(handle_);
    auto* bytes = static_cast<char*>(buf);
    int32_t total = 0;
    bool hungUp = false;
    auto lastArrival = Clock::now();
    while (total < size) {
        ssize_t count = ::read(fd, bytes + total, static_cast<size_t>(size - total));
        if (count > 0) {
            total += static_cast<int32_t>(count);
            lastArrival = Clock::now();
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            failIo("Error reading serial port", path_, errno);
        }
        // Nothing buffered. After a hang-up nothing more will arrive, and
        // without a time-out the read takes only what was already there: a
        // silent device must not hold the caller forever.
        if (hungUp || config_.timeout <= 0) {
            break;
        }
        int wait = remainingMs(config_.timeout, lastArrival);
        if (wait == 0) {
            break;
        }
        short events = waitFor(fd, POLLIN, wait, "Error reading serial port", path_);
        if (events == 0) {
            break;
        }
        hungUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return total;
}

int32_t SerialPort::write(const void* buf, int32_t size) {
    checkOpen();
    serial::checkBuffer(buf, size);
    int fd = static_cast<int>(handle_);
    const auto* bytes = static_cast<const char*>(buf);
    int32_t total = 0;
    auto lastProgress = Clock::now();
    while (total < size) {
        ssize_t count = ::write(fd, bytes + total, static_cast<size_t>(size - total));
        if (count > 0) {
            total += static_cast<int32_t>(count);
            lastProgress = Clock::now();
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            failIo("Error writing serial port", path_, errno);
        }
        int wait = remainingMs(config_.timeout, lastProgress);
        if (wait == 0 || waitFor(fd, POLLOUT, wait, "Error writing serial port", path_) == 0) {
            break;
        }
    }
    return total;
}

void SerialPort::flush() {
    checkOpen();
    if (::tcdrain(static_cast<int>(handle_)) != 0) {
        failIo("Error flushing serial port", path_, errno);
    }
}

void SerialPort::purge() {
    checkOpen();
    if (::tcflush(static_cast<int>(handle_), TCIOFLUSH) != 0) {
        failIo("Error purging serial port", path_, errno);
    }
}

void SerialPort::setPin(int32_t pin, bool state) {
    checkOpen();
    int fd = static_cast<int>(handle_);
    int result;
    int line = pin == PinDtr ? TIOCM_DTR : TIOCM_RTS;
    switch (pin) {
        case PinBreak:
            result = ::ioctl(fd, state ? TIOCSBRK : TIOCCBRK);
            break;
        case PinDtr:
        case PinRts:
            result = ::ioctl(fd, state ? TIOCMBIS : TIOCMBIC, &line);
            break;
        default:
            serial::invalidPin();
    }
    if (result != 0) {
        failIo("Error setting serial port pin", path_, errno);
    }
}

int32_t SerialPort::getPin(int32_t pin) {
    checkOpen();
    int status = 0;
    if (::ioctl(static_cast<int>(handle_), TIOCMGET, &status) != 0) {
        failIo("Error getting serial port status", path_, errno);
    }
    return serial::pinState(pin, static_cast<uint32_t>(status),
                            {TIOCM_CTS, TIOCM_DSR, TIOCM_RI, TIOCM_CD});
}

}  // namespace tkl
