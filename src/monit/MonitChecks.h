// Internal to the monitoring client: the device id check and the not-found
// errors that its cache reads and its commands report alike.
#pragma once

#include <string>

#include "tkl/Exception.h"

namespace custovia {
namespace detail {

// Throws InvalidArgumentException for a null or empty device id.
inline void checkDevice(const char* device) {
    if (device == nullptr || *device == '\0') {
        throw tkl::InvalidArgumentException("Device id <null> or <empty> not found.",
                                            tkl::InvalidArgumentException::defaultCode);
    }
}

[[noreturn]] inline void notFound(const std::string& message) {
    throw tkl::NotFoundException(message, tkl::NotFoundException::defaultCode);
}

[[noreturn]] inline void deviceNotFound(const char* device) {
    notFound(std::string("Device id <") + device + "> not found.");
}

}  // namespace detail
}  // namespace custovia
