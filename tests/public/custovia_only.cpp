// A program that includes custovia.h and nothing else of the project, built
// with the include folder alone and strict warnings as errors, linked with
// the library alone. It fails to build when a public header needs Qt (or any
// other header outside the include folder) again.
#include "client/custovia.h"

#if defined(QT_VERSION) || defined(QJSONOBJECT_H)
#error "a Qt header came in through custovia.h"
#endif

#include <cstdio>

int extensionTypesCheck();  // ext_only.cpp

int main() {
    CustoviaHandle handle = openCli();
    if (handle == nullptr) {
        std::puts("openCli returned null");
        return 1;
    }
    CustoviaNames hosts;
    custovia::Computer computer;
    CustoviaDevices devices;
    const int32_t count = getHostCount(handle, &hosts);
    const int32_t version = getVersion(handle, nullptr, nullptr, &computer);
    const int32_t list = getDeviceList(handle, "nowhere", nullptr, &devices);
    closeCli(handle);
    const int32_t closed = isConnected(handle, nullptr);
    std::printf("hosts %d, version %d, devices %d, closed %d, extension %d\n", count, version, list,
                closed, extensionTypesCheck());
    return count == 0 && version == -302 && list == -302 && closed == -202 ? 0 : 1;
}
