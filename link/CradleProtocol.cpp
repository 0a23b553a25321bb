#include "link/CradleProtocol.h"

#include "image/PagerImage.h"
#include "link/LinkFailure.h"

#include <algorithm>
#include <cstring>

CradleProtocol::CradleProtocol(CC8051f320Usb& channel, TransferState& transfer, LinkHost& host)
    : channel_(channel), transfer_(transfer), host_(host) {}

void CradleProtocol::SetHeader(std::uint8_t command, std::uint32_t address) {
    transfer_.request[0] = command;
    transfer_.request[1] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    transfer_.request[2] = static_cast<std::uint8_t>(address & 0xFF);
    transfer_.request[3] = 1; // one 32-byte block per request
}

bool CradleProtocol::SendRequest() {
    transfer_.transferred = 0;
    const UsbStatus status =
        channel_.Write(transfer_.request.data(), kFrameSize, transfer_.transferred);
    channel_.setLastStatus(status);
    if (status != usb_status::kSuccess || transfer_.transferred != kFrameSize)
        return Fail(Step::Request, status);
    return true;
}

bool CradleProtocol::ReceiveReply() {
    transfer_.transferred = 0;
    const UsbStatus status =
        channel_.Read(transfer_.reply.data(), kFrameSize, transfer_.transferred);
    if (status != usb_status::kSuccess || transfer_.transferred != kFrameSize)
        return Fail(Step::Reply, status);
    return true;
}

void CradleProtocol::ClearReply() {
    transfer_.reply.fill(0);
}

bool CradleProtocol::Fail(Step step, UsbStatus status) {
    const std::uint32_t address =
        static_cast<std::uint32_t>(transfer_.request[1]) << 8 | transfer_.request[2];
    const std::string exchange = std::string("the request to ") +
                                 (transfer_.request[0] == kWrite ? "write " : "read ") +
                                 DescribeBlock(address);
    const std::string reason = status == usb_status::kSuccess
                                   ? std::to_string(transfer_.transferred) + " of " +
                                         std::to_string(kFrameSize) + " bytes were " +
                                         (step == Step::Request ? "sent" : "received")
                                   : DescribeUsbStatus(status);
    failureDetails_ = step == Step::Request
                          ? "Sending " + exchange + " failed: " + reason + "."
                          : "The reply to " + exchange + " failed: " + reason + ".";
    host_.EnableTransferButtons(false);
    channel_.Close();
    MessageRequest message{kUsbErrorText, kLinkCaption, MessageIcon::Stop, MessageButtons::Ok};
    message.details = failureDetails_;
    host_.ShowMessage(message);
    return false;
}

bool CradleProtocol::ReadBlock(std::uint32_t address) {
    SetHeader(kRead, address);
    return SendRequest() && ReceiveReply();
}

bool CradleProtocol::WriteBlock(std::uint32_t address, const std::uint8_t* data, bool& verified) {
    verified = false;
    SetHeader(kWrite, address);
    std::memcpy(transfer_.request.data() + kFrameHeaderSize, data, kBlockSize);
    if (!SendRequest())
        return false;
    // Cleared so that a short or missing reply can never match the sent data by accident.
    ClearReply();
    if (!ReceiveReply())
        return false;
    verified = std::equal(transfer_.reply.begin() + kFrameHeaderSize, transfer_.reply.end(),
                          transfer_.request.begin() + kFrameHeaderSize);
    return true;
}

bool CradleProtocol::Identify(PagerIdentity& identity) {
    if (!ReadBlock(0))
        return false;
    identity = ClassifyIdentity(transfer_.reply.data() + kFrameHeaderSize);
    return true;
}

PagerIdentity CradleProtocol::ClassifyIdentity(const std::uint8_t* fourBytes) {
    if (std::equal(kIdentityV2.begin(), kIdentityV2.end(), fourBytes))
        return PagerIdentity::V2;
    if (std::equal(kIdentityV1.begin(), kIdentityV1.end(), fourBytes))
        return PagerIdentity::V1;
    return PagerIdentity::Invalid;
}
