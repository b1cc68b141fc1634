// Reading record fields from JSON members.
//
// Every record reads numbers the same way: the member's number truncated
// toward zero to 64 bits, then cut to the width of the field, so -1 read into
// an unsigned field becomes 4294967295. Values a 64-bit integer cannot hold
// (NaN, infinities, beyond +-2^63) give the processor's "integer indefinite"
// result, INT64_MIN, whose low 32 bits are 0, without the undefined behaviour
// of a plain cast.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "tkl/Json.h"

namespace tkl {
namespace jsonread {

inline int64_t truncate64(double number) {
    // 2^63 is exactly representable; NaN fails both comparisons.
    if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0)) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(number);
}

inline int64_t toInt64(const JsonObject& json, const char* key) {
    return truncate64(json.value(key).toDouble());
}

inline int32_t toInt32(const JsonObject& json, const char* key) {
    return static_cast<int32_t>(toInt64(json, key));
}

inline uint32_t toUInt32(const JsonObject& json, const char* key) {
    return static_cast<uint32_t>(toInt64(json, key));
}

// A flag member (boolean, number or "true"/"1" text) as 1 or 0.
inline uint32_t toFlag(const JsonObject& json, const char* key) {
    return json.value(key).toBool() ? 1u : 0u;
}

inline std::string toText(const JsonObject& json, const char* key) {
    return json.value(key).toString();
}

}  // namespace jsonread
}  // namespace tkl
