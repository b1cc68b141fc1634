// The portable part of the ports: construction, opening and closing around
// the device calls, text forms, argument checks, pin states and the ordering
// of port lists. Device calls live in SerialPort_<os>.cpp.
#include <algorithm>

#include "tkl/Exception.h"
#include "tkl/Port.h"
#include "tkl/SerialLine.h"

namespace tkl {

Port::Port() = default;

Port::~Port() = default;

std::string Port::toString() const {
    return "[Port] path: " + (path_.empty() ? std::string("<empty>") : path_) +
           ", isOpen: " + (isOpen() ? "yes" : "no");
}

void Port::open(const std::string& path) {
    open(path.c_str());
}

std::string Port::getPath() const {
    return path_;
}

SerialPort::SerialPort() : handle_(-1) {}

SerialPort::SerialPort(const SerialPort& other) : Port(), config_(other.config_), handle_(-1) {}

SerialPort& SerialPort::operator=(const SerialPort& other) {
    assign(other);
    return *this;
}

SerialPort::~SerialPort() {
    SerialPort::close();
}

std::string SerialPort::toString() const {
    return Port::toString() + ", " + config_.toString();
}

void SerialPort::open(const char* path) {
    close();
    if (path == nullptr || *path == '\0') {
        throw InvalidArgumentException("Null or empty argument 'fPath'",
                                       InvalidArgumentException::defaultCode);
    }
    // The path is only ever set on an open port, so a failed open leaves it empty.
    handle_ = serial::openDevice(path);
    path_ = path;
    try {
        setConfig(config_);
    } catch (...) {
        close();
        throw;
    }
}

void SerialPort::close() {
    if (!isOpen()) {
        return;
    }
    serial::closeDevice(handle_);
    handle_ = -1;
    path_.clear();
    config_.reset();
}

void SerialPort::open(const char* path, const SerialConfig& config) {
    // Close first: closing resets the settings, which would otherwise drop
    // the ones given here when the port was open.
    close();
    config_ = config;
    open(path);
}

void SerialPort::open(const std::string& path, const SerialConfig& config) {
    open(path.c_str(), config);
}

bool SerialPort::isOpen() const {
    return handle_ != -1;
}

void SerialPort::assign(const SerialPort& other) {
    if (this == &other) {
        return;
    }
    close();
    config_ = other.config_;
}

SerialPort::SerialConfig& SerialPort::getConfig() {
    return config_;
}

void SerialPort::clearPin(int32_t pin) {
    setPin(pin, false);
}

void SerialPort::checkOpen() const {
    if (!isOpen()) {
        throw FileNotOpenException("Serial port closed", FileNotOpenException::defaultCode);
    }
}

std::vector<std::string> SerialPort::listPorts() {
    return listPorts(0, 0);
}

std::vector<std::string> SerialPort::listPorts(uint16_t vendor, uint16_t product) {
    std::vector<std::string> ports =
        (vendor == 0 && product == 0) ? listRegisteredPorts(false) : findUsbPorts(vendor, product);
    // Plain byte order, so "ttyS10" sorts before "ttyS2".
    std::sort(ports.begin(), ports.end());
    return ports;
}

namespace serial {

void checkBuffer(const void* buf, int32_t size) {
    if (buf == nullptr || size < 0) {
        throw InvalidArgumentException("Null 'buf' argument or 'size' < 0",
                                       InvalidArgumentException::defaultCode);
    }
}

std::string failureMessage(const char* what, const std::string& path, const std::string& text) {
    return std::string(what) + " \"" + path + "\": " + text;
}

void invalidPin() {
    throw InvalidArgumentException("Invalid serial port pin",
                                   InvalidArgumentException::defaultCode);
}

int32_t pinState(int32_t pin, uint32_t status, const StatusBits& bits) {
    switch (pin) {
        case SerialPort::PinNone:
            return 0;
        case SerialPort::PinCts:
            return (status & bits.cts) != 0 ? 1 : 0;
        case SerialPort::PinDsr:
            return (status & bits.dsr) != 0 ? 1 : 0;
        case SerialPort::PinRi:
            return (status & bits.ri) != 0 ? 1 : 0;
        case SerialPort::PinDcd:
            return (status & bits.dcd) != 0 ? 1 : 0;
        default:
            invalidPin();
    }
}

}  // namespace serial
}  // namespace tkl
