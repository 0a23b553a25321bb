#pragma once

#include "image/Generation.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class JournalFileLock;
class SqliteDatabase;

enum class AttemptOutcome { Started, Programmed, Failed, Interrupted };

// "started", "programmed", "failed", "interrupted".
std::string_view OutcomeName(AttemptOutcome outcome);

// Capcodes separated by blanks, as the journal keeps and lists them.
std::string CapcodesText(const std::vector<std::uint32_t>& capcodes);

// What is known of a pager attempt before its first block is written.
struct AttemptStart {
    std::int64_t batch = 0;              // from OpenBatch
    std::size_t assignment = 0;          // index of the assignment in its batch
    std::string cradle;                  // the site, e.g. "usb:3-1.4" or "virtual:bench-a"
    Generation mode = Generation::V2;    // pager generation
    std::string serialNumber;            // ISO-8859-1 bytes, as PagerSettings holds it
    std::vector<std::uint32_t> capcodes; // the enabled capcodes, in row order
    std::string imageSha256;             // hex digest of the image written
};

// One attempt as the journal holds it.
struct JournalEntry {
    std::int64_t attempt = 0;
    std::int64_t batch = 0;
    std::size_t assignment = 0;
    std::chrono::system_clock::time_point time; // when the attempt began
    std::string cradle;
    std::string generation; // "V1" or "V2"
    // UTF-8, without the leading blanks that right-align it in the pager's 16 characters.
    std::string serialNumber;
    std::vector<std::uint32_t> capcodes;
    AttemptOutcome outcome = AttemptOutcome::Started;
    std::string reason;
    std::string imageSha256;

    bool operator==(const JournalEntry&) const = default;
};

// Where a batch stands in the journal when it starts (again).
struct BatchProgress {
    std::int64_t batch = 0;
    bool resumed = false;         // the journal knew the batch already
    std::set<std::size_t> usedUp; // assignments with a programmed attempt
    // Assignments whose last attempt was interrupted, none programmed: the pager may hold
    // their numbers. Handed out again only once the user has checked.
    std::set<std::size_t> heldBack;
    std::vector<JournalEntry> heldBackAttempts; // those last attempts
};

// Attempts to list: every one, or those of one serial number and/or one capcode.
struct JournalFilter {
    std::optional<std::string> serialNumber; // UTF-8; leading blanks do not count
    std::optional<std::uint32_t> capcode;
};

// The journal cannot be opened or used; the text names its file. A batch cannot go on safely
// without its journal.
struct JournalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The SQLite record of every pager attempt of every batch. Each change is committed (and
// synced to the disk) before the call returns, so a crash or a power cut loses nothing that a
// call reported done. Every operation may be called from several threads at once: they share
// one connection, taken in turn. Every operation throws JournalError when the database fails.
class Journal {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    static constexpr std::int64_t kSchemaVersion = 1;

    // Opens the journal to record batches in, creating it when missing. While one program
    // records in a journal, another cannot open it to record. Attempts a run left "started"
    // when it ended without completing them become "interrupted" now (InterruptedAtOpen).
    static std::unique_ptr<Journal> OpenForRecording(const std::string& path,
                                                     Clock clock = std::chrono::system_clock::now);
    // Opens an existing journal to list it, changing nothing; a batch may be recording in it.
    static std::unique_ptr<Journal> OpenForReading(const std::string& path);
    ~Journal();

    const std::vector<JournalEntry>& InterruptedAtOpen() const { return interruptedAtOpen_; }

    // Finds the batch with this key, or adds it, and tells which assignments are used up and
    // held back.
    BatchProgress OpenBatch(const std::string& key, std::size_t assignmentCount);

    // Records a started attempt; returns its id.
    std::int64_t BeginAttempt(const AttemptStart& start);
    // Ends a started attempt as programmed or failed.
    void CompleteAttempt(std::int64_t attempt, AttemptOutcome outcome, std::string_view reason);
    // Ends a started attempt as interrupted: stopped mid-write on purpose.
    void MarkInterrupted(std::int64_t attempt, std::string_view reason);

    // Whether a pager was programmed with this capcode, in any batch.
    bool IsCapcodeProgrammed(std::uint32_t capcode);

    // The attempts in the order they began.
    std::vector<JournalEntry> Entries(const JournalFilter& filter = {});

private:
    Journal(std::string path, Clock clock);
    void Create();
    void CheckSchema();
    void InterruptStartedAttempts();
    void EndAttempt(std::int64_t attempt, AttemptOutcome outcome, std::string_view reason);
    // Runs `action` holding the connection; SQLite's errors come out as JournalError.
    template <typename Action> auto Locked(std::string_view what, Action&& action);

    std::string path_;
    Clock clock_;
    std::mutex mutex_;
    // Held while recording; released only after the connection has closed.
    std::unique_ptr<JournalFileLock> lock_;
    std::unique_ptr<SqliteDatabase> database_;
    std::vector<JournalEntry> interruptedAtOpen_;
};
