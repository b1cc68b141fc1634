// Includes custovia_ext.h and nothing else of the project, under the same
// conditions as custovia_only.cpp. It uses the extension's types only, so the
// program links whether or not the library defines the extension functions.
#include "client/custovia_ext.h"

#if defined(QT_VERSION) || defined(QJSONOBJECT_H)
#error "a Qt header came in through custovia_ext.h"
#endif

int extensionTypesCheck() {
    CustoviaHealthList health(1);
    CustoviaEvents events(1);
    events[0].kind = CustoviaEventKind::settingsChanged;
    return static_cast<int>(health.size() + events.size());
}
