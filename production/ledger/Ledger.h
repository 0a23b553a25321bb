#pragma once

#include "image/ImageCodec.h"
#include "production/Assignment.h"
#include "production/BatchTemplate.h"
#include "production/ledger/SqlSession.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class JournalFileLock;

// Where each assignment stands. Only the ledger changes it, one guarded statement at a time.
enum class AssignmentState {
    Free,       // no pager has its numbers
    Claimed,    // a site is programming a pager with it (its attempt was recorded first)
    Programmed, // a pager holds it, checked
    Held,       // its numbers may be in a pager: it goes to no other pager until resolved
    Refused,    // it can never be programmed (a number is owned elsewhere)
};
const char* StateName(AssignmentState state);

// The ledger cannot be used: the text says why and names it. A site stops; nothing it had
// claimed goes back to the pool.
struct LedgerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The ledger's server does not answer (a connection lost, a server restarting): what was
// asked may or may not have happened. Try again after Reconnect; an attempt's end and a claim
// made with the same attempt key are recorded once however often they are tried.
struct LedgerUnavailable : LedgerError {
    using LedgerError::LedgerError;
};

// A request the ledger turns down, with what differs or who owns what (an order that does not
// match the stored one, a capcode owned elsewhere, a release of an assignment not held).
struct LedgerRefusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A change the ledger would not make because the assignment was no longer where the caller
// believed (a late site, a claim taken over): that site's fault, reported, never applied.
struct LedgerConflict : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A production run: its template, how each capcode row is numbered, and its assignments in
// order. An order is known by its name and this content, never by where it came from.
struct OrderContent {
    std::string name;
    BatchTemplate batchTemplate;
    // "list" or "count": how the assignments were made.
    std::string numbering;
    std::vector<Assignment> assignments;
    // The list line of each assignment, for messages (empty for a count).
    std::vector<std::size_t> lines;
    bool sharedOnly = false;
};

struct OrderInfo {
    std::int64_t id = 0;
    std::string name;
    std::size_t assignments = 0;
    bool created = false;  // stored now
    std::size_t added = 0; // assignments this opening appended (created: all of them)
};

// Where each assignment of an order stands.
struct OrderCounts {
    std::size_t total = 0;
    std::size_t free = 0;
    std::size_t claimed = 0;
    std::size_t programmed = 0;
    std::size_t held = 0;
    std::size_t refused = 0;
};

// The programming station a recording program is, on a ledger server. Its claims carry a
// lease it renews; a claim whose lease ran out is held, whoever notices first.
struct StationOptions {
    std::string name = "station";
    std::chrono::seconds lease{30};
};

// Whether `where` names a ledger server (a postgresql:// or postgres:// URI, or libpq's
// "key=value" words) rather than a ledger file.
bool IsServerLedger(std::string_view where);

// Who programs: the station (the PC) and its cradle.
struct SiteName {
    std::string station;
    std::string cradle;
};

// An assignment handed to one site for one pager. The token fences it: a change made with an
// old token (a claim since taken over) changes nothing.
struct Claim {
    std::int64_t order = 0;
    std::int64_t assignment = 0; // the ledger's id
    std::size_t position = 0;    // in its order, from 0
    std::int64_t attempt = 0;
    std::int64_t token = 0;
    Assignment numbers;
    // The image's time stamp: with the order's template it makes the image again exactly.
    LocalDateTime encodedAt;
    // What the pager is to hold: the order's template with these numbers, in the generation
    // the claim was made for. Zero where a write sends nothing.
    PagerImage image{};
    // Claimed again for a pager that may hold part of the numbers already: however this
    // attempt ends, short of programmed, they stay held.
    bool rewrite = false;
};

// What a site knows when it claims, recorded with the attempt before the first block.
struct AttemptFacts {
    SiteName site;
    Generation generation = Generation::V2;
    LocalDateTime encodedAt;
    // The pager's number blocks as read before the write (hex), to know it again.
    std::string pagerBefore;
    // Names this claim: asked again with the same key (after a lost connection), the claim is
    // the one already made, if it was.
    std::string key;
};

// How an attempt ended.
enum class AttemptEnd {
    Programmed,     // written and checked
    FailedClean,    // nothing holding its numbers reached the pager: free again
    MayHoldNumbers, // the pager may hold part of them: held
};

// A held assignment, with what is needed to recognise its pager and write it again.
struct HeldAssignment {
    std::int64_t order = 0;
    std::string orderName;
    std::int64_t assignment = 0;
    std::size_t position = 0;
    Assignment numbers;
    BatchTemplate batchTemplate;
    // Of its last attempt:
    Generation generation = Generation::V2;
    LocalDateTime encodedAt;
    std::string pagerBefore;
    std::string station;
    std::string cradle;
    std::string reason;
};

// An assignment whose numbers a pager shows, and where it stands.
struct CarriedAssignment {
    std::int64_t assignment = 0;
    std::int64_t order = 0;
    std::string orderName;
    std::size_t position = 0;
    AssignmentState state = AssignmentState::Free;
};

// Attempts as the journal listing shows them.
struct LedgerEntry {
    std::int64_t attempt = 0;
    std::int64_t order = 0;
    std::string orderName;
    std::size_t position = 0; // assignment, from 0
    std::chrono::system_clock::time_point time;
    std::string station;
    std::string cradle;
    std::string generation;   // "V1" or "V2"
    std::string serialNumber; // UTF-8, without the aligning blanks
    std::vector<std::uint32_t> capcodes;
    std::string outcome; // started, programmed, failed, interrupted, resolved, released
    std::string reason;
    std::string imageSha256;
    AssignmentState state = AssignmentState::Free; // of the assignment now
};

struct LedgerFilter {
    std::optional<std::string> order;
    std::optional<std::string> serialNumber; // UTF-8; leading blanks do not count
    std::optional<std::uint32_t> capcode;
};

// The one owner of every number a batch hands out. Every change is one transaction whose
// statements are guarded by the state they expect; the database refuses an individual capcode
// to a second owner (across every order, rerun and station) and a shared capcode to an
// individual owner. Safe to call from several threads: they share one connection in turn.
class Ledger {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    static constexpr std::int64_t kSchemaVersion = 2;

    // Opens the ledger to record in, creating it when missing and bringing an older journal up
    // to date. While one program records in a ledger file, another cannot open it to record;
    // claims a program left behind are held now (HeldAtOpen).
    // A ledger server takes several programs at once, one per station name; a station started
    // again holds at once the claims its gone run left.
    static std::unique_ptr<Ledger> OpenForRecording(const std::string& where,
                                                    Clock clock = std::chrono::system_clock::now,
                                                    StationOptions station = {});
    // Creates the ledger's tables on a server (as the database's owner), or checks those
    // there; an SQLite file is created as a batch would. Says what it found or did.
    static std::string Initialise(const std::string& where);
    // Opens an existing ledger to list it, changing nothing and creating nothing.
    static std::unique_ptr<Ledger> OpenForReading(const std::string& where);
    // Records over a database session of its own, beside other programs that record in the
    // same database at once: no file lock, and the claims found are left to their owners.
    static std::unique_ptr<Ledger> OpenShared(std::unique_ptr<SqlSession> session, std::string name,
                                              Clock clock = std::chrono::system_clock::now);
    Ledger(std::unique_ptr<SqlSession> session, std::string name, Clock clock, bool recording);
    ~Ledger();

    const std::string& id() const { return id_; }
    const std::string& name() const { return name_; }
    // Claims found left behind when this program opened the ledger, now held.
    std::size_t HeldAtOpen() const { return heldAtOpen_; }

    // Stops with LedgerError when the ledger is no longer the one opened (its file deleted or
    // replaced, another ledger in its place).
    void CheckItself();
    // After LedgerUnavailable: connects to the server again, as the same station. False (and
    // why) while the server does not answer.
    bool Reconnect(std::string* reason = nullptr);
    // "the claims of station B ran out and are held": what this program's claims found of
    // other stations since the last call.
    std::vector<std::string> TakeOverNotes();
    // Pagers programmed per minute by each station of the order, over its programmed attempts.
    std::vector<std::pair<std::string, double>> StationRates(std::int64_t order);

    // Stores the order, or resumes it, appending assignments a longer list or count brings.
    // A different template, numbering or changed assignments under the same name, duplicate
    // numbers, or capcodes another order owns are refused with what differs.
    OrderInfo OpenOrder(const OrderContent& content);
    std::optional<OrderInfo> FindOrder(const std::string& name);
    OrderCounts Counts(std::int64_t order);

    // Claims the next free assignment of the order for this site; the attempt is recorded
    // (durably) before this returns, and each individual capcode is owned from now on.
    // Nothing when no assignment is free. A capcode owned elsewhere refuses the assignment for
    // good (LedgerRefusal naming the owner) and the caller may claim again.
    std::optional<Claim> ClaimNext(std::int64_t order, const AttemptFacts& facts);
    // Claims a held assignment again to write the same numbers to its pager.
    Claim Reclaim(std::int64_t assignment, const AttemptFacts& facts);
    // Ends a claimed attempt. A claim that is no longer this site's is a LedgerConflict. A
    // rewrite that failed stays held, whatever it sent itself.
    void EndAttempt(const Claim& claim, AttemptEnd end, const std::string& reason);

    // Held assignments of one order (or of all), with what recognises their pagers.
    std::vector<HeldAssignment> Held(std::optional<std::int64_t> order = std::nullopt);
    std::optional<HeldAssignment> HeldAssignmentNumbered(std::int64_t assignment);
    // The assignments whose own numbers a pager shows: one of these individual capcodes, or
    // this serial number (UTF-8, without the aligning blanks; an assignment's own only).
    std::vector<CarriedAssignment> AssignmentsCarrying(const std::vector<std::uint32_t>& capcodes,
                                                       const std::string& serialNumber);
    // A held assignment's pager was found holding exactly its image: programmed.
    void ResolveProgrammed(std::int64_t assignment, const SiteName& site,
                           const std::string& reason);
    // Its pager was found holding none of its numbers: free again.
    void ResolveFree(std::int64_t assignment, const SiteName& site, const std::string& reason);
    // The operator states the pager of a held assignment is destroyed: free again.
    void Release(std::int64_t order, std::size_t position, const SiteName& site,
                 const std::string& reason);

    // The attempts, in the order they began.
    std::vector<LedgerEntry> Entries(const LedgerFilter& filter = {});
    std::vector<OrderInfo> Orders();

private:
    template <typename Action> auto Locked(const char* what, Action&& action);
    struct OrderStoredMeanwhile {};
    OrderInfo OpenOrderOnce(const OrderContent& content);
    static std::unique_ptr<SqlSession> OpenServer(const std::string& where);
    void Prepare();
    std::optional<std::int64_t> ServerSchemaVersion();
    void HoldLeftClaims();
    void JoinAsStation();
    void JoinAsStationAgain();
    void StartRenewing();
    void RenewLeases();
    std::int64_t LeaseMs() const;
    // The server's time now in milliseconds, as SQL.
    std::string NowSql() const;
    // An assignment's state as it stands: a claim whose lease ran out counts as held.
    std::string StateSql(const char* table) const;
    // A new claim's lease end, as SQL (none on a file).
    std::string LeaseSql() const;
    void HoldExpiredClaims(std::int64_t order);
    std::optional<Claim> ClaimMadeWith(const std::string& key);
    // Within a transaction:
    void ShareCapcodes(std::int64_t order, const OrderContent& content);
    void AddAssignments(std::int64_t order, const OrderContent& content, std::size_t from);
    std::string CapcodeOwnerText(std::uint32_t capcode);
    const BatchTemplate& TemplateOfOrder(std::int64_t order);
    void OwnCapcodes(const Claim& claim);
    std::int64_t NewAttempt(Claim& claim, const AttemptFacts& facts);
    void Settle(std::int64_t assignment, const char* from, const char* to, const char* outcome,
                const SiteName& site, const std::string& reason);
    std::string ClaimableSql() const;
    std::vector<HeldAssignment> HeldWhere(const std::string& condition, const SqlParams& params);

    std::string name_;
    Clock clock_;
    bool recording_;
    std::mutex mutex_;
    // Held while recording in a file; also tells when the file was deleted or replaced.
    std::unique_ptr<JournalFileLock> lock_;
    std::unique_ptr<SqlSession> session_;
    std::string id_;
    std::size_t heldAtOpen_ = 0;
    // Orders met so far, by id.
    std::map<std::int64_t, BatchTemplate> templates_;
    std::map<std::int64_t, std::string> names_;
    StationOptions station_;
    std::vector<std::string> takeOverNotes_;
    // Renews the leases of this station's claims (on a server).
    std::thread renewal_;
    std::mutex renewalMutex_;
    std::condition_variable renewalWake_;
    bool renewing_ = false;
};
