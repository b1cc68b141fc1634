#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <string>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/Settings.h"

using tkl::Settings;
using tkl::Variant;
using tkltest::expectThrow;

TEST(SettingsTest, IniFileKeepsValuesAndTextInItsCodecAndIsWrittenWhenClosed) {
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    const std::string file = path("app.ini");
    {
        Settings settings;
        settings.openIni(file, "UTF-8");
        settings.setValue("tcp.port", 8080);
        settings.beginGroup("mail");
        settings.setValue("server", "smtp.example.org");
        settings.setValue(std::string("city"), "Zürich");
        settings.endGroup();
    }  // the destructor writes the file
    QFile written(QString::fromStdString(file));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains(QByteArray("city=Zürich")));

    Settings settings;
    settings.openIni(file.c_str(), nullptr);  // no codec: the default one
    settings.setValue("kept", "yes");
    settings.openIni(path("second.ini"), "");
    EXPECT_EQ(settings.value("kept", Variant("absent")).str(), "absent");
    // Opening again wrote and closed the first file.
    settings.openIni(file, "UTF-8");
    EXPECT_EQ(settings.value("tcp.port").toInt(), 8080);
    EXPECT_EQ(settings.childGroups(), (std::vector<std::string>{"mail"}));
    EXPECT_EQ(settings.childKeys(), (std::vector<std::string>{"kept", "tcp.port"}));
    settings.beginGroup("mail");
    EXPECT_EQ(settings.value("server", Variant("none")).str(), "smtp.example.org");
    expectThrow<tkl::NotFoundException>([&] { settings.value("absent"); }, "Error: key not found.",
                                        -302);
    EXPECT_EQ(settings.value("absent", Variant(7)).toInt(), 7);

    expectThrow<tkl::InvalidArgumentException>([&] { settings.openIni(path("b.ini"), "no-such"); },
                                               "Invalid codec: \"no-such\".", -202);
    EXPECT_FALSE(settings.isOpen());
}

TEST(SettingsTest, ClosedStoreRaisesOrFallsBackAndOpenGroupsNest) {
    Settings settings;
    for (const std::function<void()>& call : std::vector<std::function<void()>>{
             [&] { settings.beginGroup("g"); }, [&] { settings.endGroup(); },
             [&] { settings.setValue("k", 1); }, [&] { settings.value("k"); }}) {
        expectThrow<tkl::FileNotOpenException>(call, "Error: file not opened.", -32012);
    }
    EXPECT_EQ(settings.group(), "");
    EXPECT_EQ(settings.value("k", Variant("fallback")).str(), "fallback");
    EXPECT_TRUE(settings.childKeys().empty());
    EXPECT_TRUE(settings.childGroups().empty());
    settings.close();  // harmless

    for (const char* key : {"", static_cast<const char*>(nullptr)}) {
        expectThrow<tkl::InvalidArgumentException>([&] { settings.open(key); },
                                                   "Empty \"key\" argument.", -202);
    }
    expectThrow<tkl::InvalidArgumentException>([&] { settings.openIni(nullptr, "UTF-8"); },
                                               "Empty \"filename\" argument.", -202);
    EXPECT_FALSE(settings.isOpen());

    QTemporaryDir dir;
    settings.openIni(dir.filePath("groups.ini").toStdString(), "UTF-8");
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
