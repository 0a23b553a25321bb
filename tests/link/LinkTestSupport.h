#pragma once

#include "link/CradleProtocol.h"
#include "link/sim/InProcessCradleBackend.h"

#include <memory>
#include <string>
#include <vector>

// One or more simulated cradles behind the real layer, channel and protocol.
struct SimulatedLink {
    explicit SimulatedLink(PagerImage memory = MakeFactoryPager(FactoryPager::V2))
        : cradle(std::make_shared<CradleSimulator>(memory)) {
        backend->AddCradle(cradle);
    }

    std::shared_ptr<VirtualLinkClock> clock = std::make_shared<VirtualLinkClock>();
    std::shared_ptr<CradleSimulator> cradle;
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(clock);
    std::unique_ptr<UsbDeviceLayer> library = MakeLayerOver(backend);
    CC8051f320Usb channel{*library};
    TransferState transfer;
    CradleProtocol protocol{channel, transfer};
};
