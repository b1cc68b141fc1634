// Number conversions shared by the configuration records' JSON readers.
#pragma once

#include <cstdint>

namespace custovia {
namespace detail {

// A JSON number as an unsigned 32-bit field: truncated toward zero through a
// 64-bit integer, so negative numbers wrap (-1 becomes 4294967295). Values a
// 64-bit integer cannot hold (NaN, infinities, beyond +-2^63) read as 0, the
// low half of the processor's "integer indefinite" result, without the
// undefined behaviour of a plain cast.
inline uint32_t toUInt32(double value) {
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
        return 0;
    }
    return static_cast<uint32_t>(static_cast<int64_t>(value));
}

}  // namespace detail
}  // namespace custovia
