// Internal helpers shared by the portable and the platform part of the
// serial port: argument checks and the mapping of line settings to the few
// values a device understands.
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

}  // namespace serial
}  // namespace tkl
