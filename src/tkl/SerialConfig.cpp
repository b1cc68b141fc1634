#include <sstream>

#include "tkl/Port.h"

namespace tkl {

SerialPort::SerialConfig::SerialConfig() {
    reset();
}

SerialPort::SerialConfig::~SerialConfig() = default;

std::string SerialPort::SerialConfig::toString() const {
    std::ostringstream out;
    out << "baudrate(bps)=" << baudrate << ", databits=" << databits << ", stopbits=" << stopbits
        << ", parity=" << parity << ", timeout(ms)=" << timeout;
    return out.str();
}

void SerialPort::SerialConfig::assign(const SerialConfig& other) {
    *this = other;
}

void SerialPort::SerialConfig::set(int32_t baudrate_, int32_t databits_, int32_t stopbits_,
                                   int32_t parity_, int32_t timeout_) {
    baudrate = baudrate_;
    if (databits_ != -1)
        databits = databits_;
    if (stopbits_ != -1)
        stopbits = stopbits_;
    if (parity_ != -1)
        parity = parity_;
    if (timeout_ != -1)
        timeout = timeout_;
}

void SerialPort::SerialConfig::reset() {
    baudrate = 2400;
    databits = 8;
    stopbits = 1;
    parity = 0;
    timeout = 40;
}

}  // namespace tkl
