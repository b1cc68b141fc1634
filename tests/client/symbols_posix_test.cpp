// libcustovia.so exports the 39 functions under their plain C names, and
// none of the monitoring client's internals.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <string>

#include "ExportNames.h"

TEST(Symbols, TheExportsHaveCLinkageAndTheMonitoringClientInternalsStayHidden) {
    void* library = dlopen(CUSTOVIA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : clienttest::kExports) {
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    }
    for (const char* name : clienttest::kExtensionExports) {
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    }
    dlclose(library);

    QProcess nm;
    nm.start("nm", {"-DC", "--defined-only", CUSTOVIA_LIBRARY});
    ASSERT_TRUE(nm.waitForFinished(-1));
    const std::string symbols = nm.readAllStandardOutput().toStdString();
    ASSERT_NE(symbols.find("connectCli"), std::string::npos) << "nm gave no symbols";
    for (const char* internal :
         {"custovia::MonitClient", "custovia::MultiMonitClient", "custovia::ClientManagerBase"}) {
        EXPECT_EQ(symbols.find(internal), std::string::npos) << internal;
    }
    // The records a caller builds receivers of are exported.
    for (const char* record :
         {"custovia::Device::assign", "custovia::LogEntry::LogEntry()",
          "custovia::DeviceMailCfg::DeviceMailCfg()", "custovia::NotifyConfig::NotifyConfig()",
          "custovia::Regressive::Regressive()", "custovia::Computer::Computer()",
          "tkl::SerialPort::SerialConfig::SerialConfig()"}) {
        EXPECT_NE(symbols.find(record), std::string::npos) << record;
    }
}
