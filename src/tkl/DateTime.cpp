#include "tkl/DateTime.h"

#include <QDateTime>
#include <QString>

namespace tkl {

namespace {

QDateTime local(int64_t milliseconds) {
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime);
}

}  // namespace

DateTime::DateTime() = default;
DateTime::~DateTime() = default;

int64_t DateTime::now(int32_t offset) {
    return QDateTime::currentMSecsSinceEpoch() + offset;
}

std::string DateTime::toString(int64_t milliseconds, const char* pattern, int32_t offset) {
    const QString format = QString::fromUtf8(pattern ? pattern : defaultPattern);
    return local(milliseconds + offset).toString(format).toStdString();
}

std::string DateTime::toString(int64_t milliseconds, const std::string& pattern, int32_t offset) {
    return toString(milliseconds, pattern.c_str(), offset);
}

int64_t DateTime::parse(const char* text, const char* pattern) {
    const QDateTime parsed = QDateTime::fromString(QString::fromUtf8(text ? text : ""),
                                                   QString::fromUtf8(pattern ? pattern : ""));
    return parsed.isValid() ? parsed.toMSecsSinceEpoch() : 0;
}

int64_t DateTime::parse(const std::string& text, const std::string& pattern) {
    return parse(text.c_str(), pattern.c_str());
}

int64_t DateTime::utcOffset() {
    return static_cast<int64_t>(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
}

int64_t DateTime::addMSecs(int64_t milliseconds, int64_t n) {
    return milliseconds + n;
}
int64_t DateTime::addSecs(int64_t milliseconds, int64_t n) {
    return milliseconds + n * 1000;
}
int64_t DateTime::addMinutes(int64_t milliseconds, int64_t n) {
    return addSecs(milliseconds, 60 * n);
}
int64_t DateTime::addHours(int64_t milliseconds, int64_t n) {
    return addSecs(milliseconds, 3600 * n);
}

int64_t DateTime::addDays(int64_t milliseconds, int64_t n) {
    return local(milliseconds).addDays(n).toMSecsSinceEpoch();
}
int64_t DateTime::addWeeks(int64_t milliseconds, int64_t n) {
    return addDays(milliseconds, 7 * n);
}
int64_t DateTime::addMonths(int64_t milliseconds, int32_t n) {
    return local(milliseconds).addMonths(n).toMSecsSinceEpoch();
}
int64_t DateTime::addYears(int64_t milliseconds, int32_t n) {
    return local(milliseconds).addYears(n).toMSecsSinceEpoch();
}

}  // namespace tkl
