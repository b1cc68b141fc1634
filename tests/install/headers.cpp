// custovia_ext.h first in its translation unit: everything it needs, down to
// the record and base headers, is installed beside it. (The example includes
// custovia.h.)
#include "client/custovia_ext.h"

// Records cross the boundary as C++ objects that the caller builds itself.
int installedDeviceCount() {
    CustoviaDevices devices;
    return static_cast<int>(devices.size());
}
