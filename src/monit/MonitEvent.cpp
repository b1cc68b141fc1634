#include "monit/MonitEvent.h"

namespace custovia {

const char* monitEventKindName(MonitEventKind kind) {
    switch (kind) {
        case MonitEventKind::DeviceAppeared:
            return "deviceAppeared";
        case MonitEventKind::DeviceRemoved:
            return "deviceRemoved";
        case MonitEventKind::FlagRaised:
            return "flagRaised";
        case MonitEventKind::FlagCleared:
            return "flagCleared";
        case MonitEventKind::FailureRaised:
            return "failureRaised";
        case MonitEventKind::FailureCleared:
            return "failureCleared";
        case MonitEventKind::CountdownStarted:
            return "countdownStarted";
        case MonitEventKind::CountdownChanged:
            return "countdownChanged";
        case MonitEventKind::CountdownStopped:
            return "countdownStopped";
        case MonitEventKind::HostUnreachable:
            return "hostUnreachable";
        case MonitEventKind::HostReachable:
            return "hostReachable";
        case MonitEventKind::SettingsChanged:
            return "settingsChanged";
    }
    return "unknown";
}

}  // namespace custovia
