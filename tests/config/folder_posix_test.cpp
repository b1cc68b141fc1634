#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "config/Folder.h"
#include "config/FolderSteps.h"
#include "tkl/Exception.h"

using custovia::getProductFolder;
using custovia::getUserDataFolder;

namespace {

// Machine-wide settings, the user's settings and the home folder all live in
// one temporary folder for the whole run: Qt reads the settings locations
// from the environment once per process.
class FolderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new QTemporaryDir();
        ASSERT_TRUE(root_->isValid());
        ASSERT_TRUE(QDir(root_->path()).mkpath("xdg"));
        ASSERT_TRUE(QDir(root_->path()).mkpath("home"));
        setenv("XDG_CONFIG_DIRS", path("xdg").c_str(), 1);
        setenv("XDG_CONFIG_HOME", path("user").c_str(), 1);
    }

    static void TearDownTestSuite() {
        delete root_;
        root_ = nullptr;
    }

    void SetUp() override {
        QFile::remove(QString::fromStdString(settingsFile()));
        setenv("HOME", path("home").c_str(), 1);
    }

    static std::string path(const std::string& name) {
        return root_->path().toStdString() + "/" + name;
    }

    static std::string settingsFile() { return path("xdg") + "/Moxtera.conf"; }

    static void writeSettings(const std::string& text) { std::ofstream(settingsFile()) << text; }

    static std::string executableFolder() {
        const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
        return exe.substr(0, exe.rfind('/') + 1);
    }

    static QTemporaryDir* root_;
};

QTemporaryDir* FolderTest::root_ = nullptr;

}  // namespace

TEST_F(FolderTest, ProductFolderComesFromTheVendorSettings) {
    writeSettings("[CUSTOVIA]\nPATH=/opt/moxtera/custovia\n");
    EXPECT_EQ(getProductFolder(), "/opt/moxtera/custovia/");

    // A value that already ends with the separator gets no second one.
    writeSettings("[CUSTOVIA]\nPATH=/srv/custovia/\n");
    EXPECT_EQ(getProductFolder(), "/srv/custovia/");

    // The settings file is UTF-8 text; the folder comes back byte for byte.
    writeSettings("[CUSTOVIA]\nPATH=/opt/\u00dcberwachung\n");
    EXPECT_EQ(getProductFolder(), "/opt/\u00dcberwachung/");
}

TEST_F(FolderTest, ProductFolderFallsBackToTheExecutableFolder) {
    const std::string expected = executableFolder();
    ASSERT_EQ(expected.front(), '/');
    // No settings file, no group, no value, an empty value.
    EXPECT_EQ(getProductFolder(), expected);
    for (const char* text :
         {"[OTHER]\nPATH=/opt/other\n", "[CUSTOVIA]\nHOME=/opt/other\n", "[CUSTOVIA]\nPATH=\n"}) {
        writeSettings(text);
        EXPECT_EQ(getProductFolder(), expected) << text;
    }
}

TEST(FolderSteps, FirstNonEmptyAnswerWinsAndFailuresAreSkipped) {
    using custovia::detail::firstFolder;
    int calls = 0;
    // A step that counts its call, then throws (kind 1-3) or answers `folder`.
    auto step = [&calls](int kind, const char* folder = "") -> custovia::detail::FolderStep {
        return [&calls, kind, folder]() -> std::string {
            ++calls;
            if (kind == 1)
                throw tkl::NotFoundException("Error: key not found.", -302);
            if (kind == 2)
                throw std::runtime_error("no executable");
            if (kind == 3)
                throw 42;
            return folder;
        };
    };
    EXPECT_EQ(
        firstFolder({step(1), step(2), step(3), step(0), step(0, "/here"), step(0, "/never")}),
        "/here");
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(firstFolder({[]() -> std::string { throw std::bad_alloc(); }}), "");
}

TEST_F(FolderTest, UserDataFolderIsBelowTheHomeFolder) {
    EXPECT_EQ(getUserDataFolder(), path("home") + "/.custovia/");
    setenv("HOME", (path("home") + "/").c_str(), 1);
    EXPECT_EQ(getUserDataFolder(), path("home") + "/.custovia/");
    // Nothing is created.
    EXPECT_FALSE(QDir(QString::fromStdString(path("home") + "/.custovia")).exists());

    // Without HOME the password database names the home folder.
    unsetenv("HOME");
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    std::string home = entry->pw_dir;
    if (home.empty() || home.back() != '/') {
        home += '/';
    }
    EXPECT_EQ(getUserDataFolder(), home + ".custovia/");
}

TEST_F(FolderTest, UserDataFolderFallsBackToTheProductFolder) {
    setenv("HOME", "", 1);
    writeSettings("[CUSTOVIA]\nPATH=/opt/custovia\n");
    EXPECT_EQ(getUserDataFolder(), "/opt/custovia/");
    QFile::remove(QString::fromStdString(settingsFile()));
    EXPECT_EQ(getUserDataFolder(), executableFolder());
}
