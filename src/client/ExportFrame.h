// The frame every exported function runs in: argument checks and the
// translation of every exception into a status. Internal to the library;
// shared by the core exports and the extension functions.
#pragma once

#include <cstdint>

#include "client/MultiMonitClient.h"
#include "client/custovia.h"
#include "tkl/Exception.h"

namespace custovia {
namespace detail {

inline const char* const kInvalidArgument = "Invalid argument.";
inline const char* const kInvalidArguments = "Invalid arguments.";

// Runs one export body: a tkl::Exception becomes its code, anything else -1.
template <typename Body>
int32_t guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const tkl::Exception& e) {
        return e.code();
    } catch (...) {
        return -1;
    }
}

inline void require(bool present, const char* message) {
    if (!present) {
        throw tkl::InvalidArgumentException(message, -202);
    }
}

// The set of handles openCli() returned and closeCli() has not closed.
void addLiveHandle(const MultiMonitClient* client);
bool isLiveHandle(CustoviaHandle handle);
// Removes the handle from the set; false when it was not in it.
bool takeLiveHandle(CustoviaHandle handle);

// The handle's manager; a null handle, or one that is not live, is an
// invalid argument.
inline MultiMonitClient& manager(CustoviaHandle handle, const char* message) {
    require(handle != nullptr && isLiveHandle(handle), message);
    return *static_cast<MultiMonitClient*>(handle);
}

}  // namespace detail
}  // namespace custovia
