// Internal helpers shared by the portable and the platform part of the
// serial port: argument checks, the mapping of line settings and modem status
// to the few values a device understands, and the device calls each platform
// provides.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/Port.h"

namespace tkl {
namespace serial {

enum class Parity { None, Odd, Even };

// 2 stop bits when asked for 2, otherwise 1.
inline int stopBits(const SerialPort::SerialConfig& config) {
    return config.stopbits == 2 ? 2 : 1;
}

// Odd for 1, even for 2, none for anything else.
inline Parity parity(const SerialPort::SerialConfig& config) {
    switch (config.parity) {
        case 1:
            return Parity::Odd;
        case 2:
            return Parity::Even;
        default:
            return Parity::None;
    }
}

// Throws InvalidArgumentException for a null buffer or a negative size.
void checkBuffer(const void* buf, int32_t size);

// "<what> \"<path>\": <text>", the message of a failing device call.
std::string failureMessage(const char* what, const std::string& path, const std::string& text);

// Throws InvalidArgumentException for a pin the call does not handle.
[[noreturn]] void invalidPin();

// The platform's modem status bits of the four input lines.
struct StatusBits {
    uint32_t cts;
    uint32_t dsr;
    uint32_t ri;
    uint32_t dcd;
};

// 0 or 1 for PinNone to PinDcd as `status` reports them (PinNone is always 0);
// other pins throw InvalidArgumentException.
int32_t pinState(int32_t pin, uint32_t status, const StatusBits& bits);

// Opens the device `path` names for this owner alone and returns its system
// handle; throws OpenFileException when it cannot be opened. Platform part.
intptr_t openDevice(const char* path);

// Gives an open device back to the system. Platform part.
void closeDevice(intptr_t handle);

}  // namespace serial
}  // namespace tkl
