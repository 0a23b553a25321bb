#include "production/Journal.h"

#include "programming/SerialNumber.h"

#include "image/ProgramState.h"
#include "image/SettingsJson.h"
#include "production/JournalFileLock.h"
#include "production/SqliteDatabase.h"

#include <array>
#include <filesystem>
#include <sstream>

namespace {

// "PgrJ": marks the file as a journal of this program.
constexpr std::int64_t kApplicationId = 0x5067724A;

constexpr const char* kSchema = R"sql(
CREATE TABLE batches (
    id INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE,
    assignments INTEGER NOT NULL,
    created_ms INTEGER NOT NULL
);
CREATE TABLE attempts (
    id INTEGER PRIMARY KEY,
    batch INTEGER NOT NULL REFERENCES batches(id),
    assignment INTEGER NOT NULL,
    time_ms INTEGER NOT NULL,
    cradle TEXT NOT NULL,
    generation TEXT NOT NULL CHECK (generation IN ('V1', 'V2')),
    serial TEXT NOT NULL,
    capcodes TEXT NOT NULL,
    outcome TEXT NOT NULL CHECK (outcome IN ('started', 'programmed', 'failed', 'interrupted')),
    reason TEXT NOT NULL,
    sha256 TEXT NOT NULL
);
CREATE INDEX attempts_by_assignment ON attempts(batch, assignment);
CREATE INDEX attempts_by_outcome ON attempts(outcome);
CREATE TABLE attempt_capcodes (
    attempt INTEGER NOT NULL REFERENCES attempts(id),
    capcode INTEGER NOT NULL
);
CREATE INDEX attempt_capcodes_by_capcode ON attempt_capcodes(capcode);
)sql";

constexpr const char* kEntryColumns =
    "SELECT id, batch, assignment, time_ms, cradle, generation, serial, capcodes, outcome, "
    "reason, sha256 FROM attempts";

constexpr const char* kInterruptedAtOpenReason = "the program ended before the attempt completed";

constexpr std::array kOutcomeNames = {"started", "programmed", "failed", "interrupted"};

AttemptOutcome OutcomeNamed(const std::string& name) {
    for (std::size_t i = 0; i < kOutcomeNames.size(); ++i) {
        if (name == kOutcomeNames[i]) {
            return static_cast<AttemptOutcome>(i);
        }
    }
    throw SqliteError("unknown outcome \"" + name + "\"");
}

std::int64_t Milliseconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

std::vector<std::uint32_t> CapcodesOf(const std::string& text) {
    std::vector<std::uint32_t> capcodes;
    std::istringstream words(text);
    for (std::uint32_t capcode = 0; words >> capcode;) {
        capcodes.push_back(capcode);
    }
    return capcodes;
}

JournalEntry ReadEntry(const SqliteStatement& row) {
    JournalEntry entry;
    entry.attempt = row.Integer(0);
    entry.batch = row.Integer(1);
    entry.assignment = static_cast<std::size_t>(row.Integer(2));
    entry.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(row.Integer(3)));
    entry.cradle = row.Text(4);
    entry.generation = row.Text(5);
    entry.serialNumber = row.Text(6);
    entry.capcodes = CapcodesOf(row.Text(7));
    entry.outcome = OutcomeNamed(row.Text(8));
    entry.reason = row.Text(9);
    entry.imageSha256 = row.Text(10);
    return entry;
}

std::vector<JournalEntry> ReadEntries(SqliteStatement& statement) {
    std::vector<JournalEntry> entries;
    while (statement.Step()) {
        entries.push_back(ReadEntry(statement));
    }
    return entries;
}

} // namespace

std::string CapcodesText(const std::vector<std::uint32_t>& capcodes) {
    std::string text;
    for (const std::uint32_t capcode : capcodes) {
        text += (text.empty() ? "" : " ") + std::to_string(capcode);
    }
    return text;
}

std::string_view OutcomeName(AttemptOutcome outcome) {
    return kOutcomeNames[static_cast<std::size_t>(outcome)];
}

Journal::Journal(std::string path, Clock clock)
    : path_(std::move(path)), clock_(std::move(clock)) {}

Journal::~Journal() = default;

template <typename Action> auto Journal::Locked(std::string_view what, Action&& action) {
    std::lock_guard lock(mutex_);
    try {
        return action();
    } catch (const SqliteError& error) {
        throw JournalError(path_ + ": " + std::string(what) + ": " + error.what());
    }
}

namespace {

void RefuseFolder(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw JournalError(path + ": a folder, not a journal; give the journal's file name");
    }
}

// Whether the write-ahead log beside the journal holds commits not yet in the journal file: a
// batch records now, or one was cut off.
bool LogHoldsCommits(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path + "-wal", error);
    return !error && size > 0;
}

} // namespace

std::unique_ptr<Journal> Journal::OpenForRecording(const std::string& path, Clock clock) {
    RefuseFolder(path);
    std::unique_ptr<Journal> journal(new Journal(path, std::move(clock)));
    try {
        journal->lock_ = std::make_unique<JournalFileLock>(path);
    } catch (const std::runtime_error& error) {
        throw JournalError(path + ": " + error.what());
    }
    journal->Locked("open", [&] {
        journal->database_ =
            std::make_unique<SqliteDatabase>(path, SqliteDatabase::Access::ReadWrite);
        // WAL lets a listing read while a batch records; FULL syncs the log at every commit,
        // so that a commit survives a power cut.
        journal->database_->Execute("PRAGMA busy_timeout = 5000; PRAGMA journal_mode = WAL; "
                                    "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON");
        journal->Create();
        journal->CheckSchema();
        journal->InterruptStartedAttempts();
    });
    return journal;
}

std::unique_ptr<Journal> Journal::OpenForReading(const std::string& path) {
    if (!std::filesystem::exists(path)) {
        throw JournalError(path + ": no such journal");
    }
    RefuseFolder(path);
    std::unique_ptr<Journal> journal(new Journal(path, {}));
    journal->Locked("open", [&] {
        // With nothing in the log, the journal file holds every commit and is read as it
        // stands: no lock, no log or shared-memory file made beside it, so a journal in a
        // folder the user may not write can be listed too. Otherwise the log is read with it.
        journal->database_ = std::make_unique<SqliteDatabase>(
            path, LogHoldsCommits(path) ? SqliteDatabase::Access::ReadOnly
                                        : SqliteDatabase::Access::Immutable);
        journal->database_->Execute("PRAGMA busy_timeout = 5000");
        journal->CheckSchema();
    });
    return journal;
}

void Journal::Create() {
    SqliteTransaction transaction(*database_);
    const bool empty = database_->QueryInteger("SELECT count(*) FROM sqlite_schema") == 0;
    if (empty && database_->QueryInteger("PRAGMA application_id") == 0) {
        database_->Execute(kSchema);
        database_->Execute(("PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                               .c_str());
    }
    transaction.Commit();
}

void Journal::CheckSchema() {
    if (database_->QueryInteger("PRAGMA application_id") != kApplicationId) {
        throw SqliteError("not a journal of pager batches");
    }
    const std::int64_t version = database_->QueryInteger("PRAGMA user_version");
    if (version != kSchemaVersion) {
        throw SqliteError("journal version " + std::to_string(version) + "; this program reads " +
                          std::to_string(kSchemaVersion));
    }
}

void Journal::InterruptStartedAttempts() {
    SqliteTransaction transaction(*database_);
    SqliteStatement started(
        *database_,
        (std::string(kEntryColumns) + " WHERE outcome = 'started' ORDER BY id").c_str());
    interruptedAtOpen_ = ReadEntries(started);
    SqliteStatement interrupt(
        *database_,
        "UPDATE attempts SET outcome = 'interrupted', reason = ?1 WHERE outcome = 'started'");
    interrupt.Bind(1, kInterruptedAtOpenReason).Run();
    transaction.Commit();
    for (JournalEntry& entry : interruptedAtOpen_) {
        entry.outcome = AttemptOutcome::Interrupted;
        entry.reason = kInterruptedAtOpenReason;
    }
}

BatchProgress Journal::OpenBatch(const std::string& key, std::size_t assignmentCount) {
    return Locked("open batch", [&] {
        SqliteTransaction transaction(*database_);
        BatchProgress progress;
        SqliteStatement find(*database_, "SELECT id, assignments FROM batches WHERE key = ?1");
        find.Bind(1, key);
        if (find.Step()) {
            progress.batch = find.Integer(0);
            progress.resumed = true;
            if (find.Integer(1) != static_cast<std::int64_t>(assignmentCount)) {
                throw SqliteError("batch " + std::to_string(progress.batch) + " has " +
                                  std::to_string(find.Integer(1)) + " assignments, not " +
                                  std::to_string(assignmentCount));
            }
        } else {
            SqliteStatement add(*database_, "INSERT INTO batches (key, assignments, created_ms) "
                                            "VALUES (?1, ?2, ?3)");
            add.Bind(1, key)
                .Bind(2, static_cast<std::int64_t>(assignmentCount))
                .Bind(3, Milliseconds(clock_()))
                .Run();
            progress.batch = database_->LastInsertRowId();
        }

        SqliteStatement programmed(*database_, "SELECT DISTINCT assignment FROM attempts "
                                               "WHERE batch = ?1 AND outcome = 'programmed'");
        programmed.Bind(1, progress.batch);
        while (programmed.Step()) {
            progress.usedUp.insert(static_cast<std::size_t>(programmed.Integer(0)));
        }
        // The last attempt of each assignment that is not used up.
        SqliteStatement last(
            *database_,
            (std::string(kEntryColumns) +
             " AS a WHERE batch = ?1 AND outcome = 'interrupted' AND id = (SELECT max(id) FROM "
             "attempts AS b WHERE b.batch = a.batch AND b.assignment = a.assignment) ORDER BY id")
                .c_str());
        last.Bind(1, progress.batch);
        for (JournalEntry& entry : ReadEntries(last)) {
            if (!progress.usedUp.contains(entry.assignment)) {
                progress.heldBack.insert(entry.assignment);
                progress.heldBackAttempts.push_back(std::move(entry));
            }
        }
        transaction.Commit();
        return progress;
    });
}

std::int64_t Journal::BeginAttempt(const AttemptStart& start) {
    return Locked("begin attempt", [&] {
        SqliteTransaction transaction(*database_);
        SqliteStatement add(*database_,
                            "INSERT INTO attempts (batch, assignment, time_ms, cradle, generation, "
                            "serial, capcodes, outcome, reason, sha256) VALUES (?1, ?2, ?3, ?4, "
                            "?5, ?6, ?7, 'started', '', ?8)");
        add.Bind(1, start.batch)
            .Bind(2, static_cast<std::int64_t>(start.assignment))
            .Bind(3, Milliseconds(clock_()))
            .Bind(4, start.cradle)
            .Bind(5, GenerationName(start.mode))
            .Bind(6, Latin1ToUtf8(UnalignedSerialNumber(start.serialNumber)))
            .Bind(7, CapcodesText(start.capcodes))
            .Bind(8, start.imageSha256)
            .Run();
        const std::int64_t attempt = database_->LastInsertRowId();
        SqliteStatement addCapcode(
            *database_, "INSERT INTO attempt_capcodes (attempt, capcode) VALUES (?1, ?2)");
        for (const std::uint32_t capcode : start.capcodes) {
            addCapcode.Bind(1, attempt).Bind(2, std::int64_t{capcode}).Run();
        }
        transaction.Commit();
        return attempt;
    });
}

void Journal::CompleteAttempt(std::int64_t attempt, AttemptOutcome outcome,
                              std::string_view reason) {
    if (outcome != AttemptOutcome::Programmed && outcome != AttemptOutcome::Failed) {
        throw JournalError(path_ + ": an attempt completes as programmed or failed");
    }
    EndAttempt(attempt, outcome, reason);
}

void Journal::MarkInterrupted(std::int64_t attempt, std::string_view reason) {
    EndAttempt(attempt, AttemptOutcome::Interrupted, reason);
}

void Journal::EndAttempt(std::int64_t attempt, AttemptOutcome outcome, std::string_view reason) {
    Locked("end attempt", [&] {
        // The end of an attempt is committed without waiting for the disk: it reaches the disk
        // with the next attempt's start, or when the journal closes. A power cut before that
        // can only turn it back into "started", which the next run reports as interrupted and
        // holds back, so nothing is ever handed out twice; the start, which a write must not
        // outrun, is always synced.
        database_->Execute("PRAGMA synchronous = NORMAL");
        SqliteStatement end(*database_, "UPDATE attempts SET outcome = ?1, reason = ?2 "
                                        "WHERE id = ?3 AND outcome = 'started'");
        end.Bind(1, OutcomeName(outcome)).Bind(2, reason).Bind(3, attempt).Run();
        const bool ended = database_->ChangedRows() == 1;
        database_->Execute("PRAGMA synchronous = FULL");
        if (!ended) {
            throw SqliteError("attempt " + std::to_string(attempt) + " is not in progress");
        }
    });
}

bool Journal::IsCapcodeProgrammed(std::uint32_t capcode) {
    return Locked("look up capcode", [&] {
        SqliteStatement find(*database_,
                             "SELECT EXISTS (SELECT 1 FROM attempt_capcodes AS c JOIN attempts AS "
                             "a ON a.id = c.attempt WHERE c.capcode = ?1 AND a.outcome = "
                             "'programmed')");
        find.Bind(1, std::int64_t{capcode});
        return find.Step() && find.Integer(0) != 0;
    });
}

std::vector<JournalEntry> Journal::Entries(const JournalFilter& filter) {
    return Locked("list", [&] {
        std::string sql = std::string(kEntryColumns) + " WHERE 1";
        if (filter.serialNumber) {
            sql += " AND serial = ?1";
        }
        if (filter.capcode) {
            sql += " AND id IN (SELECT attempt FROM attempt_capcodes WHERE capcode = ?2)";
        }
        SqliteStatement list(*database_, (sql + " ORDER BY id").c_str());
        if (filter.serialNumber) {
            list.Bind(1, UnalignedSerialNumber(*filter.serialNumber));
        }
        if (filter.capcode) {
            list.Bind(2, std::int64_t{*filter.capcode});
        }
        return ReadEntries(list);
    });
}
