#include "link/CradleProtocol.h"

#include "image/PagerImage.h"

#include <algorithm>
#include <cstring>

CradleProtocol::CradleProtocol(CC8051f320Usb& channel, TransferState& transfer)
    : channel_(channel), transfer_(transfer) {}

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
        return Fail(LinkFailure::Step::Request, status);
    return true;
}

bool CradleProtocol::ReceiveReply() {
    transfer_.transferred = 0;
    const UsbStatus status =
        channel_.Read(transfer_.reply.data(), kFrameSize, transfer_.transferred);
    if (status != usb_status::kSuccess || transfer_.transferred != kFrameSize)
        return Fail(LinkFailure::Step::Reply, status);
    return true;
}

void CradleProtocol::ClearReply() {
    transfer_.reply.fill(0);
}

bool CradleProtocol::Fail(LinkFailure::Step step, UsbStatus status) {
    failure_ = LinkFailure{
        step,
        transfer_.request[0] == kWrite ? LinkFailure::Exchange::Write : LinkFailure::Exchange::Read,
        static_cast<std::uint32_t>(transfer_.request[1]) << 8 | transfer_.request[2], status,
        transfer_.transferred};
    ++failures_;
    // A channel that failed once is not trusted again until it is reopened.
    channel_.Close();
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

bool CradleProtocol::Identify(std::optional<Generation>& identity) {
    if (!ReadBlock(0))
        return false;
    identity = GenerationOfIdentity(ReplyData());
    return true;
}
