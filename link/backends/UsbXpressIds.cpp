#include "link/backends/UsbXpressIds.h"

#include <cstdio>

bool IsCradleUsbId(std::uint16_t vendor, std::uint16_t product) {
    for (const UsbId& id : kCradleUsbIds) {
        if (id.vendor == vendor && id.product == product)
            return true;
    }
    return false;
}

std::string UdevRuleFor(const UsbId& id) {
    char rule[160];
    std::snprintf(rule, sizeof rule,
                  "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", "
                  "TAG+=\"uaccess\"",
                  static_cast<unsigned>(id.vendor), static_cast<unsigned>(id.product));
    return rule;
}
