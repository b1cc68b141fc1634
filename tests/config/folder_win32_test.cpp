// Folder lookups on Windows: the product folder from the machine's registry
// and the per-user folder in the user's profile.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "config/Folder.h"
#include "tkl/File.h"
#include "tkl/String.h"
#include "tkl/System.h"

using custovia::getProductFolder;
using custovia::getUserDataFolder;

namespace {

const char* const kVendorKey = "Software\\Moxtera\\CUSTOVIA";

// Writes HKEY_LOCAL_MACHINE\Software\Moxtera\CUSTOVIA\PATH for one test and
// removes it again. Needs administrator rights.
class ProductKey {
public:
    bool set(const std::string& value) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        created_ = true;
        const bool ok =
            RegSetValueExA(key, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }
    ~ProductKey() {
        if (created_) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Moxtera");
        }
    }

private:
    bool created_ = false;
};

bool vendorKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Moxtera", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(FolderWin32, ProductFolderComesFromTheRegistry) {
    if (vendorKeyExists()) {
        GTEST_SKIP() << "the product is installed on this machine";
    }
    // Without the key: the executable's folder.
    const std::string exeFolder = tkl::File::directoryOf(tkl::System::getExecutableFileName());
    EXPECT_EQ(getProductFolder(), exeFolder);

    ProductKey key;
    if (!key.set("D:\\Apps\\Monitor")) {
        GTEST_SKIP() << "no administrator rights to write the machine's registry";
    }
    EXPECT_EQ(getProductFolder(), "D:\\Apps\\Monitor\\");
    ASSERT_TRUE(key.set("D:\\Apps\\Monitor\\"));
    EXPECT_EQ(getProductFolder(), "D:\\Apps\\Monitor\\");
    // An empty value counts as none.
    ASSERT_TRUE(key.set(""));
    EXPECT_EQ(getProductFolder(), exeFolder);
}

TEST(FolderWin32, UserDataFolderIsInTheUserProfile) {
    const char* profile = std::getenv("USERPROFILE");
    ASSERT_NE(profile, nullptr);
    const std::string folder = getUserDataFolder();
    EXPECT_EQ(tkl::String::toLower(folder),
              tkl::String::toLower(tkl::File::withSeparator(std::string(profile)) + ".custovia\\"));
    // Nothing is created.
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}
