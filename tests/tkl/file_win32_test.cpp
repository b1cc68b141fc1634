// File names with the Windows separator, file checks and the current
// directory on a Windows file system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/File.h"
#include "tkl/String.h"

using tkl::File;

namespace {

// A fresh folder below the system's temporary folder, removed afterwards; the
// current directory is restored too.
class FileWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        dir_ = std::string(temp) + "tkl_file_test_" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
        char cwd[MAX_PATH + 1] = {};
        ASSERT_GT(GetCurrentDirectoryA(sizeof cwd, cwd), 0u);
        cwd_ = cwd;
    }
    void TearDown() override {
        SetCurrentDirectoryA(cwd_.c_str());
        DeleteFileA(path("file.txt").c_str());
        RemoveDirectoryA(path("sub").c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string path(const std::string& name) const { return dir_ + "\\" + name; }

    std::string dir_;
    std::string cwd_;
};

}  // namespace

TEST(FileWin32Names, TheSeparatorIsABackslash) {
    EXPECT_EQ(File::separator(), '\\');
    EXPECT_EQ(File::withSeparator("C:\\x"), "C:\\x\\");
    EXPECT_EQ(File::withSeparator(""), "\\");
    EXPECT_EQ(File::directoryOf("file.txt"), "\\");
    EXPECT_EQ(File::directoryOf("C:\\dir\\file.txt"), "C:\\dir\\");
    EXPECT_EQ(File::directoryOf("C:/dir/file.txt"), "C:/dir/");
}

TEST_F(FileWin32, ExistsOnlyForEntriesThatAreNotFolders) {
    HANDLE file = CreateFileA(path("file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    ASSERT_TRUE(CreateDirectoryA(path("sub").c_str(), nullptr));

    EXPECT_TRUE(File::exists(path("file.txt")));
    EXPECT_TRUE(File::exists(dir_ + "/file.txt"));  // forward slashes work too
    EXPECT_FALSE(File::exists(path("sub")));
    EXPECT_FALSE(File::exists(path("missing")));
    EXPECT_FALSE(File::exists(path("missing\\deeper")));
    EXPECT_FALSE(File::exists(path("bad<name>?")));
    EXPECT_FALSE(File::exists(path("file.txt") + std::string("\0.bak", 5)));
}

TEST_F(FileWin32, CurrentPathFollowsSetCurrentPath) {
    File::setCurrentPath(dir_);
    // The system may spell the folder in another case or with its long name.
    char expected[MAX_PATH + 1] = {};
    ASSERT_GT(GetLongPathNameA(dir_.c_str(), expected, sizeof expected), 0u);
    EXPECT_EQ(tkl::String::toLower(File::currentPath()),
              tkl::String::toLower(std::string(expected) + "\\"));
    EXPECT_FALSE(File::exists("file.txt"));

    tkltest::expectThrow<tkl::FileException>([&] { File::setCurrentPath(path("missing")); },
                                             "Error setting current application path", -3201);
    EXPECT_EQ(tkl::String::toLower(File::currentPath()),
              tkl::String::toLower(std::string(expected) + "\\"));
}
