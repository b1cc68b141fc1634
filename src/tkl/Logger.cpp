#include "tkl/Logger.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <iostream>
#include <map>

namespace tkl {

namespace {

// A log file of at least this size is moved aside before the next record.
constexpr qint64 rotationSize = 0x100000;

const char* const timestampPattern = "dd-MM-yyyy hh:mm:ss.zzz";

QString recordText(const QString& timestamp, int32_t level, const std::string& name,
                   const std::string& line) {
    // One pass over the template, so a '%' in a name or message stays as is.
    return QStringLiteral("[%1] [%2] {%3} %4\n")
        .arg(timestamp, QString::fromStdString(Logger::levelToString(level)),
             QString::fromUtf8(name.data(), static_cast<int>(name.size())),
             QString::fromUtf8(line.data(), static_cast<int>(line.size())));
}

bool toConsole(int32_t output) {
    return output == 1 || output == 3;
}

bool toFile(int32_t output) {
    return output == 2 || output == 3;
}

// The name a log file is moved to when it rotates: the path without its
// extension, then "_dd_MM_yy__hh_mm_ss.log". Only a dot in the file name
// itself starts an extension, so the moved file stays in the log's folder.
QString rotatedName(const QString& path, const QDateTime& now) {
    int slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    int dot = path.lastIndexOf('.');
    QString base = dot > slash ? path.left(dot) : path;
    return base + QStringLiteral("_%1__%2.log")
                      .arg(now.toString(QStringLiteral("dd_MM_yy")),
                           now.toString(QStringLiteral("hh_mm_ss")));
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, Logger*> loggers;
};

// Never destroyed, so channels stay usable from static destructors.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

}  // namespace

// --- LoggerOptions -----------------------------------------------------------

LoggerOptions::LoggerOptions() = default;

LoggerOptions::LoggerOptions(const std::string& name, int32_t level, int32_t output)
    : name(name), level(level), output(output) {}

LoggerOptions::LoggerOptions(const std::string& name, LogLevel level, LogOutput output)
    : LoggerOptions(name, static_cast<int32_t>(level), static_cast<int32_t>(output)) {}

// --- LoggerWriter ------------------------------------------------------------

LoggerWriter::LoggerWriter(const LoggerOptions& options)
    : options_(options), level_(options.level), output_(options.output) {}

LoggerWriter::~LoggerWriter() = default;

bool LoggerWriter::accepts(int32_t level) const {
    int32_t output = output_;
    return level_ <= level && (toConsole(output) || toFile(output));
}

LoggerOptions LoggerWriter::options() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return options_;
}

void LoggerWriter::setOptions(const LoggerOptions& options) {
    std::lock_guard<std::mutex> guard(mutex_);
    options_.level = options.level;
    options_.output = options.output;
    options_.fileName = options.fileName;
    level_ = options.level;
    output_ = options.output;
}

void LoggerWriter::write(int32_t level, const std::string& text) {
    if (!accepts(level)) {
        return;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    int32_t output = options_.output;
    const QStringList parts =
        QString::fromUtf8(text.data(), static_cast<int>(text.size())).split(QChar('\n'));
    for (const QString& part : parts) {
        std::string line = part.trimmed().toUtf8().toStdString();
        if (line.empty()) {
            continue;
        }
        if (toConsole(output)) {
            writeConsole(level, line);
        }
        if (toFile(output)) {
            writeFile(level, line);
        }
    }
}

void LoggerWriter::writeConsole(int32_t level, const std::string& line) {
    QString timestamp = QDateTime::currentDateTime().toString(timestampPattern);
    std::clog << recordText(timestamp, level, options_.name, line).toUtf8().toStdString();
}

void LoggerWriter::writeFile(int32_t level, const std::string& line) {
    if (options_.fileName.empty()) {
        return;
    }
    QString path =
        QString::fromUtf8(options_.fileName.data(), static_cast<int>(options_.fileName.size()));
    QDateTime now = QDateTime::currentDateTime();
    QString rotated;
    if (QFileInfo(path).size() >= rotationSize) {
        // QFile::rename refuses an existing target: a second rotation in the
        // same second keeps the big file (and retries later) instead of
        // replacing the earlier rotated file.
        QString target = rotatedName(path, now);
        if (QFile::rename(path, target)) {
            rotated = target;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text)) {
        return;
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    QString timestamp = now.toString(timestampPattern);
    if (!rotated.isEmpty()) {
        stream << QStringLiteral("%1 - Previous log %2\n").arg(timestamp, rotated);
    }
    stream << recordText(timestamp, level, options_.name, line);
    stream.flush();
    file.close();
}

// --- Logger ------------------------------------------------------------------

Logger::Logger(const std::string& name)
    : writer_(
          std::make_unique<LoggerWriter>(LoggerOptions(name, LogLevel::Fatal, LogOutput::None))) {}

Logger::~Logger() = default;

Logger* Logger::getLogger(const char* name) {
    return getLogger(std::string(name != nullptr ? name : ""));
}

Logger* Logger::getLogger(const std::string& name) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> guard(reg.mutex);
    Logger*& entry = reg.loggers[name];
    if (entry == nullptr) {
        entry = new Logger(name);
    }
    return entry;
}

Logger* Logger::addLogger(const char* name, Logger* logger) {
    return addLogger(std::string(name != nullptr ? name : ""), logger);
}

Logger* Logger::addLogger(const std::string& name, Logger* logger) {
    if (logger == nullptr) {
        return getLogger(name);
    }
    Registry& reg = registry();
    std::lock_guard<std::mutex> guard(reg.mutex);
    reg.loggers[name] = logger;
    return logger;
}

std::string Logger::levelToString(int32_t level) {
    switch (level) {
        case 1:
            return "DEBUG";
        case 2:
            return "INFO";
        case 3:
            return "WARNING";
        case 4:
            return "ERROR";
        case 5:
            return "FATAL";
        default:
            return "TRACE";
    }
}

int32_t Logger::stringToLevel(const char* text, int32_t def) {
    if (text == nullptr || *text == '\0') {
        return def;
    }
    QString upper = QString::fromUtf8(text).toUpper();
    static const char* const names[] = {"FATAL", "ERROR", "WARNING", "INFO", "DEBUG", "TRACE"};
    for (int i = 0; i < 6; ++i) {
        if (upper == QLatin1String(names[i])) {
            return 5 - i;
        }
    }
    return def;
}

int32_t Logger::stringToLevel(const std::string& text, int32_t def) {
    return stringToLevel(text.c_str(), def);
}

void Logger::setOptions(const LoggerOptions& options) {
    writer_->setOptions(options);
}

LoggerOptions Logger::options() const {
    return writer_->options();
}

void Logger::write(LogLevel level, const char* text) {
    int32_t value = static_cast<int32_t>(level);
    if (writer_->accepts(value)) {
        writer_->write(value, std::string(text != nullptr ? text : ""));
    }
}

void Logger::write(LogLevel level, const std::string& text) {
    writer_->write(static_cast<int32_t>(level), text);
}

void Logger::trace(const char* text) {
    write(LogLevel::Trace, text);
}
void Logger::trace(const std::string& text) {
    write(LogLevel::Trace, text);
}
void Logger::debug(const char* text) {
    write(LogLevel::Debug, text);
}
void Logger::debug(const std::string& text) {
    write(LogLevel::Debug, text);
}
void Logger::info(const char* text) {
    write(LogLevel::Info, text);
}
void Logger::info(const std::string& text) {
    write(LogLevel::Info, text);
}
void Logger::warning(const char* text) {
    write(LogLevel::Warning, text);
}
void Logger::warning(const std::string& text) {
    write(LogLevel::Warning, text);
}
void Logger::error(const char* text) {
    write(LogLevel::Error, text);
}
void Logger::error(const std::string& text) {
    write(LogLevel::Error, text);
}
void Logger::fatal(const char* text) {
    write(LogLevel::Fatal, text);
}
void Logger::fatal(const std::string& text) {
    write(LogLevel::Fatal, text);
}

}  // namespace tkl
