#pragma once

#include "image/Generation.h"
#include "link/C8051f320Usb.h"
#include "link/LinkFailure.h"
#include "link/TransferState.h"

#include <cstdint>
#include <optional>
#include <string>

// The 36-byte request/reply exchanges with the cradle. A failed send or receive closes the
// channel and is kept as data (failure()); whoever called decides what the user is told.
class CradleProtocol {
public:
    CradleProtocol(CC8051f320Usb& channel, TransferState& transfer);

    // Builds the request header in place: command, address high, address low, block count 1.
    void SetHeader(std::uint8_t command, std::uint32_t address);
    bool SendRequest();
    bool ReceiveReply();
    void ClearReply();

    // Reads the block at address; on success its bytes are reply[4..35].
    bool ReadBlock(std::uint32_t address);
    // Writes 32 bytes at address. Returns false on a link failure; otherwise verified tells
    // whether the reply data equals the data sent.
    bool WriteBlock(std::uint32_t address, const std::uint8_t* data, bool& verified);
    // Reads block 0; identity is the generation its first four bytes name, if any.
    bool Identify(std::optional<Generation>& identity);

    // The 32 data bytes of the last reply.
    const std::uint8_t* ReplyData() const { return transfer_.reply.data() + kFrameHeaderSize; }

    // The last failed exchange, e.g. "The reply to the request to write block 0x0400 (1024)
    // did not come: ...". Set by every failure; a success leaves it as it was.
    const LinkFailure& failure() const { return failure_; }
    std::string failureDetails() const { return failure_.Describe(); }
    // How many exchanges have failed on this link.
    std::uint32_t failures() const { return failures_; }

    static constexpr std::uint8_t kRead = 'R';
    static constexpr std::uint8_t kWrite = 'W';

private:
    bool Fail(LinkFailure::Step step, UsbStatus status);

    CC8051f320Usb& channel_;
    TransferState& transfer_;
    LinkFailure failure_;
    std::uint32_t failures_ = 0;
};
