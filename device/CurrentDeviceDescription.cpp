#include "device/DeviceDescription.h"

#include <memory>

namespace {

// Replaced only on the window's thread while observation is inactive, so the
// poll thread never sees it change.
std::unique_ptr<DeviceDescription>& CurrentHolder() {
    static std::unique_ptr<DeviceDescription> current;
    return current;
}

} // namespace

DeviceDescription* CurrentDeviceDescription() {
    return CurrentHolder().get();
}

DeviceDescription& RenewCurrentDeviceDescription() {
    std::unique_ptr<DeviceDescription>& current = CurrentHolder();
    current.reset();
    current = std::make_unique<DeviceDescription>();
    return *current;
}

void ReleaseDeviceDescription() {
    CurrentHolder().reset();
}
