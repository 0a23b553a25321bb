#pragma once

#include "link/CradleProtocol.h"
#include "link/LinkHost.h"
#include "link/sim/InProcessCradleBackend.h"

#include <memory>
#include <string>
#include <vector>

// Keeps every call the link makes on the window, in order, with whether the channel was open.
class RecordingLinkHost : public LinkHost {
public:
    struct Call {
        std::string what;         // "buttons on", "buttons off" or "message"
        MessageRequest message{}; // for "message"
        bool channelOpen = false;
    };

    const CC8051f320Usb* channel = nullptr;
    std::vector<Call> calls;

    void EnableTransferButtons(bool enabled) override {
        calls.push_back({enabled ? "buttons on" : "buttons off", {}, IsChannelOpen()});
    }
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        calls.push_back({"message", request, IsChannelOpen()});
        return MessageAnswer::Ok;
    }

private:
    bool IsChannelOpen() const { return channel != nullptr && channel->IsOpen(); }
};

// One or more simulated cradles behind the real layer, channel and protocol.
struct SimulatedLink {
    explicit SimulatedLink(PagerImage memory = MakeFactoryPager(FactoryPager::V2))
        : cradle(std::make_shared<CradleSimulator>(memory)) {
        backend->AddCradle(cradle);
        host.channel = &channel;
    }

    std::shared_ptr<VirtualLinkClock> clock = std::make_shared<VirtualLinkClock>();
    std::shared_ptr<CradleSimulator> cradle;
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(clock);
    std::unique_ptr<UsbDeviceLayer> library = MakeLayerOver(backend);
    CC8051f320Usb channel{*library};
    TransferState transfer;
    RecordingLinkHost host;
    CradleProtocol protocol{channel, transfer, host};
};
