// Reading record fields from JSON members. Internal to the model layer.
//
// Every record reads numbers the same way: the member's number truncated
// toward zero to 64 bits, then cut to the width of the field. Values outside
// the 64-bit range (and NaN) are clamped first, so no input leads to an
// undefined conversion.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "tkl/Json.h"

namespace custovia {
namespace jsonread {

inline int64_t truncate64(double number) {
    if (std::isnan(number))
        return 0;
    // 2^63 is exactly representable; everything at or above it saturates.
    if (number >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (number <= -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(number);
}

inline int64_t toInt64(const tkl::JsonObject& json, const char* key) {
    return truncate64(json.value(key).toDouble());
}

inline int32_t toInt32(const tkl::JsonObject& json, const char* key) {
    return static_cast<int32_t>(toInt64(json, key));
}

inline uint32_t toUInt32(const tkl::JsonObject& json, const char* key) {
    return static_cast<uint32_t>(toInt64(json, key));
}

// A flag member (boolean, number or "true"/"1" text) as 1 or 0.
inline uint32_t toFlag(const tkl::JsonObject& json, const char* key) {
    return json.value(key).toBool() ? 1u : 0u;
}

inline std::string toText(const tkl::JsonObject& json, const char* key) {
    return json.value(key).toString();
}

}  // namespace jsonread
}  // namespace custovia
