// On POSIX systems registry-style keys name files in the system and user scopes.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <string>

#include "tkl/Settings.h"

using tkl::Settings;
using tkl::Variant;

TEST(SettingsTest, NativeKeysMapOntoScopedFiles) {
    QTemporaryDir dir;
    const QString system = dir.filePath("system");
    const QString user = dir.filePath("user");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user);

    Settings settings;
    settings.open("HKEY_LOCAL_MACHINE\\Software\\Moxtera");
    settings.beginGroup("CUSTOVIA");
    settings.setValue("PATH", "D:\\Apps\\Monitor");
    settings.close();
    EXPECT_TRUE(QFile::exists(system + "/Moxtera.conf"));

    settings.open(std::string("HKEY_LOCAL_MACHINE/SOFTWARE/Moxtera"));
    EXPECT_EQ(settings.value("CUSTOVIA/PATH").str(), "D:\\Apps\\Monitor");

    // The user's key is a separate location and does not see the system one.
    settings.open("HKEY_CURRENT_USER\\Software\\Moxtera\\Custovia");
    settings.setValue("theme", 2);
    EXPECT_EQ(settings.value("CUSTOVIA/PATH", Variant("none")).str(), "none");
    settings.close();
    EXPECT_TRUE(QFile::exists(user + "/Moxtera/Custovia.conf"));

    const std::string file = dir.filePath("plain.conf").toStdString();
    settings.open(file);
    settings.setValue("a", 1);
    settings.close();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(file)));
}
