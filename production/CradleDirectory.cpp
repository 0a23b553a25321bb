#include "production/CradleDirectory.h"

#include "link/C8051f320Usb.h"
#include "link/backends/LibusbBackend.h"
#include "link/backends/SystemUsbLibrary.h"
#include "link/backends/VirtualCradleBackend.h"

std::vector<FoundCradle> FindCradles() {
    return FindCradles(*CreateSystemUsbLibrary());
}

std::vector<FoundCradle> FindCradles(UsbDeviceLayer& library) {
    std::uint32_t count = 0;
    library.GetNumDevices(count);
    std::vector<FoundCradle> cradles;
    for (const UsbDeviceInfo& device : library.ListedDevices()) {
        // A device we may not open has told us nothing yet; its USB id says it is a cradle.
        if (!device.accessDenied && device.serialNumber != kCradleDeviceString) {
            continue;
        }
        const bool isVirtual = device.location.starts_with(kVirtualLocationPrefix);
        cradles.push_back(
            {device.location, isVirtual ? "virtual cradle" : "USB cradle", device.accessDenied});
    }
    return cradles;
}

std::string CradleAccessFix() {
    return LibusbBackend::AccessProblemText(kCradleUsbIds[0]);
}
