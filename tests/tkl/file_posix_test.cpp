#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "LoopbackTestSupport.h"
#include "TestSupport.h"
#include "tkl/Exception.h"
#include "tkl/File.h"

using tkl::File;

TEST(FileNames, SeparatorsDirectoryFileNameAndExtension) {
    EXPECT_EQ(File::withSeparator(static_cast<const char*>(nullptr), '\\'), "\\");
    EXPECT_EQ(File::withoutSeparator("a//"), "a/");
    EXPECT_EQ(File::withoutSeparator("a\\"), "a");
    // The directory keeps the path's own separator.
    EXPECT_EQ(File::directoryOf("C:\\dir\\file.txt"), "C:\\dir\\");
    EXPECT_EQ(File::directoryOf("dir/"), "dir/");
    EXPECT_EQ(File::directoryOf("file.txt"), "/");
    EXPECT_EQ(File::directoryOf("\\file.txt"), "/");  // a leading separator is not the path's own
    EXPECT_EQ(File::directoryOf(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(File::fileNameOf("C:\\dir\\file.tar.gz"), "file.tar.gz");
    EXPECT_EQ(File::fileNameOf("C:file"), "file");
    EXPECT_EQ(File::fileNameOf("a;b"), "b");
    EXPECT_EQ(File::fileNameOf("plain"), "plain");
    EXPECT_EQ(File::fileNameOf("dir/"), "");
    EXPECT_EQ(File::extensionOf("C:\\dir\\file.tar.gz"), "gz");
    EXPECT_EQ(File::extensionOf("/etc.d/README"), "");
    EXPECT_EQ(File::extensionOf("name."), "");
    EXPECT_EQ(File::extensionOf(std::string(".profile")), "profile");
}

TEST(FileTest, ExistsOnlyForFilesReportsOtherFailuresAndFollowsTheCurrentPath) {
    loopback_test::TempDir temp("tkl_file_test");
    const std::string dir = temp.path();
    auto path = [&](const std::string& name) { return dir + "/" + name; };
    const std::filesystem::path cwd = std::filesystem::current_path();
    temp.file("file.txt", "x");
    EXPECT_TRUE(File::exists(path("file.txt")));
    EXPECT_FALSE(File::exists(dir));
    EXPECT_FALSE(File::exists(path("missing")));
    EXPECT_FALSE(File::exists(path("file.txt/below")));  // a file on the way
    EXPECT_FALSE(File::exists(static_cast<const char*>(nullptr)));
    // An embedded NUL must not turn the question into one about "file.txt".
    EXPECT_FALSE(File::exists(path("file.txt") + std::string("\0.bak", 5)));
    ASSERT_EQ(symlink("loop", path("loop").c_str()), 0);
    tkltest::expectThrow<tkl::SystemException>(
        [&] { File::exists(path("loop")); },
        "Error checking if file \"" + path("loop") + "\" exists: Too many levels of symbolic links",
        -305);

    // Relative names follow the current path.
    File::setCurrentPath(dir);
    temp.file("here", "x");
    EXPECT_TRUE(File::exists("here"));

    // A deep current directory is read in full.
    std::string deep = dir;
    for (int i = 0; i < 40; ++i) {
        deep += "/" + std::string(20, 'a' + i % 26);
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    File::setCurrentPath(deep);
    EXPECT_EQ(File::currentPath(), deep + "/");

    tkltest::expectThrow<tkl::FileException>([&] { File::setCurrentPath(path("missing")); },
                                             "Error setting current application path", -3201);
    EXPECT_EQ(File::currentPath(), deep + "/");
    std::filesystem::current_path(cwd);
}
