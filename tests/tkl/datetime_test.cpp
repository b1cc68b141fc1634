#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "tkl/DateTime.h"

using tkl::DateTime;

TEST(DateTimeTest, FormatsParsesAndStepsInLocalTime) {
    constexpr int64_t kJan31 = 1706704496789;  // 2024-01-31T12:34:56.789Z
    ScopedTimeZone utc("UTC");
    EXPECT_EQ(DateTime::toString(kJan31, DateTime::jsonPattern), "2024-01-31T12:34:56.789");
    EXPECT_EQ(DateTime::toString(kJan31, std::string("HH:mm"), 60000), "12:35");
    EXPECT_EQ(DateTime::parse("2024/01/31 12:34:56.789", DateTime::defaultPattern), kJan31);
    EXPECT_EQ(DateTime::parse("not a date", DateTime::defaultPattern), 0);
    EXPECT_EQ(DateTime::parse(nullptr, DateTime::defaultPattern), 0);
    EXPECT_EQ(DateTime::utcOffset(), 0);
    // Month and year steps end on the last day of a shorter month.
    EXPECT_EQ(DateTime::toString(DateTime::addMonths(kJan31, 1)), "2024/02/29 12:34:56.789");
    EXPECT_EQ(DateTime::toString(DateTime::addMonths(kJan31, -2)), "2023/11/30 12:34:56.789");
    EXPECT_EQ(DateTime::toString(DateTime::addYears(kJan31 + 29LL * 86400000, 1)),
              "2025/02/28 12:34:56.789");
}

// Zone rules in TZ are POSIX only; the Windows test run leaves this test out.
TEST(DateTimeTest, CalendarStepsFollowLocalCalendar) {
    constexpr int64_t kJan31 = 1706704496789;
    ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(DateTime::parse(std::string("2024-01-31T13:34:56.789"), DateTime::jsonPattern),
              kJan31);
    // Summer time: two hours east of UTC.
    EXPECT_EQ(DateTime::toString(kJan31 + 150LL * 86400000), "2024/06/29 14:34:56.789");
    const int64_t offset = DateTime::utcOffset();
    EXPECT_TRUE(offset == 3600000 || offset == 7200000) << offset;

    // Calendar steps keep the wall clock: across the spring change a day is 23 hours.
    const int64_t before = DateTime::parse("2024/03/30 12:00:00.000", DateTime::defaultPattern);
    const int64_t after = DateTime::addDays(before, 1);
    EXPECT_EQ(DateTime::toString(after), "2024/03/31 12:00:00.000");
    EXPECT_EQ(after - before, 23LL * 3600000);
}
