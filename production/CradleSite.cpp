#include "production/CradleSite.h"

#include "link/backends/SystemUsbLibrary.h"
#include "programming/transfer/BlockRegions.h"
#include "programming/transfer/PagerTransfer.h"

#include <algorithm>

CradleSite::CradleSite(const std::string& id) : CradleSite(id, CreateSystemUsbLibrary(id)) {}

CradleSite::CradleSite(std::string id, std::unique_ptr<UsbXpressLibrary> library)
    : id_(std::move(id)), usb_(std::move(library)), channel_(*usb_) {}

CradleSite::Access CradleSite::Open() {
    if (channel_.IsOpen() || channel_.Open(kCradleDeviceString)) {
        return Access::Open;
    }
    return channel_.lastStatus() == usb_status::kDeviceInUse ? Access::InUse : Access::Gone;
}

void CradleSite::Close() {
    if (channel_.IsOpen()) {
        channel_.Close();
    }
}

CradleSite::Seat CradleSite::Identify() {
    const TransferOutcome outcome = IdentifyPager(link_);
    if (outcome.result == TransferResult::LinkFailed) {
        return Seat::NoAnswer;
    }
    if (!outcome.identity) {
        return Seat::Empty;
    }
    return *outcome.identity == Generation::V1 ? Seat::V1 : Seat::V2;
}

std::optional<Generation> GenerationOf(CradleSite::Seat seat) {
    switch (seat) {
    case CradleSite::Seat::V1:
        return Generation::V1;
    case CradleSite::Seat::V2:
        return Generation::V2;
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
