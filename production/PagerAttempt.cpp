#include "production/PagerAttempt.h"

#include "image/ImageMap.h"
#include "image/SettingsJson.h"
#include "production/PagerBackup.h"
#include "programming/SerialNumber.h"
#include "programming/transfer/PagerTransfer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

namespace {

// The blocks that carry a pager's numbers: the capcode entries (164..195, with the time
// stamp after them) and the serial number (256..271).
constexpr std::array<std::uint32_t, 3> kNumberBlocks = {160, 192, 256};
constexpr std::uint32_t kSerialBlock = 256;
// A write that broke off before this block sent none of the numbers.
constexpr std::uint32_t kFirstNumberBlock = image_map::kCapcodeEntries / kBlockSize;

// A serial number that names no pager: blanks, zeros or erased bytes only.
bool SerialBlank(const PagerImage& memory) {
    return std::all_of(memory.begin() + kSerialBlock,
                       memory.begin() + kSerialBlock + PagerSettings::kSerialNumberWidth,
                       [](std::uint8_t byte) { return byte == ' ' || byte == 0 || byte == 0xFF; });
}

std::string BlocksText(std::uint32_t written) {
    return std::to_string(written) + " of " + std::to_string(WriteBlockCount(true)) +
           " blocks written";
}

// A key no other attempt has, for asking the ledger again about this one.
std::string RandomKey() {
    std::random_device random;
    char key[33];
    std::snprintf(key, sizeof key, "%08x%08x%08x%08x", random(), random(), random(), random());
    return key;
}

} // namespace

std::string NumberBlocksText(const PagerImage& memory) {
    std::string text;
    for (const std::uint32_t address : kNumberBlocks) {
        for (std::uint32_t byte = 0; byte < kBlockSize; ++byte) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", memory[address + byte]);
            text += digits;
        }
    }
    return text;
}

struct PagerAttempt::Seen {
    PagerImage memory{};
};

TransferControl PagerAttempt::Control() {
    return {&site_.cradle().stopRequested(), [this] { site_.Block(); }, {}};
}

AttemptFacts PagerAttempt::Facts(Generation generation, const std::string& pagerBefore) const {
    return {Site(), generation, CurrentLocalTime().value_or(LocalDateTime{}), pagerBefore,
            RandomKey()};
}

template <typename Call> auto PagerAttempt::WithLedger(Call&& call, bool untilStoppedNow) {
    bool told = false;
    for (;;) {
        try {
            auto result = call();
            if (told) {
                site_.Notice("the ledger answers again");
            }
            for (const std::string& note : ledger_.TakeOverNotes()) {
                site_.Notice(note);
            }
            return result;
        } catch (const LedgerUnavailable& error) {
            // The work in hand waits for the server: an attempt's end is kept until it is
            // recorded, and nothing new is claimed meanwhile.
            const bool giveUp =
                untilStoppedNow ? site_.cradle().stopRequested().load() : site_.StopTaking();
            if (giveUp) {
                throw;
            }
            if (!told) {
                site_.Notice(std::string("waiting for the ledger: ") + error.what());
                told = true;
            }
            site_.Show(SiteActivity::WaitingForLedger);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ledger_.Reconnect();
        }
    }
}

AttemptResult PagerAttempt::Run(Generation generation, bool& backedUp) {
    if (template_.mode && *template_.mode != generation) {
        site_.Notice(std::string("a ") + GenerationName(generation) + " pager; the order is for " +
                     GenerationName(*template_.mode) + " pagers: take it out");
        return AttemptResult::WrongGeneration;
    }
    auto seen = std::make_unique<Seen>();
    if (const std::optional<AttemptResult> end =
            ReadPager(*seen, options_.backupFolder.has_value() && !backedUp)) {
        return *end;
    }
    backedUp = backedUp || options_.backupFolder.has_value();
    if (const std::optional<AttemptResult> end = Recognise(*seen, generation, std::nullopt)) {
        return *end;
    }
    std::optional<Claim> claim;
    try {
        const AttemptFacts facts = Facts(generation, NumberBlocksText(seen->memory));
        claim = WithLedger([&] { return ledger_.ClaimNext(order_.id, facts); }, false);
    } catch (const LedgerRefusal& refusal) {
        site_.Notice(refusal.what());
        return AttemptResult::Refused;
    }
    if (!claim) {
        return AttemptResult::NoneFree;
    }
    return Program(std::move(*claim), generation, template_, order_.name);
}

std::optional<AttemptResult> PagerAttempt::ResolveSeated(Generation generation,
                                                         std::optional<std::int64_t> named) {
    auto seen = std::make_unique<Seen>();
    if (const std::optional<AttemptResult> end = ReadPager(*seen, false)) {
        return end;
    }
    return Recognise(*seen, generation, named);
}

std::optional<AttemptResult> PagerAttempt::ReadPager(Seen& seen, bool backUp) {
    CradleSite& cradle = site_.cradle();
    if (backUp) {
        site_.Begin(SiteActivity::BackingUp, 2 * kReadPassBlocks);
        const TransferOutcome read = ReadPagerMemory(cradle.link(), seen.memory, Control());
        switch (read.result) {
        case TransferResult::Done:
            break;
        case TransferResult::LinkFailed:
            site_.Notice("no backup could be read: " + read.details);
            cradle.Close();
            return AttemptResult::CradleLost;
        case TransferResult::Stopped:
            return AttemptResult::Stopped;
        default:
            site_.Notice("no backup could be read: " + read.details);
            return AttemptResult::Failed;
        }
        PagerSettings settings;
        DecodeImage(seen.memory, *read.identity, settings);
        const SavedBackup saved =
            SaveBackup(*options_.backupFolder, settings.serialNumber, seen.memory);
        if (!saved.path) {
            // Every pager would fail the same way: the site stops, and nothing was claimed.
            throw std::runtime_error("the backup could not be saved: " + saved.error +
                                     "; choose another --backup-dir");
        }
        return std::nullopt;
    }
    site_.Begin(SiteActivity::Checking, static_cast<std::uint32_t>(kNumberBlocks.size()));
    for (const std::uint32_t address : kNumberBlocks) {
        if (cradle.stopRequested().load()) {
            return AttemptResult::Stopped;
        }
        if (!cradle.link().ReadBlock(address)) {
            cradle.Close();
            return AttemptResult::CradleLost;
        }
        std::copy(cradle.link().ReplyData(), cradle.link().ReplyData() + kBlockSize,
                  seen.memory.begin() + address);
        site_.Block();
    }
    return std::nullopt;
}

std::optional<AttemptResult> PagerAttempt::Recognise(const Seen& seen, Generation generation,
                                                     std::optional<std::int64_t> named) {
    // What the pager shows of its numbers: the capcodes of its enabled rows and its serial.
    PagerSettings shown;
    DecodeImage(seen.memory, generation, shown);
    std::vector<std::uint32_t> capcodes;
    for (std::size_t row = 0; row < shown.capcodes.size(); ++row) {
        if (shown.capcodeEnabled[row] && shown.capcodes[row] != 0) {
            capcodes.push_back(shown.capcodes[row]);
        }
    }
    const std::string serial = SerialBlank(seen.memory)
                                   ? std::string()
                                   : Latin1ToUtf8(UnalignedSerialNumber(shown.serialNumber));
    const std::vector<CarriedAssignment> carrying =
        WithLedger([&] { return ledger_.AssignmentsCarrying(capcodes, serial); }, false);
    for (const CarriedAssignment& carried : carrying) {
        if (named && carried.assignment != *named) {
            continue;
        }
        switch (carried.state) {
        case AssignmentState::Held:
            if (const std::optional<HeldAssignment> held = WithLedger(
                    [&] { return ledger_.HeldAssignmentNumbered(carried.assignment); }, false)) {
                return Resolve(*held,
                               PagerImageFor(held->batchTemplate, held->numbers, held->generation,
                                             held->encodedAt),
                               generation);
            }
            break;
        case AssignmentState::Programmed:
        case AssignmentState::Claimed:
            // Never two sets of numbers for one pager: this one has its own already.
            site_.Notice("this pager already holds the numbers of assignment " +
                         std::to_string(carried.position + 1) + " of order \"" + carried.orderName +
                         "\" (" + StateName(carried.state) + "): take it out");
            return AttemptResult::AlreadyNumbered;
        case AssignmentState::Free:
        case AssignmentState::Refused:
            break;
        }
    }
    if (!named) {
        return std::nullopt;
    }
    // The operator names this pager as the assignment's, and it shows none of its numbers.
    const std::optional<HeldAssignment> held = ledger_.HeldAssignmentNumbered(*named);
    if (!held) {
        throw LedgerRefusal("that assignment is not held; only a held assignment is resolved");
    }
    if (NumberBlocksText(seen.memory) == held->pagerBefore) {
        ledger_.ResolveFree(held->assignment, Site(),
                            "its pager was seated again holding none of its numbers");
        site_.Notice("the pager holds none of the numbers of assignment " +
                     std::to_string(held->position + 1) + " of order \"" + held->orderName +
                     "\": they are free again");
        return AttemptResult::Freed;
    }
    // Its number blocks changed, but not into the image: part of a write reached it.
    const AttemptFacts facts = Facts(generation, held->pagerBefore);
    return Program(WithLedger([&] { return ledger_.Reclaim(held->assignment, facts); }, false),
                   generation, held->batchTemplate, held->orderName);
}

AttemptResult PagerAttempt::Resolve(const HeldAssignment& held, const PagerImage& image,
                                    Generation generation) {
    CradleSite& cradle = site_.cradle();
    site_.Begin(SiteActivity::Verifying, kReadPassBlocks);
    auto memory = std::make_unique<PagerImage>();
    const TransferOutcome compared =
        ReadBackAndCompare(cradle.link(), image, true, *memory, Control());
    switch (compared.result) {
    case TransferResult::Done: {
        WithLedger(
            [&] {
                ledger_.ResolveProgrammed(held.assignment, Site(),
                                          "seated again, it holds exactly the image written to it");
                return true;
            },
            false);
        const PagerSettings settings =
            ApplyAssignment(held.batchTemplate.settings, held.batchTemplate.rows, held.numbers);
        site_.listener().PagerEnded({cradle.id(), held.orderName, held.position, "resolved",
                                     "it holds exactly the image written to it", held.generation,
                                     UnalignedSerialNumber(settings.serialNumber),
                                     EnabledCapcodes(settings)});
        return AttemptResult::Programmed;
    }
    case TransferResult::LinkFailed:
    case TransferResult::Stopped:
        return Interrupted(compared);
    default:
        break;
    }
    // It holds part of the image: the same numbers are written again.
    const AttemptFacts facts = Facts(generation, held.pagerBefore);
    return Program(WithLedger([&] { return ledger_.Reclaim(held.assignment, facts); }, false),
                   generation, held.batchTemplate, held.orderName);
}

AttemptResult PagerAttempt::Interrupted(const TransferOutcome& outcome) {
    if (outcome.result == TransferResult::Stopped) {
        return AttemptResult::Stopped;
    }
    // The link closed the channel; the site waits for the cradle to open again.
    site_.cradle().Close();
    return AttemptResult::CradleLost;
}

AttemptResult PagerAttempt::Program(Claim claim, Generation generation,
                                    const BatchTemplate& batchTemplate,
                                    const std::string& orderName) {
    CradleSite& cradle = site_.cradle();
    const PagerSettings settings =
        ApplyAssignment(batchTemplate.settings, batchTemplate.rows, claim.numbers);
    const std::vector<std::uint32_t> capcodes = EnabledCapcodes(settings);
    site_.ShowPager(UnalignedSerialNumber(settings.serialNumber),
                    capcodes.empty() ? std::nullopt : std::optional(capcodes.front()));
    TransferOutcome outcome;
    try {
        site_.Begin(SiteActivity::Writing, WriteBlockCount(true));
        outcome = IdentifyAndWrite(cradle.link(), claim.image, generation, true, Control());
        if (outcome.ok() && options_.verify) {
            const std::uint32_t written = outcome.blocksWritten;
            site_.Begin(SiteActivity::Verifying, kReadPassBlocks);
            auto memory = std::make_unique<PagerImage>();
            outcome = ReadBackAndCompare(cradle.link(), claim.image, true, *memory, Control());
            outcome.blocksWritten = written;
        }
    } catch (const std::exception& error) {
        // How far the write got is unknown: the numbers stay with this pager.
        const std::string reason = std::string("stopped by an error: ") + error.what();
        WithLedger(
            [&] {
                ledger_.EndAttempt(claim, AttemptEnd::MayHoldNumbers, reason);
                return true;
            },
            true);
        throw;
    }
    const bool mayHold = claim.rewrite || outcome.result == TransferResult::ReadBackDiffers ||
                         outcome.blocksWritten >= kFirstNumberBlock;
    std::string reason;
    AttemptEnd end = AttemptEnd::Programmed;
    if (!outcome.ok()) {
        reason = outcome.result == TransferResult::Stopped
                     ? "stopped at once; " + BlocksText(outcome.blocksWritten)
                     : outcome.details + " (" + BlocksText(outcome.blocksWritten) + ")";
        end = mayHold ? AttemptEnd::MayHoldNumbers : AttemptEnd::FailedClean;
    }
    // The attempt ended on the pager: its end waits for the ledger if need be, and is
    // recorded once however often it is tried.
    WithLedger(
        [&] {
            ledger_.EndAttempt(claim, end, reason);
            return true;
        },
        true);
    const char* shown = end == AttemptEnd::Programmed    ? "programmed"
                        : end == AttemptEnd::FailedClean ? "failed"
                                                         : "held";
    site_.listener().PagerEnded({cradle.id(), orderName, claim.position, shown, reason, generation,
                                 UnalignedSerialNumber(settings.serialNumber), capcodes});
    switch (outcome.result) {
    case TransferResult::Done:
        return AttemptResult::Programmed;
    case TransferResult::LinkFailed:
    case TransferResult::Stopped:
        return Interrupted(outcome);
    default:
        return AttemptResult::Failed;
    }
}
