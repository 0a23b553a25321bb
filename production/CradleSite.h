#pragma once

#include "image/PagerImage.h"
#include "link/CradleProtocol.h"
#include "programming/ProgrammerContext.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One cradle, chosen by its id, with the program-wide objects of its own (image, settings,
// program state, frames, channel) that the procedures run on. A command owns one per cradle
// it drives, so cradles work side by side on threads of their own.
class CradleSite {
public:
    // The system's cradle at this id.
    explicit CradleSite(const std::string& id);
    // A cradle behind a given library (tests); the library should list just that cradle.
    CradleSite(std::string id, std::unique_ptr<UsbXpressLibrary> library);
    CradleSite(const CradleSite&) = delete;
    CradleSite& operator=(const CradleSite&) = delete;

    const std::string& id() const { return id_; }
    ProgrammerContext& context() { return context_; }

    enum class Access { Open, InUse, Gone };
    // Opens the channel unless it is open already.
    Access Open();
    void Close();

    // What sits in the cradle, from its identity block; the channel must be open.
    enum class Seat { V1, V2, Empty, NoAnswer };
    Seat Identify();

    // Whether the pager in the cradle is the one a write of this image broke off on: it holds
    // the first blocks the write sent (of the settings blocks, as many as were echoed).
    enum class Holding { Same, Other, Empty, NoAnswer };
    Holding StillHolds(const PagerImage& image, std::uint32_t blocksWritten);

private:
    std::string id_;
    ProgrammerContext context_;
};

// The generation of a seated pager; none for an empty cradle or one that did not answer.
std::optional<std::uint8_t> ModeOf(CradleSite::Seat seat);

// "V1 pager", "V2 pager", "no pager", "not answering".
const char* SeatText(CradleSite::Seat seat);
