// custovia::MonitFlagsComparator: which status and failure flags of a device
// came on and which went off between two of its states.
#pragma once

#include "model/Device.h"
#include "model/DeviceVars.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API MonitFlagsComparator : public tkl::Object {
public:
    // All four flag sets cleared.
    MonitFlagsComparator();
    MonitFlagsComparator(const MonitFlagsComparator& other);
    MonitFlagsComparator& operator=(const MonitFlagsComparator& other);
    ~MonitFlagsComparator() override;

    virtual MonitFlagsComparator& assign(const MonitFlagsComparator& other);
    // Every flag of the four sets false.
    virtual void clear();
    // Clears, then marks each flag that is clear in `oldState` and set in
    // `actualState` in the "on" set, and each flag set before and clear now in
    // the "off" set. Flags equal in both states stay false in both sets.
    virtual void compare(const Device& oldState, const Device& actualState);
    // Failure flags that came on / went off.
    virtual DeviceFailFlags failOn() const;
    virtual DeviceFailFlags failOff() const;
    // Status flags that came on / went off.
    virtual DeviceFlags flagsOn() const;
    virtual DeviceFlags flagsOff() const;
    // Whether the last compare() found any flag that came on or went off.
    bool changed() const { return changed_; }

private:
    DeviceFailFlags failOn_;
    DeviceFailFlags failOff_;
    DeviceFlags flagsOn_;
    DeviceFlags flagsOff_;
    bool changed_ = false;
};

}  // namespace custovia
