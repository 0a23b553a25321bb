#pragma once

#include "image/Generation.h"
#include "image/PagerImage.h"
#include "link/CradleProtocol.h"
#include "programming/transfer/TransferOutcome.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One cradle, chosen by its id, with a link of its own (library, channel, frames) that the
// transfers run on, and a stop flag. A command owns one per cradle it drives, so cradles work
// side by side on threads of their own.
class CradleSite {
public:
    // The system's cradle at this id.
    explicit CradleSite(const std::string& id);
    // A cradle behind a given library (tests); the library should list just that cradle.
    CradleSite(std::string id, std::unique_ptr<UsbXpressLibrary> library);
    CradleSite(const CradleSite&) = delete;
    CradleSite& operator=(const CradleSite&) = delete;

    const std::string& id() const { return id_; }
    CradleProtocol& link() { return link_; }
    // Set to end the running transfer at its next block.
    std::atomic<bool>& stopRequested() { return stopRequested_; }

    enum class Access { Open, InUse, Gone };
    // Opens the channel unless it is open already.
    Access Open();
    void Close();
    bool IsOpen() const { return channel_.IsOpen(); }

    // What sits in the cradle, from its identity block; the channel must be open.
    enum class Seat { V1, V2, Empty, NoAnswer };
    Seat Identify();

private:
    std::string id_;
    std::unique_ptr<UsbXpressLibrary> usb_;
    CC8051f320Usb channel_;
    TransferState transfer_;
    CradleProtocol link_{channel_, transfer_};
    std::atomic<bool> stopRequested_{false};
};

// The generation of a seated pager; none for an empty cradle or one that did not answer.
std::optional<Generation> GenerationOf(CradleSite::Seat seat);

// "V1 pager", "V2 pager", "no pager", "not answering".
const char* SeatText(CradleSite::Seat seat);
