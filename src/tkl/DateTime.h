// tkl::DateTime: date-times as signed 64-bit milliseconds since
// 1970-01-01T00:00:00 UTC, with formatting, parsing and calendar arithmetic in
// the machine's local time zone.
//
// Patterns are Qt date-time patterns. The library uses two:
//   "yyyy/MM/dd HH:mm:ss.zzz"  the default text form
//   "yyyy-MM-ddTHH:mm:ss.zzz"  the JSON form
// Nothing here throws. A value Qt cannot represent formats as Qt does, and a
// text that does not match its pattern parses to 0.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/Object.h"

namespace tkl {

class TKL_API DateTime : public Object {
public:
    static constexpr const char* defaultPattern = "yyyy/MM/dd HH:mm:ss.zzz";
    static constexpr const char* jsonPattern = "yyyy-MM-ddTHH:mm:ss.zzz";

    DateTime();
    ~DateTime() override;

    using Object::toString;

    // The current time plus `offset` milliseconds.
    static int64_t now(int32_t offset = 0);

    // The local time of milliseconds + offset in `pattern` (null: the default
    // pattern).
    static std::string toString(int64_t milliseconds, const char* pattern = nullptr,
                                int32_t offset = 0);
    static std::string toString(int64_t milliseconds, const std::string& pattern,
                                int32_t offset = 0);

    // `text` read with `pattern` as a local time; 0 when it does not match.
    static int64_t parse(const char* text, const char* pattern);
    static int64_t parse(const std::string& text, const std::string& pattern);

    // The current offset of local time from UTC in milliseconds, positive east
    // of Greenwich.
    static int64_t utcOffset();

    // Fixed amounts of time.
    static int64_t addMSecs(int64_t milliseconds, int64_t n);
    static int64_t addSecs(int64_t milliseconds, int64_t n);
    static int64_t addMinutes(int64_t milliseconds, int64_t n);
    static int64_t addHours(int64_t milliseconds, int64_t n);

    // Calendar steps in local time: the wall-clock time stays across daylight
    // saving changes, and a day past the end of the target month becomes its
    // last day (January 31 plus one month is the last day of February).
    static int64_t addDays(int64_t milliseconds, int64_t n);
    static int64_t addWeeks(int64_t milliseconds, int64_t n);
    static int64_t addMonths(int64_t milliseconds, int32_t n);
    static int64_t addYears(int64_t milliseconds, int32_t n);
};

}  // namespace tkl
