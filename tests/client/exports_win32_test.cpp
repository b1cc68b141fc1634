// custovia.dll seen from a program that loads it at run time: the export
// table holds every function under its plain name and, in 32-bit builds,
// under its __stdcall name ("connectCli@8") at the same address; the
// functions found that way connect to a monitoring service and read a device.
//
// The service is the one named by CUSTOVIA_SIM_URL (scripts/test-windows
// starts the simulator natively); without it a simulator runs in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "ExportNames.h"
#include "client/custovia.h"
#include "sim/Simulator.h"

using clienttest::kExports;

namespace {

// The names in the module's export table.
std::map<std::string, const void*> exportTable(HMODULE module) {
    std::map<std::string, const void*> names;
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.Size == 0) {
        return names;
    }
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names[reinterpret_cast<const char*>(base + nameRvas[i])] = base + functions[ordinals[i]];
    }
    return names;
}

using OpenFn = CustoviaHandle(CUSTOVIA_CALL*)();
using CloseFn = void(CUSTOVIA_CALL*)(CustoviaHandle);
using ConnectFn = int32_t(CUSTOVIA_CALL*)(CustoviaHandle, const char*);
using CountFn = int32_t(CUSTOVIA_CALL*)(CustoviaHandle, const char*, const char*, CustoviaNames*);
using DeviceFn = int32_t(CUSTOVIA_CALL*)(CustoviaHandle, const char*, const char*, const char*,
                                         custovia::Device*);

// The function under its decorated name in 32-bit builds, else its plain name.
template <typename Function>
Function find(HMODULE module, const std::map<std::string, const void*>& table,
              const std::string& name) {
    for (const auto& entry : table) {
        const std::string& exported = entry.first;
        if (sizeof(void*) == 4 ? exported.rfind(name + "@", 0) == 0 : exported == name) {
            return reinterpret_cast<Function>(
                reinterpret_cast<void*>(GetProcAddress(module, exported.c_str())));
        }
    }
    return nullptr;
}

}  // namespace

TEST(DllExports, EveryFunctionUnderItsPlainAndDecoratedName) {
    HMODULE module = LoadLibraryA("custovia.dll");
    ASSERT_NE(module, nullptr) << GetLastError();
    const auto table = exportTable(module);

    std::set<std::string> cNames;  // every export that is not a C++ symbol
    for (const auto& entry : table) {
        if (entry.first.rfind("_Z", 0) != 0) {
            cNames.insert(entry.first);
        }
    }
    for (const char* name : kExports) {
        SCOPED_TRACE(name);
        const void* plain = reinterpret_cast<const void*>(GetProcAddress(module, name));
        ASSERT_NE(plain, nullptr);
        if (sizeof(void*) == 4) {
            // "name@N": N is the size of the arguments, four bytes each.
            auto decorated = cNames.lower_bound(std::string(name) + "@");
            ASSERT_NE(decorated, cNames.end());
            ASSERT_EQ(decorated->rfind(std::string(name) + "@", 0), 0u);
            EXPECT_EQ(std::stoi(decorated->substr(std::string(name).size() + 1)) % 4, 0);
            EXPECT_EQ(table.at(*decorated), plain);
        }
    }
    const size_t perFunction = sizeof(void*) == 4 ? 2 : 1;
    for (const char* name : clienttest::kExtensionExports) {
        SCOPED_TRACE(name);
        EXPECT_NE(GetProcAddress(module, name), nullptr);
    }
    EXPECT_EQ(cNames.size(), perFunction * (sizeof kExports / sizeof kExports[0] +
                                            sizeof clienttest::kExtensionExports /
                                                sizeof clienttest::kExtensionExports[0]));
    FreeLibrary(module);
}

TEST(DllExports, LoadedFunctionsReadADeviceFromTheService) {
    std::unique_ptr<custovia::sim::Simulator> local;
    std::string url;
    if (const char* given = std::getenv("CUSTOVIA_SIM_URL")) {
        url = given;
    } else {
        custovia::sim::Options options;
        options.devices = 2;
        local = std::make_unique<custovia::sim::Simulator>(options);
        local->start();
        url = local->url(0);
    }

    HMODULE module = LoadLibraryA("custovia.dll");
    ASSERT_NE(module, nullptr);
    const auto table = exportTable(module);
    auto open = find<OpenFn>(module, table, "openCli");
    auto close = find<CloseFn>(module, table, "closeCli");
    auto connect = find<ConnectFn>(module, table, "connectCli");
    auto count = find<CountFn>(module, table, "getDeviceCount");
    auto device = find<DeviceFn>(module, table, "getDevice");
    ASSERT_TRUE(open && close && connect && count && device);

    CustoviaHandle handle = open();
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(connect(handle, url.c_str()), 1) << url;
    // The first refresh fills the cache within a few seconds.
    CustoviaNames ids;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (count(handle, nullptr, nullptr, &ids) <= 0 &&
           std::chrono::steady_clock::now() < deadline) {
        ids.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(ids.empty()) << url;
    custovia::Device read;
    EXPECT_EQ(device(handle, nullptr, nullptr, ids.front().c_str(), &read), 1);
    EXPECT_EQ(read.id, ids.front());
    EXPECT_EQ(device(handle, nullptr, nullptr, "no-such-device", &read), -1);
    close(handle);
    FreeLibrary(module);
}
