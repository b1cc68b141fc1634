#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <string>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/Settings.h"

using tkl::Settings;
using tkl::Variant;
using tkltest::expectThrow;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SettingsTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(SettingsTest, IniFileKeepsValuesAndTextInItsCodec) {
    const std::string file = path("app.ini");
    {
        Settings settings;
        settings.openIni(file, "UTF-8");
        settings.setValue("tcp.port", 8080);
        settings.beginGroup("mail");
        settings.setValue("server", "smtp.example.org");
        settings.setValue(std::string("city"), "Zürich");
        settings.endGroup();
        settings.beginGroup("log");
        settings.setValue("level", 3);
        EXPECT_EQ(settings.group(), "log");
        settings.endGroup();
    }  // the destructor writes the file
    EXPECT_TRUE(readFile(QString::fromStdString(file)).contains(QByteArray("city=Zürich")));

    Settings settings;
    settings.openIni(file.c_str(), nullptr);
    settings.close();
    settings.openIni(file, "UTF-8");
    EXPECT_EQ(settings.value("tcp.port").toInt(), 8080);
    EXPECT_EQ(settings.childGroups(), (std::vector<std::string>{"log", "mail"}));
    EXPECT_EQ(settings.childKeys(), (std::vector<std::string>{"tcp.port"}));
    settings.beginGroup("mail");
    EXPECT_EQ(settings.value("city").str(), "Zürich");
    EXPECT_EQ(settings.value("server", Variant("none")).str(), "smtp.example.org");
    expectThrow<tkl::NotFoundException>([&] { settings.value("absent"); }, "Error: key not found.",
                                        -302);
    EXPECT_EQ(settings.value("absent", Variant(7)).toInt(), 7);
    EXPECT_EQ(settings.value(std::string("absent"), Variant()).str(), "");
}

TEST_F(SettingsTest, ClosedStoreRaisesOrFallsBack) {
    Settings settings;
    EXPECT_FALSE(settings.isOpen());
    const std::string message = "Error: file not opened.";
    expectThrow<tkl::FileNotOpenException>([&] { settings.beginGroup("g"); }, message, -32012);
    expectThrow<tkl::FileNotOpenException>([&] { settings.endGroup(); }, message, -32012);
    expectThrow<tkl::FileNotOpenException>([&] { settings.setValue("k", 1); }, message, -32012);
    expectThrow<tkl::FileNotOpenException>([&] { settings.value("k"); }, message, -32012);
    EXPECT_EQ(settings.group(), "");
    EXPECT_EQ(settings.value("k", Variant("fallback")).str(), "fallback");
    EXPECT_TRUE(settings.childKeys().empty());
    EXPECT_TRUE(settings.childGroups().empty());
    settings.close();  // harmless

    expectThrow<tkl::InvalidArgumentException>([&] { settings.open(""); },
                                               "Empty \"key\" argument.", -202);
    expectThrow<tkl::InvalidArgumentException>([&] { settings.open(nullptr); },
                                               "Empty \"key\" argument.", -202);
    expectThrow<tkl::InvalidArgumentException>([&] { settings.openIni(nullptr, "UTF-8"); },
                                               "Empty \"filename\" argument.", -202);
    EXPECT_FALSE(settings.isOpen());
}

TEST_F(SettingsTest, UnknownCodecLeavesTheStoreClosed) {
    Settings settings;
    settings.openIni(path("a.ini"), "");
    ASSERT_TRUE(settings.isOpen());
    expectThrow<tkl::InvalidArgumentException>([&] { settings.openIni(path("b.ini"), "no-such"); },
                                               "Invalid codec: \"no-such\".", -202);
    EXPECT_FALSE(settings.isOpen());
}

TEST_F(SettingsTest, OpeningAgainWritesAndClosesTheFirstFile) {
    Settings settings;
    settings.openIni(path("first.ini"), "UTF-8");
    settings.setValue("kept", "yes");
    settings.openIni(path("second.ini"), "UTF-8");
    EXPECT_EQ(settings.value("kept", Variant("absent")).str(), "absent");
    settings.openIni(path("first.ini"), "UTF-8");
    EXPECT_EQ(settings.value("kept").str(), "yes");
}

TEST_F(SettingsTest, GroupsNestAndOddNamesAreReported) {
    Settings settings;
    settings.openIni(path("groups.ini"), "UTF-8");
    settings.beginGroup("outer");
    settings.beginGroup("inner");
    EXPECT_EQ(settings.group(), "outer/inner");
    settings.setValue("k", 1);
    settings.beginGroup(nullptr);  // enters nothing, still pairs with endGroup
    EXPECT_EQ(settings.group(), "outer/inner");
    settings.endGroup();
    settings.endGroup();
    EXPECT_EQ(settings.group(), "outer");
    EXPECT_EQ(settings.childGroups(), (std::vector<std::string>{"inner"}));
    settings.endGroup();

    // Qt folds the stray slashes; the group entered is not the one named.
    expectThrow<tkl::NotFoundException>([&] { settings.beginGroup("/outer//inner/"); },
                                        "Error: group not found.", -302);
    EXPECT_EQ(settings.group(), "outer/inner");
    EXPECT_EQ(settings.value("k").toInt(), 1);
}
