#include "production/CradleSite.h"

#include "image/ProgramState.h"
#include "link/backends/SystemUsbLibrary.h"
#include "programming/BlockRegions.h"

#include <algorithm>

CradleSite::CradleSite(const std::string& id) : CradleSite(id, CreateSystemUsbLibrary(id)) {}

CradleSite::CradleSite(std::string id, std::unique_ptr<UsbXpressLibrary> library)
    : id_(std::move(id)) {
    context_.usb = std::move(library);
    context_.channel = std::make_unique<CC8051f320Usb>(*context_.usb);
}

CradleSite::Access CradleSite::Open() {
    CC8051f320Usb& channel = *context_.channel;
    if (channel.IsOpen() || channel.Open(kCradleDeviceString)) {
        return Access::Open;
    }
    return channel.lastStatus() == usb_status::kDeviceInUse ? Access::InUse : Access::Gone;
}

void CradleSite::Close() {
    if (context_.channel->IsOpen()) {
        context_.channel->Close();
    }
}

CradleSite::Seat CradleSite::Identify() {
    SilentLinkHost host;
    CradleProtocol link(*context_.channel, context_.transfer, host);
    PagerIdentity identity = PagerIdentity::Invalid;
    if (!link.Identify(identity)) {
        return Seat::NoAnswer;
    }
    switch (identity) {
    case PagerIdentity::V1:
        return Seat::V1;
    case PagerIdentity::V2:
        return Seat::V2;
    case PagerIdentity::Invalid:
        break;
    }
    return Seat::Empty;
}

CradleSite::Holding CradleSite::StillHolds(const PagerImage& image, std::uint32_t blocksWritten) {
    SilentLinkHost host;
    CradleProtocol link(*context_.channel, context_.transfer, host);
    const std::uint32_t blocks =
        std::clamp<std::uint32_t>(blocksWritten, 1, kSettingsBlocksWithSerial);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t address = block * kBlockSize;
        if (!link.ReadBlock(address)) {
            return Holding::NoAnswer;
        }
        const std::uint8_t* data = context_.transfer.reply.data() + kFrameHeaderSize;
        if (block == 0 && CradleProtocol::ClassifyIdentity(data) == PagerIdentity::Invalid) {
            return Holding::Empty;
        }
        if (!std::equal(data, data + kBlockSize, image.begin() + address)) {
            return Holding::Other;
        }
    }
    return Holding::Same;
}

std::optional<std::uint8_t> ModeOf(CradleSite::Seat seat) {
    switch (seat) {
    case CradleSite::Seat::V1:
        return kModeV1;
    case CradleSite::Seat::V2:
        return kModeV2;
    default:
        return std::nullopt;
    }
}

const char* SeatText(CradleSite::Seat seat) {
    switch (seat) {
    case CradleSite::Seat::V1:
        return "V1 pager";
    case CradleSite::Seat::V2:
        return "V2 pager";
    case CradleSite::Seat::Empty:
        return "no pager";
    case CradleSite::Seat::NoAnswer:
        break;
    }
    return "not answering";
}
