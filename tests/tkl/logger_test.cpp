#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sstream>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "tkl/Logger.h"

using tkl::Logger;
using tkl::LoggerOptions;
using tkl::LogLevel;
using tkl::LogOutput;

namespace {

const QRegularExpression recordLine(
    QStringLiteral("^\\[(\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3})\\] \\[([A-Z]+)\\] "
                   "\\{([^}]*)\\} (.*)$"));

// What std::clog receives while it lives.
struct ClogCapture : std::ostringstream {
    ClogCapture() : old(std::clog.rdbuf(rdbuf())) {}
    ~ClogCapture() { std::clog.rdbuf(old); }
    // Every line, empty ones included; the text ends with a line end.
    QStringList lines() const { return QString::fromStdString(str()).chopped(1).split('\n'); }
    std::streambuf* old;
};

Logger* fileLogger(const char* name, const QString& path) {
    Logger* log = Logger::getLogger(name);
    LoggerOptions options("", LogLevel::Trace, LogOutput::File);
    options.fileName = path.toStdString();
    log->setOptions(options);
    return log;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

// `count` bytes of lines of 100 bytes, the last one cut short.
void writeBytes(const QString& path, int count, char fill = 'x') {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(QByteArray(99, fill).append('\n').repeated(count / 100 + 1).left(count)),
              count);
}

}  // namespace

TEST(Logger, NewChannelIsSilentAndLevelsFilter) {
    Logger* log = Logger::getLogger("silent-channel");
    ClogCapture capture;
    log->fatal("not configured");
    EXPECT_EQ(capture.str(), "");

    log->setOptions(LoggerOptions("other-name", LogLevel::Info, LogOutput::Console));
    log->debug("dropped");
    log->info("a\n\n  b  \n");
    log->error(std::string("100% done %1"));
    const QStringList lines = capture.lines();
    ASSERT_EQ(lines.size(), 3);
    const QStringList expected[] = {{"INFO", "silent-channel", "a"},
                                    {"INFO", "silent-channel", "b"},
                                    {"ERROR", "silent-channel", "100% done %1"}};
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(recordLine.match(lines[i]).capturedTexts().mid(2), expected[i])
            << lines[i].toStdString();
    }
}

// The record time is local time, read back here in the same zone. A zone
// rule in TZ is POSIX only; the Windows test run leaves this test out.
TEST(Logger, RecordTimeIsLocal) {
    Logger* log = Logger::getLogger("zoned-channel");
    log->setOptions(LoggerOptions("zoned-channel", LogLevel::Info, LogOutput::Console));
    ClogCapture capture;
    ScopedTimeZone scoped("XST-3");
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    log->info("zoned");
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QRegularExpressionMatch match = recordLine.match(capture.lines().last());
    ASSERT_TRUE(match.hasMatch());
    qint64 stamp =
        QDateTime::fromString(match.captured(1), "dd-MM-yyyy hh:mm:ss.zzz").toMSecsSinceEpoch();
    EXPECT_GE(stamp, before - before % 1000 - 1000);
    EXPECT_LE(stamp, after);
}

TEST(Logger, LevelNamesAndRegistryReplacement) {
    EXPECT_EQ(Logger::stringToLevel("warning", 2), 3);
    EXPECT_EQ(Logger::stringToLevel("Trace", 5), 0);
    EXPECT_EQ(Logger::stringToLevel(" INFO", 1), 1);
    EXPECT_EQ(Logger::stringToLevel(static_cast<const char*>(nullptr), 2), 2);

    Logger* created = Logger::getLogger("replaced");
    Logger own("mine");
    EXPECT_EQ(Logger::addLogger("replaced", &own), &own);
    EXPECT_EQ(Logger::getLogger("replaced"), &own);
    // A null logger never replaces an entry: getLogger stays non-null.
    EXPECT_EQ(Logger::addLogger("replaced", nullptr), &own);
    EXPECT_EQ(Logger::addLogger("fresh", nullptr), Logger::getLogger("fresh"));
    Logger::addLogger("replaced", created);  // `own` dies with this test
}

TEST(Logger, RotatesAtOneMebibyteAndNeverOverwritesARotatedFile) {
    QTemporaryDir dir;
    QString path = dir.filePath("client.log");
    Logger* log = fileLogger("rotation", path);

    writeBytes(path, 1048575);
    log->info("stays");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"client.log"});
    qint64 grown = QFileInfo(path).size();
    EXPECT_GT(grown, 1048575);

    log->info("rotates");
    QStringList rotated =
        QDir(dir.path()).entryList({"client_\?\?_\?\?_\?\?__\?\?_\?\?_\?\?.log"}, QDir::Files);
    ASSERT_EQ(rotated.size(), 1);
    EXPECT_EQ(QFileInfo(dir.filePath(rotated[0])).size(), grown);
    QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(" - Previous log " + dir.filePath(rotated[0])))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("{rotation} rotates"));

    // Two rotations in one second: the second may not replace the first one.
    writeBytes(path, 1048576, 'y');
    log->info("again");
    EXPECT_EQ(QFileInfo(dir.filePath(rotated[0])).size(), grown);
    EXPECT_TRUE(fileLines(path).last().endsWith("again"));
}

TEST(Logger, ThreadsOnOneChannelLoseNoLine) {
    QTemporaryDir dir;
    QString path = dir.filePath("busy.txt");
    Logger* log = fileLogger("busy", path);
    // Close to the limit, so a rotation happens while the threads write.
    writeBytes(path, 1046500, 'x');  // whole lines of 100 bytes

    const int threads = 4;
    const int records = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([log, t] {
            for (int i = 0; i < records; ++i) {
                std::string text = "thread " + std::to_string(t) + " record " + std::to_string(i);
                log->info(text + "\n" + text + " continued");
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    // Every record arrives whole, and the two lines of a message stay together.
    QStringList messages;
    QStringList names = QDir(dir.path()).entryList({"busy_*.log"}, QDir::Files);
    names.append("busy.txt");
    for (const QString& name : names) {
        for (const QString& line : fileLines(dir.filePath(name))) {
            if (line.startsWith('x') || line.contains(" - Previous log ")) {
                continue;
            }
            QRegularExpressionMatch match = recordLine.match(line);
            ASSERT_TRUE(match.hasMatch()) << line.toStdString();
            messages.append(match.captured(4));
        }
    }
    ASSERT_EQ(messages.size(), threads * records * 2);
    for (int i = 0; i < messages.size(); i += 2) {
        EXPECT_EQ(messages[i + 1], messages[i] + " continued") << i;
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"busy_*.log"}, QDir::Files).size(), 1);
}
