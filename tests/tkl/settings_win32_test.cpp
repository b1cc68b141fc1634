// Native settings locations on Windows are registry keys.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tkl/Settings.h"

using tkl::Settings;

namespace {

const std::string kKey = "Software\\tkl-settings-test-" + std::to_string(GetCurrentProcessId());

// The text of a value as the registry itself holds it; "" when absent.
std::string registryText(const std::string& key, const char* name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    return buffer;
}

}  // namespace

TEST(SettingsWin32, NativeKeysAreRegistryKeys) {
    {
        Settings settings;
        settings.open("HKEY_CURRENT_USER\\" + kKey);
        settings.beginGroup("CUSTOVIA");
        settings.setValue("PATH", "D:\\Apps\\Monitor");
        settings.close();
    }
    // Groups are subkeys; the value is a registry string.
    EXPECT_EQ(registryText(kKey + "\\CUSTOVIA", "PATH"), "D:\\Apps\\Monitor");

    // Values written by other programs are read back.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (kKey + "\\CUSTOVIA").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char theme[] = "3";
    ASSERT_EQ(
        RegSetValueExA(key, "THEME", 0, REG_SZ, reinterpret_cast<const BYTE*>(theme), sizeof theme),
        ERROR_SUCCESS);
    RegCloseKey(key);

    Settings settings;
    settings.open("HKEY_CURRENT_USER\\" + kKey);
    settings.beginGroup("CUSTOVIA");
    EXPECT_EQ(settings.value("PATH").str(), "D:\\Apps\\Monitor");
    EXPECT_EQ(settings.value("THEME").toInt(), 3);
    settings.endGroup();
    settings.close();

    RegDeleteTreeA(HKEY_CURRENT_USER, kKey.c_str());
}
