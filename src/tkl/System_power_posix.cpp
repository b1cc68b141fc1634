// Power actions on POSIX systems, handed to the service manager so that
// services stop in order and file systems are written back before the
// machine goes down or to disk.
#include <fstream>
#include <iterator>

#include "tkl/Exception.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

namespace tkl {
namespace {

// Runs "systemctl <verb>" and waits for it; a failure to start it or an exit
// code other than 0 throws SystemException starting with `failure`.
void askServiceManager(const char* verb, const char* failure) {
    System::ProcessHandle process = process::spawn({"systemctl", verb}, nullptr, failure);
    int32_t exitCode = System::waitProcess(process, -1);
    if (exitCode != 0) {
        throw SystemException(std::string(failure) + "systemctl " + verb +
                                  " ended with exit code " + std::to_string(exitCode),
                              SystemException::defaultCode);
    }
}

// Whether the kernel can suspend to disk.
bool canHibernate() {
    std::ifstream in("/sys/power/state");
    std::string states((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return states.find("disk") != std::string::npos;
}

}  // namespace

void System::enableShutdownPrivilege() {
    // Nothing to enable: the service manager checks the caller's rights when
    // it is asked to act.
}

void System::hibernate() {
    if (!canHibernate()) {
        throw SystemException("Error: Suspend to Disk not supported.",
                              SystemException::defaultCode);
    }
    enableShutdownPrivilege();
    askServiceManager("hibernate", "Error in SetSuspendState() ");
}

void System::shutdown() {
    enableShutdownPrivilege();
    askServiceManager("poweroff", "Error in ExitWindowsEx(): ");
}

void System::reboot() {
    enableShutdownPrivilege();
    askServiceManager("reboot", "Error in ExitWindowsEx(): ");
}

}  // namespace tkl
