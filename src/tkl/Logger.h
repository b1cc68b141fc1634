// Named log channels.
//
// A tkl::Logger is a channel found by name in a process-wide registry. It
// writes each record as one line
//     [dd-MM-yyyy hh:mm:ss.zzz] [LEVEL] {channel} message
// through its tkl::LoggerWriter to standard error, to a log file, to both or
// to nothing. A message of several lines becomes one record per non-blank
// line. A log file that has reached 1 MiB is moved to
// <base>_dd_MM_yy__hh_mm_ss.log beside it before the next record, and the
// fresh file starts with a "Previous log" line naming the moved one. The file
// is opened and closed for every record, so other programs may move or read
// it at any time. Nothing here throws; a record that cannot be written is
// lost silently.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "tkl/Object.h"

namespace tkl {

enum class LogLevel : int32_t { Trace = 0, Debug = 1, Info = 2, Warning = 3, Error = 4, Fatal = 5 };

// Which outputs get a record; only 1, 2 and 3 write anything.
enum class LogOutput : int32_t { None = 0, Console = 1, File = 2, ConsoleAndFile = 3 };

struct TKL_API LoggerOptions {
    LoggerOptions();
    LoggerOptions(const std::string& name, int32_t level, int32_t output);
    LoggerOptions(const std::string& name, LogLevel level, LogOutput output);
    LoggerOptions(const LoggerOptions& other) = default;
    LoggerOptions& operator=(const LoggerOptions& other) = default;

    // Channel name, printed between braces in every record.
    std::string name;
    // Lowest level written (LogLevel); FATAL by default.
    int32_t level = static_cast<int32_t>(LogLevel::Fatal);
    // Output selection (LogOutput); none by default.
    int32_t output = static_cast<int32_t>(LogOutput::None);
    // Path of the log file; relative paths resolve against the current folder.
    std::string fileName;
};

// Writes the records of one channel. Safe to use from several threads: the
// records of one message stay together and rotation happens once.
class TKL_API LoggerWriter : public Object {
public:
    explicit LoggerWriter(const LoggerOptions& options);
    ~LoggerWriter() override;

    // Writes `text` at `level`: nothing when the level is below the channel's
    // or the output is none (one comparison, no allocation), else one record
    // per non-blank line, trimmed.
    void write(int32_t level, const std::string& text);
    // Whether a record at `level` would be written anywhere.
    bool accepts(int32_t level) const;
    LoggerOptions options() const;
    // Takes level, output and file name; the channel name stays.
    void setOptions(const LoggerOptions& options);

private:
    void writeConsole(int32_t level, const std::string& line);
    void writeFile(int32_t level, const std::string& line);

    mutable std::mutex mutex_;
    LoggerOptions options_;
    // Copies of level and output for the lock-free early return.
    std::atomic<int32_t> level_;
    std::atomic<int32_t> output_;
};

// The registry maps channel names (byte-wise ordered) to loggers and lives
// until the process ends, as do the loggers in it. All its operations are
// thread-safe. getLogger() never returns null: a name not yet registered gets
// a new silent logger (level FATAL, output none), a null name is the empty
// name. addLogger() registers the given logger under a name, replacing an
// earlier entry without destroying it (whoever created that one still owns
// it); a null logger is not registered and the current entry is returned.
class TKL_API Logger : public Object {
public:
    // A silent channel: level FATAL, output none, no file.
    explicit Logger(const std::string& name);
    ~Logger() override;

    static Logger* getLogger(const char* name);
    static Logger* getLogger(const std::string& name);
    static Logger* addLogger(const char* name, Logger* logger);
    static Logger* addLogger(const std::string& name, Logger* logger);

    // "TRACE" ... "FATAL"; every value outside 1 to 5 gives "TRACE".
    static std::string levelToString(int32_t level);
    // The level named by `text` in any letter case (no blanks around it);
    // `def` for a null, empty or unknown text.
    static int32_t stringToLevel(const char* text, int32_t def);
    static int32_t stringToLevel(const std::string& text, int32_t def);

    // Takes level, output and file name; the channel keeps its name.
    void setOptions(const LoggerOptions& options);
    LoggerOptions options() const;

    // One record per non-blank line at the level of the name; a null text is
    // empty.
    void trace(const char* text);
    void trace(const std::string& text);
    void debug(const char* text);
    void debug(const std::string& text);
    void info(const char* text);
    void info(const std::string& text);
    void warning(const char* text);
    void warning(const std::string& text);
    void error(const char* text);
    void error(const std::string& text);
    void fatal(const char* text);
    void fatal(const std::string& text);

private:
    void write(LogLevel level, const char* text);
    void write(LogLevel level, const std::string& text);

    std::unique_ptr<LoggerWriter> writer_;
};

}  // namespace tkl
