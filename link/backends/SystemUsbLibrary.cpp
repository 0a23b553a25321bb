#include "link/backends/SystemUsbLibrary.h"

#include "link/SelectedCradleBackend.h"
#include "link/backends/LibusbBackend.h"
#include "link/backends/VirtualCradleBackend.h"
#include "link/backends/VirtualCradleFolder.h"

#include <cstdlib>
#include <cstring>

namespace {

bool LibusbDisabled() {
    const char* value = std::getenv("PAGER_NO_LIBUSB");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

std::vector<std::shared_ptr<UsbBackend>> SystemBackends() {
    std::vector<std::shared_ptr<UsbBackend>> backends;
    if (!LibusbDisabled())
        backends.push_back(std::make_shared<LibusbBackend>());
    backends.push_back(std::make_shared<VirtualCradleBackend>(VirtualCradleFolder()));
    return backends;
}

} // namespace

std::unique_ptr<UsbDeviceLayer> CreateSystemUsbLibrary() {
    return std::make_unique<UsbDeviceLayer>(SystemBackends());
}

std::unique_ptr<UsbDeviceLayer> CreateSystemUsbLibrary(const std::string& cradleLocation) {
    std::vector<std::shared_ptr<UsbBackend>> backends;
    for (std::shared_ptr<UsbBackend>& backend : SystemBackends())
        backends.push_back(
            std::make_shared<SelectedCradleBackend>(std::move(backend), cradleLocation));
    return std::make_unique<UsbDeviceLayer>(std::move(backends));
}
