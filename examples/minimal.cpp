// A minimal program using libcustovia: connect to a monitoring service, wait
// for the first refresh, list the UPS units of its computer, disconnect.
//
//   minimal [URL]     (default http://127.0.0.1:4470)
#include <chrono>
#include <cstdio>
#include <thread>

#include "client/custovia.h"

int main(int argc, char** argv) {
    const char* url = argc > 1 ? argv[1] : "http://127.0.0.1:4470";
    CustoviaHandle cli = openCli();
    int status = connectCli(cli, url);
    if (status != 1) {
        std::fprintf(stderr, "connect %s: status %d\n", url, status);
        closeCli(cli);
        return 1;
    }
    // The library refreshes its cache every three seconds; reads answer -302
    // until the first refresh has arrived, and the computer's entry comes a
    // moment before its device list.
    CustoviaDevices devices;
    for (int i = 0; i < 50; ++i) {
        status = getDeviceList(cli, nullptr, nullptr, &devices);
        if (status == 1 && !devices.empty()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (status == 1) {
        for (const auto& entry : devices) {
            const custovia::Device& ups = entry.second;
            std::printf("%s  %s  %s\n", entry.first.c_str(), ups.name.c_str(),
                        ups.userName.c_str());
        }
    } else {
        std::fprintf(stderr, "no answer from %s: status %d\n", url, status);
    }
    disconnectCli(cli, nullptr);
    closeCli(cli);
    return status == 1 ? 0 : 1;
}
