#pragma once

#include "production/BatchTemplate.h"
#include "production/SiteContext.h"
#include "production/ledger/Ledger.h"
#include "programming/transfer/PagerTransfer.h"

#include <filesystem>
#include <optional>
#include <string>

struct AttemptOptions {
    bool verify = true;
    std::optional<std::filesystem::path> backupFolder;
    std::string station;
};

// How one attempt at the seated pager ended.
enum class AttemptResult {
    Programmed,      // written and checked, or found holding its held assignment exactly
    Failed,          // try again: the ledger knows whether the pager may hold the numbers
    CradleLost,      // the link failed; the cradle is being waited for
    WrongGeneration, // the pager is not of the order's generation: take it out
    Refused,         // the claimed assignment was refused for good; claim the next one
    NoneFree,        // no assignment of the order is free
    Stopped,         // the batch stops
    Freed,           // the named held assignment's pager holds none of its numbers
    AlreadyNumbered, // the pager holds an assignment's numbers already: take it out
};

// One attempt at the pager in a site's cradle, over the ledger:
//  1. read what the pager holds (all of it for a backup, saved before anything is claimed;
//     else the blocks that carry the numbers);
//  2. a pager showing an assignment's own capcode or serial number is that assignment's pager:
//     held, it is programmed when it holds exactly its image, else written again with the
//     same numbers; programmed already, it is left alone;
//  3. otherwise the next free assignment is claimed (durably, before the first block);
//  4. the image is written and read back, and the attempt ended in the ledger.
// Throws what the ledger or the disk throws; the caller stops the site with the reason.
class PagerAttempt {
public:
    PagerAttempt(SiteContext& site, Ledger& ledger, const OrderInfo& order,
                 const BatchTemplate& batchTemplate, const AttemptOptions& options)
        : site_(site), ledger_(ledger), order_(order), template_(batchTemplate), options_(options) {
    }

    // `backedUp`: whether the pager in hand was backed up already; when backups are kept and
    // it was not, the attempt saves one first and sets it. Later attempts only read the
    // blocks that carry the numbers, since a backup then would save what a write broke off.
    AttemptResult Run(Generation generation, bool& backedUp);

    // Resolves the seated pager against the held assignments of every order, without
    // claiming anything new: nothing when it carries none of their numbers. `named`: the
    // operator states the pager is this held assignment's, so a pager holding none of its
    // numbers frees them (LedgerRefusal when it is not held).
    std::optional<AttemptResult> ResolveSeated(Generation generation,
                                               std::optional<std::int64_t> named);

private:
    struct Seen;
    std::optional<AttemptResult> ReadPager(Seen& seen, bool backUp);
    std::optional<AttemptResult> Recognise(const Seen& seen, Generation generation,
                                           std::optional<std::int64_t> named);
    AttemptResult Program(Claim claim, Generation generation, const BatchTemplate& batchTemplate,
                          const std::string& orderName);
    AttemptResult Resolve(const HeldAssignment& held, const PagerImage& image,
                          Generation generation);
    TransferControl Control();
    // A transfer that broke off on the link or on a stop: how the attempt ends.
    AttemptResult Interrupted(const TransferOutcome& outcome);
    // Runs a ledger call; while the server does not answer, the site waits for it and tries
    // again, until the batch stops taking pagers (or, `untilStoppedNow`, stops at once).
    template <typename Call> auto WithLedger(Call&& call, bool untilStoppedNow);
    SiteName Site() const { return {options_.station, site_.cradle().id()}; }
    AttemptFacts Facts(Generation generation, const std::string& pagerBefore) const;

    SiteContext& site_;
    Ledger& ledger_;
    const OrderInfo& order_;
    const BatchTemplate& template_;
    const AttemptOptions& options_;
};

// The blocks that carry a pager's numbers (capcode entries, time stamp, serial number) as hex,
// to know a pager again.
std::string NumberBlocksText(const PagerImage& memory);
