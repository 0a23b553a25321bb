#pragma once

#include "link/C8051f320Usb.h"
#include "link/LinkHost.h"
#include "link/TransferState.h"

#include <cstdint>
#include <string>

enum class PagerIdentity { V1, V2, Invalid };

// The 36-byte request/reply exchanges with the cradle. Every failed send or receive disables
// Read and Write, closes the channel and shows the USB error once, then reports failure.
class CradleProtocol {
public:
    CradleProtocol(CC8051f320Usb& channel, TransferState& transfer, LinkHost& host);

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
    // Reads block 0 and classifies its first four bytes.
    bool Identify(PagerIdentity& identity);

    static PagerIdentity ClassifyIdentity(const std::uint8_t* fourBytes);

    // What the last failed send or receive was and why, e.g. "The reply to the request to
    // write block 0x0400 (1024) did not come: the reply did not arrive in time (status 0x0D).".
    const std::string& failureDetails() const { return failureDetails_; }

    static constexpr std::uint8_t kRead = 'R';
    static constexpr std::uint8_t kWrite = 'W';

private:
    enum class Step { Request, Reply };
    bool Fail(Step step, UsbStatus status);

    CC8051f320Usb& channel_;
    TransferState& transfer_;
    LinkHost& host_;
    std::string failureDetails_;
};

inline constexpr const char* kUsbErrorText = "USB error,Please reinsert the USB device ! ";
inline constexpr const char* kLinkCaption = "V2 Pager Programmer";
