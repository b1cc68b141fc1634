#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "config/Folder.h"
#include "config/FolderSteps.h"

using custovia::getProductFolder;
using custovia::getUserDataFolder;

namespace {

// The settings and the home folder live in one temporary folder for the whole run: Qt reads
// the settings locations from the environment once per process.
class FolderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(root.isValid() && QDir(root.path()).mkpath("xdg") &&
                    QDir(root.path()).mkpath("home"));
        setenv("XDG_CONFIG_DIRS", path("xdg").c_str(), 1);
        setenv("XDG_CONFIG_HOME", path("user").c_str(), 1);
    }
    void SetUp() override {
        removeSettings();
        setenv("HOME", path("home").c_str(), 1);
    }
    static std::string path(const std::string& name) {
        return root.path().toStdString() + "/" + name;
    }
    static void writeSettings(const std::string& text) {
        std::ofstream(path("xdg/Moxtera.conf")) << text;
    }
    static void removeSettings() { std::remove(path("xdg/Moxtera.conf").c_str()); }
    static std::string executableFolder() {
        const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
        return exe.substr(0, exe.rfind('/') + 1);
    }
    static inline QTemporaryDir root;
};

}  // namespace

// The vendor settings' folder, byte for byte, ending in one separator; else the executable's.
TEST_F(FolderTest, ProductFolderComesFromTheVendorSettingsOrTheExecutable) {
    const std::string exe = executableFolder();
    EXPECT_EQ(getProductFolder(), exe);  // no settings file
    const std::pair<const char*, std::string> cases[] = {
        {"[CUSTOVIA]\nPATH=/opt/moxtera/custovia\n", "/opt/moxtera/custovia/"},
        {"[CUSTOVIA]\nPATH=/srv/custovia/\n", "/srv/custovia/"},
        {"[CUSTOVIA]\nPATH=/opt/\u00dcberwachung\n", "/opt/\u00dcberwachung/"},
        {"[OTHER]\nPATH=/opt/other\n", exe},
        {"[CUSTOVIA]\nHOME=/opt/other\n", exe},
        {"[CUSTOVIA]\nPATH=\n", exe},
    };
    for (const auto& [text, expected] : cases) {
        writeSettings(text);
        EXPECT_EQ(getProductFolder(), expected) << text;
    }
}

TEST(FolderSteps, FirstNonEmptyAnswerWinsAndFailuresAreSkipped) {
    using custovia::detail::firstFolder;
    int calls = 0;
    // A step that counts its call, then throws a standard exception (kind 1) or something
    // else (kind 2), or answers `folder`.
    auto step = [&calls](int kind, const char* folder = "") -> custovia::detail::FolderStep {
        return [&calls, kind, folder]() -> std::string {
            ++calls;
            if (kind == 1)
                throw std::runtime_error("no executable");
            if (kind == 2)
                throw 42;
            return folder;
        };
    };
    EXPECT_EQ(firstFolder({step(1), step(2), step(0), step(0, "/here"), step(0, "/never")}),
              "/here");
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(firstFolder({step(1)}), "");
}

TEST_F(FolderTest, UserDataFolderIsBelowTheHomeFolderElseTheProductFolder) {
    EXPECT_EQ(getUserDataFolder(), path("home") + "/.custovia/");
    // Nothing is created.
    EXPECT_FALSE(QDir(QString::fromStdString(path("home") + "/.custovia")).exists());

    // An empty HOME is taken as no home folder.
    setenv("HOME", "", 1);
    writeSettings("[CUSTOVIA]\nPATH=/opt/custovia\n");
    EXPECT_EQ(getUserDataFolder(), "/opt/custovia/");
    removeSettings();
    EXPECT_EQ(getUserDataFolder(), executableFolder());

    // Without HOME the password database names the home folder.
    unsetenv("HOME");
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    std::string home = entry->pw_dir;
    if (home.empty() || home.back() != '/')
        home += '/';
    EXPECT_EQ(getUserDataFolder(), home + ".custovia/");
}
