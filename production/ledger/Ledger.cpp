#include "production/ledger/Ledger.h"

#include "image/SettingsDiff.h"
#include "image/SettingsJson.h"
#include "production/JournalFileLock.h"
#include "production/Sha256.h"
#include "production/ledger/ConnectionText.h"
#include "production/ledger/LedgerSchema.h"
#include "production/ledger/ServerSessions.h"
#include "production/ledger/SqliteSession.h"
#include "programming/SerialNumber.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

constexpr const char* kLeftBehindReason = "the program ended before the attempt completed";
constexpr std::array kStateNames = {"free", "claimed", "programmed", "held", "refused"};

AssignmentState StateNamed(const std::string& name) {
    for (std::size_t i = 0; i < kStateNames.size(); ++i) {
        if (name == kStateNames[i]) {
            return static_cast<AssignmentState>(i);
        }
    }
    throw SqlError("unknown assignment state \"" + name + "\"");
}

std::int64_t Milliseconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

std::string RandomId() {
    std::random_device random;
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    return id;
}

// The individual capcodes of an assignment: eight fields, "" where a row has none.
std::string CapcodeFields(const Assignment& assignment) {
    std::string text;
    for (std::size_t row = 0; row < assignment.capcodes.size(); ++row) {
        text += row ? "," : "";
        if (assignment.capcodes[row]) {
            text += std::to_string(*assignment.capcodes[row]);
        }
    }
    return text;
}

void ReadCapcodeFields(const std::string& text, Assignment& assignment) {
    std::size_t row = 0;
    std::size_t start = 0;
    while (row < assignment.capcodes.size() && start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        if (end > start) {
            assignment.capcodes[row] =
                static_cast<std::uint32_t>(std::stoul(text.substr(start, end - start)));
        }
        ++row;
        start = end + 1;
    }
}

SqlValue SerialValue(const Assignment& assignment) {
    if (!assignment.serialNumber) {
        return std::monostate{};
    }
    return Latin1ToUtf8(*assignment.serialNumber);
}

Assignment AssignmentOf(const SqlRow& row, std::size_t serialColumn, std::size_t capcodeColumn) {
    Assignment assignment;
    if (!row.IsNull(serialColumn)) {
        assignment.serialNumber = Utf8ToLatin1(row.Text(serialColumn)).value_or("");
    }
    ReadCapcodeFields(row.Text(capcodeColumn), assignment);
    return assignment;
}

std::string RowsText(const CapcodeRows& rows) {
    std::string text;
    for (const CapcodeRowKind kind : rows) {
        text += static_cast<char>(kind);
    }
    return text;
}

CapcodeRows RowsOf(const std::string& text) {
    CapcodeRows rows{};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        rows[row] =
            row < text.size() ? static_cast<CapcodeRowKind>(text[row]) : CapcodeRowKind::Disabled;
    }
    return rows;
}

std::string TimeText(const LocalDateTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute);
    return text;
}

LocalDateTime TimeOf(const std::string& text) {
    LocalDateTime time;
    std::sscanf(text.c_str(), "%d-%d-%dT%d:%d", &time.year, &time.month, &time.day, &time.hour,
                &time.minute);
    return time;
}

std::string GenerationText(const std::optional<Generation>& generation) {
    return generation ? GenerationName(*generation) : "";
}

std::optional<Generation> GenerationOfText(const std::string& text) {
    if (text == "V1") {
        return Generation::V1;
    }
    if (text == "V2") {
        return Generation::V2;
    }
    return std::nullopt;
}

// The template as the ledger stores it: its settings as JSON.
std::string TemplateText(const BatchTemplate& batchTemplate) {
    // Every value as it is: the images the order's pagers get are made from these settings.
    return SettingsToJson(batchTemplate.settings, batchTemplate.mode.value_or(Generation::V2),
                          UnlistedIndexes::AsStored)
        .dump();
}

BatchTemplate TemplateOfRow(const std::string& generation, const std::string& json,
                            const std::string& rows) {
    BatchTemplate batchTemplate;
    batchTemplate.mode = GenerationOfText(generation);
    if (!json.empty()) {
        if (std::optional<std::string> error =
                ReadStoredSettingsJson(json, batchTemplate.settings)) {
            throw SqlError("an order's template cannot be read: " + *error);
        }
    }
    batchTemplate.rows = RowsOf(rows);
    return batchTemplate;
}

std::vector<std::uint32_t> CapcodesOfText(const std::string& text) {
    std::vector<std::uint32_t> capcodes;
    std::istringstream words(text);
    for (std::uint32_t capcode = 0; words >> capcode;) {
        capcodes.push_back(capcode);
    }
    return capcodes;
}

std::string AssignmentName(const std::string& order, std::int64_t position) {
    return "assignment " + std::to_string(position + 1) + " of order \"" + order + "\"";
}

// "line 7" for a list, "pager 7" for a count.
std::string PlaceOf(const OrderContent& content, std::size_t index) {
    return index < content.lines.size() ? "line " + std::to_string(content.lines[index])
                                        : "pager " + std::to_string(index + 1);
}

// "serial "A-1", capcode1 1300000, capcode3 1400000" as a person reads an assignment.
std::string NumbersShown(const Assignment& assignment) {
    std::string text = assignment.serialNumber
                           ? "serial \"" + Latin1ToUtf8(*assignment.serialNumber) + "\""
                           : "no serial";
    for (std::size_t row = 0; row < assignment.capcodes.size(); ++row) {
        if (assignment.capcodes[row]) {
            text += ", capcode" + std::to_string(row + 1) + " " +
                    std::to_string(*assignment.capcodes[row]);
        }
    }
    return text;
}

} // namespace

const char* StateName(AssignmentState state) {
    return kStateNames[static_cast<std::size_t>(state)];
}

Ledger::Ledger(std::unique_ptr<SqlSession> session, std::string name, Clock clock, bool recording)
    : name_(std::move(name)), clock_(std::move(clock)), recording_(recording),
      session_(std::move(session)) {}

Ledger::~Ledger() {
    {
        std::lock_guard lock(renewalMutex_);
        renewing_ = false;
    }
    renewalWake_.notify_all();
    if (renewal_.joinable()) {
        renewal_.join();
    }
}

template <typename Action> auto Ledger::Locked(const char* what, Action&& action) {
    std::lock_guard lock(mutex_);
    try {
        return action();
    } catch (const SqlError& error) {
        if (error.connectionLost) {
            throw LedgerUnavailable(name_ + ": " + what + ": " + error.what());
        }
        throw LedgerError(name_ + ": " + what + ": " + error.what());
    }
}

bool IsServerLedger(std::string_view where) {
    if (where.starts_with("postgresql://") || where.starts_with("postgres://")) {
        return true;
    }
    // libpq's keyword form: "host=... dbname=...".
    const std::size_t first = where.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    std::size_t end = first;
    while (end < where.size() &&
           (std::isalnum(static_cast<unsigned char>(where[end])) || where[end] == '_')) {
        ++end;
    }
    const std::size_t equals = where.find_first_not_of(" \t", end);
    return end > first && equals != std::string_view::npos && where[equals] == '=';
}

std::unique_ptr<SqlSession> Ledger::OpenServer(const std::string& where) {
    try {
        return OpenServerSession(where);
    } catch (const SqlError& error) {
        throw LedgerError(error.what());
    }
}

std::unique_ptr<Ledger> Ledger::OpenForRecording(const std::string& where, Clock clock,
                                                 StationOptions station) {
    if (IsServerLedger(where)) {
        std::unique_ptr<SqlSession> session = OpenServer(where);
        std::string shown = RedactedConnectionText(where);
        auto ledger =
            std::make_unique<Ledger>(std::move(session), std::move(shown), std::move(clock), true);
        ledger->station_ = std::move(station);
        ledger->Locked("open", [&] {
            ledger->Prepare();
            ledger->JoinAsStation();
        });
        ledger->StartRenewing();
        return ledger;
    }
    std::unique_ptr<JournalFileLock> lock;
    try {
        lock = std::make_unique<JournalFileLock>(where);
    } catch (const std::runtime_error& error) {
        throw LedgerError(where + ": " + error.what());
    }
    std::unique_ptr<SqlSession> session;
    try {
        session = std::make_unique<SqliteSession>(where, SqliteSession::Access::ReadWrite);
        // WAL lets a listing read while a batch records.
        session->ExecuteScript("PRAGMA journal_mode = WAL; PRAGMA foreign_keys = ON");
    } catch (const SqlError& error) {
        throw LedgerError(where + ": " + error.what());
    }
    auto ledger = std::make_unique<Ledger>(std::move(session), where, std::move(clock), true);
    ledger->station_ = std::move(station);
    ledger->lock_ = std::move(lock);
    ledger->Locked("open", [&] {
        ledger->Prepare();
        ledger->HoldLeftClaims();
    });
    return ledger;
}

std::unique_ptr<Ledger> Ledger::OpenShared(std::unique_ptr<SqlSession> session, std::string name,
                                           Clock clock) {
    auto ledger =
        std::make_unique<Ledger>(std::move(session), std::move(name), std::move(clock), true);
    ledger->Locked("open", [&] { ledger->Prepare(); });
    return ledger;
}

std::unique_ptr<Ledger> Ledger::OpenForReading(const std::string& where) {
    if (IsServerLedger(where)) {
        auto ledger = std::make_unique<Ledger>(OpenServer(where), RedactedConnectionText(where),
                                               std::chrono::system_clock::now, false);
        ledger->Locked("open", [&] { ledger->Prepare(); });
        return ledger;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(where, error)) {
        throw LedgerError(where + (std::filesystem::exists(where, error) ? ": not a ledger file"
                                                                         : ": no such ledger"));
    }
    std::unique_ptr<Ledger> ledger;
    for (const auto access : {SqliteSession::Access::ReadOnly, SqliteSession::Access::Immutable}) {
        try {
            ledger = std::make_unique<Ledger>(std::make_unique<SqliteSession>(where, access), where,
                                              std::chrono::system_clock::now, false);
            ledger->Locked("open", [&] { ledger->Prepare(); });
            return ledger;
        } catch (const LedgerError& failure) {
            // A file whose folder this user may not write cannot take the shared-memory file
            // a WAL reader needs: read it as it stands.
            if (access == SqliteSession::Access::Immutable ||
                std::string_view(failure.what()).find("not a ledger") != std::string_view::npos ||
                std::string_view(failure.what()).find("version") != std::string_view::npos) {
                throw;
            }
        } catch (const SqlError& failure) {
            if (access == SqliteSession::Access::Immutable) {
                throw LedgerError(where + ": " + failure.what());
            }
        }
    }
    return ledger;
}

std::string Ledger::Initialise(const std::string& where) {
    if (!IsServerLedger(where)) {
        auto ledger = OpenForRecording(where);
        return "schema version " + std::to_string(kSchemaVersion) + ", id " + ledger->id();
    }
    auto ledger = std::make_unique<Ledger>(OpenServer(where), RedactedConnectionText(where),
                                           std::chrono::system_clock::now, true);
    return ledger->Locked("create", [&] {
        SqlSession& db = *ledger->session_;
        SqlTransaction transaction(db);
        const std::optional<std::int64_t> version = ledger->ServerSchemaVersion();
        std::string done;
        if (!version) {
            db.ExecuteScript(LedgerSchema(db.Dialect()));
            db.Execute(
                "INSERT INTO ledger_info (key, value) VALUES ('id', ?1), ('application', "
                "?2), ('schema_version', ?3)",
                {RandomId(), std::string(kLedgerApplication), std::to_string(kSchemaVersion)});
            done = "created: ";
        } else if (*version > kSchemaVersion) {
            throw LedgerRefusal("the ledger's schema is version " + std::to_string(*version) +
                                "; this pager-cradle knows version " +
                                std::to_string(kSchemaVersion) + ": use a newer pager-cradle");
        } else {
            done = "already there: ";
        }
        const std::string ledgerId =
            db.Query("SELECT value FROM ledger_info WHERE key = 'id'").at(0).Text(0);
        transaction.Commit();
        return done + "schema version " + std::to_string(kSchemaVersion) + ", id " + ledgerId;
    });
}

std::optional<std::int64_t> Ledger::ServerSchemaVersion() {
    SqlSession& db = *session_;
    if (db.Query("SELECT to_regclass('ledger_info') IS NOT NULL").at(0).Integer(0) == 0) {
        if (db.Query("SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                     "current_schema()")
                .at(0)
                .Integer(0) > 0) {
            throw LedgerRefusal("this database holds the tables of another program, not a "
                                "ledger; give the ledger a database of its own");
        }
        return std::nullopt;
    }
    std::map<std::string, std::string> info;
    for (const SqlRow& row : db.Query("SELECT key, value FROM ledger_info")) {
        info[row.Text(0)] = row.Text(1);
    }
    if (info["application"] != kLedgerApplication) {
        throw LedgerRefusal("this database holds a table ledger_info of another program, not a "
                            "ledger");
    }
    return std::stoll(info["schema_version"]);
}

void Ledger::Prepare() {
    SqlSession& db = *session_;
    if (db.Dialect() != "sqlite") {
        const std::optional<std::int64_t> version = ServerSchemaVersion();
        if (!version) {
            throw LedgerRefusal("this database holds no ledger yet: run pager-cradle ledger "
                                "init with it once, as the database's owner");
        }
        if (*version != kSchemaVersion) {
            throw LedgerRefusal(
                "the ledger's schema is version " + std::to_string(*version) +
                "; this pager-cradle knows version " + std::to_string(kSchemaVersion) +
                (*version > kSchemaVersion ? ": use a newer pager-cradle"
                                           : ": run pager-cradle ledger init to upgrade it"));
        }
        id_ = db.Query("SELECT value FROM ledger_info WHERE key = 'id'").at(0).Text(0);
        return;
    }
    const auto integer = [&](const char* sql) { return db.Query(sql).at(0).Integer(0); };
    if (!recording_) {
        if (integer("PRAGMA application_id") != kLedgerApplicationId) {
            throw SqlError("not a ledger of pager batches");
        }
        const std::int64_t version = integer("PRAGMA user_version");
        if (version != kSchemaVersion) {
            throw SqlError("ledger version " + std::to_string(version) + "; this program reads " +
                           std::to_string(kSchemaVersion) +
                           (version < kSchemaVersion ? " (open it once with pager-cradle batch "
                                                       "to bring it up to date)"
                                                     : ""));
        }
        id_ = db.Query("SELECT value FROM ledger_info WHERE key = 'id'").at(0).Text(0);
        return;
    }
    SqlTransaction transaction(db);
    const bool empty = integer("SELECT count(*) FROM sqlite_schema") == 0;
    const std::int64_t application = integer("PRAGMA application_id");
    if (empty && application == 0) {
        db.ExecuteScript(LedgerSchema(db.Dialect()));
        db.ExecuteScript("PRAGMA application_id = " + std::to_string(kLedgerApplicationId) +
                         "; PRAGMA user_version = " + std::to_string(kSchemaVersion));
        db.Execute("INSERT INTO ledger_info (key, value) VALUES ('id', ?1)", {RandomId()});
    } else if (application != kLedgerApplicationId) {
        throw SqlError("not a ledger of pager batches");
    } else {
        const std::int64_t version = integer("PRAGMA user_version");
        if (version == 1) {
            MigrateJournalVersion1(db);
            db.ExecuteScript("PRAGMA user_version = " + std::to_string(kSchemaVersion));
            db.Execute("INSERT INTO ledger_info (key, value) VALUES ('id', ?1)", {RandomId()});
        } else if (version != kSchemaVersion) {
            throw SqlError("ledger version " + std::to_string(version) +
                           " is newer than this program's " + std::to_string(kSchemaVersion) +
                           ": use a newer pager-cradle");
        }
    }
    id_ = db.Query("SELECT value FROM ledger_info WHERE key = 'id'").at(0).Text(0);
    transaction.Commit();
}

void Ledger::HoldLeftClaims() {
    SqlTransaction transaction(*session_);
    heldAtOpen_ = static_cast<std::size_t>(session_->Execute(
        "UPDATE assignments SET state = 'held', reason = ?1 WHERE state = 'claimed'",
        {std::string(kLeftBehindReason)}));
    session_->Execute("UPDATE attempts SET outcome = 'interrupted', reason = ?1 "
                      "WHERE outcome = 'started'",
                      {std::string(kLeftBehindReason)});
    transaction.Commit();
}

std::string Ledger::NowSql() const {
    return session_->Dialect() == "sqlite"
               ? "CAST(strftime('%s', 'now') AS INTEGER) * 1000"
               : "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)";
}

void Ledger::JoinAsStation() {
    SqlSession& db = *session_;
    // One live program per station name: the lock goes with the program's connection.
    const SqlRows locked =
        db.Query("SELECT pg_try_advisory_lock(hashtext(?1))", {id_ + " station " + station_.name});
    if (locked.empty() || locked.front().Integer(0) == 0) {
        throw LedgerRefusal("station \"" + station_.name +
                            "\" is running already (another pager-cradle, on this PC or "
                            "another, uses --station " +
                            station_.name + "); give each station a name of its own");
    }
    SqlTransaction transaction(db);
    // A station started again: whatever its gone run had claimed may be in a pager.
    const std::string reason =
        "station " + station_.name + " was started again; its earlier run ended with this claim";
    heldAtOpen_ = static_cast<std::size_t>(
        db.Execute("UPDATE assignments SET state = 'held', reason = ?1 WHERE state = 'claimed' "
                   "AND station = ?2",
                   {reason, station_.name}));
    db.Execute("UPDATE attempts SET outcome = 'interrupted', reason = ?1 WHERE outcome = "
               "'started' AND station = ?2",
               {reason, station_.name});
    db.Execute("INSERT INTO stations (name, started_ms, heartbeat_ms) VALUES (?1, " + NowSql() +
                   ", " + NowSql() +
                   ") ON CONFLICT (name) DO UPDATE SET started_ms = EXCLUDED.started_ms, "
                   "heartbeat_ms = EXCLUDED.heartbeat_ms",
               {station_.name});
    transaction.Commit();
}

void Ledger::StartRenewing() {
    renewing_ = true;
    renewal_ = std::thread([this] {
        std::unique_lock lock(renewalMutex_);
        for (;;) {
            if (renewalWake_.wait_for(lock, station_.lease / 3, [this] { return !renewing_; })) {
                break;
            }
            try {
                RenewLeases();
            } catch (const std::exception&) {
                // The server does not answer: the work in hand finds out and waits for it.
            }
        }
    });
}

void Ledger::RenewLeases() {
    Locked("renew", [&] {
        SqlTransaction transaction(*session_, false);
        session_->Execute("UPDATE assignments SET lease_ms = " + NowSql() +
                              " + ?1 WHERE state = "
                              "'claimed' AND station = ?2",
                          {LeaseMs(), station_.name});
        session_->Execute("UPDATE stations SET heartbeat_ms = " + NowSql() + " WHERE name = ?1",
                          {station_.name});
        transaction.Commit();
    });
}

std::int64_t Ledger::LeaseMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(station_.lease).count();
}

bool Ledger::Reconnect(std::string* reason) {
    std::lock_guard lock(mutex_);
    if (session_->Dialect() == "sqlite") {
        return true;
    }
    if (!session_->Reconnect(reason)) {
        return false;
    }
    try {
        JoinAsStationAgain();
    } catch (const std::exception& error) {
        if (reason != nullptr) {
            *reason = error.what();
        }
        return false;
    }
    return true;
}

void Ledger::JoinAsStationAgain() {
    // The lock went with the lost connection; without it another program could take the name.
    const SqlRows locked = session_->Query("SELECT pg_try_advisory_lock(hashtext(?1))",
                                           {id_ + " station " + station_.name});
    if (locked.empty() || locked.front().Integer(0) == 0) {
        throw LedgerError("station \"" + station_.name +
                          "\" was started elsewhere while this one had lost the ledger; this "
                          "one stops");
    }
}

std::vector<std::string> Ledger::TakeOverNotes() {
    std::lock_guard lock(mutex_);
    return std::exchange(takeOverNotes_, {});
}

void Ledger::CheckItself() {
    if (lock_ && !lock_->StillNamesTheFile()) {
        throw LedgerError(name_ +
                          ": the ledger file was deleted or replaced while the batch ran; "
                          "nothing more is claimed. Put the ledger back, then run the batch "
                          "again");
    }
    Locked("check", [&] {
        const SqlRows rows = session_->Query("SELECT value FROM ledger_info WHERE key = 'id'");
        if (rows.empty() || rows.front().Text(0) != id_) {
            throw LedgerError(name_ + ": this is no longer the ledger the batch opened; "
                                      "nothing more is claimed");
        }
    });
}

OrderInfo Ledger::OpenOrder(const OrderContent& content) {
    // Stations started together may store the same order at once: the one that comes second
    // joins the order the first stored.
    for (int tries = 0;; ++tries) {
        try {
            return OpenOrderOnce(content);
        } catch (const OrderStoredMeanwhile&) {
            if (tries == 3) {
                throw LedgerError(name_ + ": the order \"" + content.name +
                                  "\" kept changing while it was opened");
            }
        }
    }
}

OrderInfo Ledger::OpenOrderOnce(const OrderContent& content) {
    return Locked("open order", [&] {
        SqlSession& db = *session_;
        SqlTransaction transaction(db);
        OrderInfo info;
        info.name = content.name;
        const std::string templateText = TemplateText(content.batchTemplate);
        const std::string rowsText = RowsText(content.batchTemplate.rows);
        const std::string generation = GenerationText(content.batchTemplate.mode);
        const SqlRows found = db.Query("SELECT id, generation, template, rows, numbering, "
                                       "shared_only FROM orders WHERE name = ?1",
                                       {content.name});
        std::size_t existing = 0;
        if (!found.empty()) {
            const SqlRow& order = found.front();
            info.id = order.Integer(0);
            std::vector<std::string> differences;
            if (order.Text(4) == "journal") {
                throw LedgerRefusal("order \"" + content.name +
                                    "\" was brought over from a journal and cannot be resumed; "
                                    "give this run another name with --order");
            }
            if (order.Text(1) != generation) {
                differences.push_back("generation: " + order.Text(1) + " -> " + generation);
            }
            if (order.Text(3) != rowsText) {
                differences.push_back("capcode rows (i individual, s shared, d off): " +
                                      order.Text(3) + " -> " + rowsText);
            }
            if (order.Text(4) != content.numbering) {
                differences.push_back("numbering: " + order.Text(4) + " -> " + content.numbering);
            }
            if ((order.Integer(5) != 0) != content.sharedOnly) {
                differences.push_back(std::string("--shared-only: ") +
                                      (order.Integer(5) ? "given" : "not given") + " -> " +
                                      (content.sharedOnly ? "given" : "not given"));
            }
            if (order.Text(2) != templateText) {
                for (const std::string& line :
                     SettingsDifferences(nlohmann::ordered_json::parse(order.Text(2)),
                                         nlohmann::ordered_json::parse(templateText))) {
                    differences.push_back("template " + line);
                }
            }
            const SqlRows stored = db.Query("SELECT position, serial, capcodes FROM assignments "
                                            "WHERE order_id = ?1 ORDER BY position",
                                            {info.id});
            existing = stored.size();
            if (content.assignments.size() < existing) {
                differences.push_back("the order has " + std::to_string(existing) +
                                      " assignments; this run gives " +
                                      std::to_string(content.assignments.size()) +
                                      " (an order can grow, never shrink)");
            }
            for (std::size_t i = 0; i < std::min(existing, content.assignments.size()); ++i) {
                const Assignment storedAssignment = AssignmentOf(stored[i], 1, 2);
                if (!(storedAssignment == content.assignments[i]) && differences.size() < 12) {
                    differences.push_back(PlaceOf(content, i) + ": stored as " +
                                          NumbersShown(storedAssignment) + ", now " +
                                          NumbersShown(content.assignments[i]));
                }
            }
            if (!differences.empty()) {
                std::string text = "order \"" + content.name +
                                   "\" is stored with other content; run it as it was, or give "
                                   "this run another name with --order. What differs:";
                for (const std::string& line : differences) {
                    text += "\n  " + line;
                }
                throw LedgerRefusal(text);
            }
        } else {
            info.created = true;
            const SqlRows stored =
                db.Query("INSERT INTO orders (name, generation, template, rows, numbering, "
                         "shared_only, created_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) "
                         "ON CONFLICT (name) DO NOTHING RETURNING id",
                         {content.name, generation, templateText, rowsText, content.numbering,
                          std::int64_t{content.sharedOnly}, Milliseconds(clock_())});
            if (stored.empty()) {
                throw OrderStoredMeanwhile();
            }
            info.id = stored.front().Integer(0);
            ShareCapcodes(info.id, content);
        }
        AddAssignments(info.id, content, existing);
        info.assignments = content.assignments.size();
        info.added = content.assignments.size() - existing;
        transaction.Commit();
        templates_[info.id] = content.batchTemplate;
        names_[info.id] = content.name;
        return info;
    });
}

std::string Ledger::CapcodeOwnerText(std::uint32_t capcode) {
    SqlSession& db = *session_;
    const SqlRows planned =
        db.Query("SELECT o.name, a.position, a.state, a.serial FROM planned_capcodes AS p JOIN "
                 "assignments AS a ON a.id = p.assignment JOIN orders AS o ON o.id = a.order_id "
                 "WHERE p.capcode = ?1",
                 {std::int64_t{capcode}});
    const SqlRows owner = db.Query(
        "SELECT c.assignment, o.name, a.position, a.state, a.serial FROM capcode_owner AS c "
        "LEFT JOIN assignments AS a ON a.id = c.assignment LEFT JOIN orders AS o ON o.id = "
        "a.order_id WHERE c.capcode = ?1",
        {std::int64_t{capcode}});
    const auto describe = [](const SqlRow& row, std::size_t first) {
        std::string text =
            AssignmentName(row.Text(first), row.Integer(first + 1)) + " (" + row.Text(first + 2);
        if (!row.IsNull(first + 3) && !row.Text(first + 3).empty()) {
            text += ", serial " + row.Text(first + 3);
        }
        return text + ")";
    };
    if (!owner.empty() && !owner.front().IsNull(0)) {
        return "the individual capcode of " + describe(owner.front(), 1);
    }
    if (!owner.empty()) {
        std::string orders;
        for (const SqlRow& row :
             db.Query("SELECT o.name FROM order_shared AS s JOIN orders AS o ON o.id = s.order_id "
                      "WHERE s.capcode = ?1 ORDER BY o.id",
                      {std::int64_t{capcode}})) {
            orders += (orders.empty() ? "\"" : ", \"") + row.Text(0) + "\"";
        }
        return "a group capcode shared by every pager of order " + orders;
    }
    if (!planned.empty()) {
        return "already " + describe(planned.front(), 0);
    }
    return "already taken";
}

void Ledger::ShareCapcodes(std::int64_t order, const OrderContent& content) {
    SqlSession& db = *session_;
    for (std::size_t row = 0; row < content.batchTemplate.rows.size(); ++row) {
        if (content.batchTemplate.rows[row] != CapcodeRowKind::Shared) {
            continue;
        }
        const std::int64_t capcode = content.batchTemplate.settings.capcodes[row];
        const bool individual =
            !db.Query("SELECT 1 FROM planned_capcodes WHERE capcode = ?1", {capcode}).empty() ||
            !db.Query("SELECT 1 FROM capcode_owner WHERE capcode = ?1 AND assignment IS NOT NULL",
                      {capcode})
                 .empty();
        if (individual) {
            throw LedgerRefusal("capcode " + std::to_string(capcode) + " (row " +
                                std::to_string(row + 1) +
                                "), which every pager of this order would share, is " +
                                CapcodeOwnerText(static_cast<std::uint32_t>(capcode)));
        }
        db.Execute("INSERT INTO capcode_owner (capcode, assignment) VALUES (?1, NULL) "
                   "ON CONFLICT (capcode) DO NOTHING",
                   {capcode});
        db.Execute("INSERT INTO order_shared (order_id, capcode) VALUES (?1, ?2) "
                   "ON CONFLICT (order_id, capcode) DO NOTHING",
                   {order, capcode});
    }
}

void Ledger::AddAssignments(std::int64_t order, const OrderContent& content, std::size_t from) {
    SqlSession& db = *session_;
    for (std::size_t i = from; i < content.assignments.size(); ++i) {
        const Assignment& assignment = content.assignments[i];
        const SqlRows added =
            db.Query("INSERT INTO assignments (order_id, position, serial, capcodes) VALUES "
                     "(?1, ?2, ?3, ?4) ON CONFLICT (order_id, position) DO NOTHING RETURNING id",
                     {order, static_cast<std::int64_t>(i), SerialValue(assignment),
                      CapcodeFields(assignment)});
        if (added.empty()) {
            throw OrderStoredMeanwhile(); // another station extended it just now
        }
        const std::int64_t assignmentId = added.front().Integer(0);
        // A serial number of its own names one pager in the whole ledger: resolving a held
        // pager goes by it.
        if (assignment.serialNumber && !assignment.serialNumber->empty()) {
            const SqlRows other = db.Query(
                "SELECT o.name, a.position FROM assignments AS a JOIN orders AS o ON o.id = "
                "a.order_id WHERE a.serial = ?1 AND a.id <> ?2 LIMIT 1",
                {Latin1ToUtf8(*assignment.serialNumber), assignmentId});
            if (!other.empty()) {
                throw LedgerRefusal(
                    "serial \"" + Latin1ToUtf8(*assignment.serialNumber) + "\" of " +
                    PlaceOf(content, i) + " is already " +
                    AssignmentName(other.front().Text(0), other.front().Integer(1)) +
                    "; give each pager a serial number of its own");
            }
        }
        for (std::size_t row = 0; row < assignment.capcodes.size(); ++row) {
            if (!assignment.capcodes[row]) {
                continue;
            }
            const std::uint32_t capcode = *assignment.capcodes[row];
            // Planned once in the whole ledger, and never a capcode a pager may already carry
            // for someone else (a group call, or a number a journal recorded).
            // No statement may fail here: on a server it would spoil the transaction.
            const bool planned =
                db.Execute("INSERT INTO planned_capcodes (capcode, assignment) SELECT ?1, ?2 "
                           "WHERE NOT EXISTS (SELECT 1 FROM capcode_owner WHERE capcode = ?1 AND "
                           "(assignment IS NULL OR assignment <> ?2)) ON CONFLICT (capcode) DO "
                           "NOTHING",
                           {std::int64_t{capcode}, assignmentId}) == 1;
            if (!planned) {
                throw LedgerRefusal("capcode " + std::to_string(capcode) + " of " +
                                    PlaceOf(content, i) + " (capcode" + std::to_string(row + 1) +
                                    ") is " + CapcodeOwnerText(capcode) +
                                    "; no capcode goes to two pagers");
            }
        }
    }
}

std::optional<OrderInfo> Ledger::FindOrder(const std::string& name) {
    return Locked("find order", [&]() -> std::optional<OrderInfo> {
        const SqlRows rows = session_->Query(
            "SELECT o.id, (SELECT count(*) FROM assignments WHERE order_id = o.id) FROM orders "
            "AS o WHERE o.name = ?1",
            {name});
        if (rows.empty()) {
            return std::nullopt;
        }
        return OrderInfo{rows.front().Integer(0), name,
                         static_cast<std::size_t>(rows.front().Integer(1)), false, 0};
    });
}

std::vector<OrderInfo> Ledger::Orders() {
    return Locked("list orders", [&] {
        std::vector<OrderInfo> orders;
        for (const SqlRow& row : session_->Query(
                 "SELECT o.id, o.name, (SELECT count(*) FROM assignments WHERE order_id = o.id) "
                 "FROM orders AS o ORDER BY o.id")) {
            orders.push_back(OrderInfo{row.Integer(0), row.Text(1),
                                       static_cast<std::size_t>(row.Integer(2)), false, 0});
        }
        return orders;
    });
}

OrderCounts Ledger::Counts(std::int64_t order) {
    return Locked("count", [&] {
        OrderCounts counts;
        for (const SqlRow& row :
             session_->Query("SELECT " + StateSql("assignments") +
                                 " AS s, count(*) FROM assignments WHERE order_id = ?1 GROUP BY s",
                             {order})) {
            const auto count = static_cast<std::size_t>(row.Integer(1));
            counts.total += count;
            switch (StateNamed(row.Text(0))) {
            case AssignmentState::Free:
                counts.free = count;
                break;
            case AssignmentState::Claimed:
                counts.claimed = count;
                break;
            case AssignmentState::Programmed:
                counts.programmed = count;
                break;
            case AssignmentState::Held:
                counts.held = count;
                break;
            case AssignmentState::Refused:
                counts.refused = count;
                break;
            }
        }
        return counts;
    });
}

const BatchTemplate& Ledger::TemplateOfOrder(std::int64_t order) {
    if (const auto found = templates_.find(order); found != templates_.end()) {
        return found->second;
    }
    const SqlRow row = session_
                           ->Query("SELECT generation, template, rows, name FROM orders "
                                   "WHERE id = ?1",
                                   {order})
                           .at(0);
    names_[order] = row.Text(3);
    return templates_[order] = TemplateOfRow(row.Text(0), row.Text(1), row.Text(2));
}

std::int64_t Ledger::NewAttempt(Claim& claim, const AttemptFacts& facts) {
    const BatchTemplate& batchTemplate = TemplateOfOrder(claim.order);
    PagerSettings settings;
    claim.encodedAt = facts.encodedAt;
    claim.image =
        PagerImageFor(batchTemplate, claim.numbers, facts.generation, facts.encodedAt, &settings);
    std::vector<std::uint32_t> enabled = EnabledCapcodes(settings);
    const std::int64_t attempt =
        session_
            ->Query(
                "INSERT INTO attempts (assignment, order_id, position, token, time_ms, "
                "station, cradle, generation, serial, capcodes, outcome, reason, sha256, "
                "encoded_at, pager_before, attempt_key) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                "?9, ?10, 'started', '', ?11, ?12, ?13, ?14) RETURNING id",
                {claim.assignment, claim.order, static_cast<std::int64_t>(claim.position),
                 claim.token, Milliseconds(clock_()), facts.site.station, facts.site.cradle,
                 std::string(GenerationName(facts.generation)),
                 Latin1ToUtf8(UnalignedSerialNumber(settings.serialNumber)), CapcodesText(enabled),
                 Sha256Hex(std::span<const std::uint8_t>(claim.image)), TimeText(facts.encodedAt),
                 facts.pagerBefore, facts.key.empty() ? SqlValue{} : SqlValue{facts.key}})
            .at(0)
            .Integer(0);
    std::vector<SqlParams> capcodes;
    capcodes.reserve(enabled.size());
    for (const std::uint32_t capcode : enabled) {
        capcodes.push_back({attempt, std::int64_t{capcode}});
    }
    session_->InsertMany("INSERT INTO attempt_capcodes (attempt, capcode) VALUES (?1, ?2)",
                         capcodes);
    session_->Execute("UPDATE assignments SET attempt = ?1 WHERE id = ?2",
                      {attempt, claim.assignment});
    claim.attempt = attempt;
    return attempt;
}

void Ledger::OwnCapcodes(const Claim& claim) {
    SqlSession& db = *session_;
    for (const auto& capcode : claim.numbers.capcodes) {
        if (!capcode) {
            continue;
        }
        const std::int64_t number = *capcode;
        db.Execute("INSERT INTO capcode_owner (capcode, assignment) VALUES (?1, ?2) "
                   "ON CONFLICT (capcode) DO NOTHING",
                   {number, claim.assignment});
        const SqlRows owner =
            db.Query("SELECT assignment FROM capcode_owner WHERE capcode = ?1", {number});
        if (owner.empty() || owner.front().IsNull(0) ||
            owner.front().Integer(0) != claim.assignment) {
            throw LedgerRefusal(
                "capcode " + std::to_string(number) + " of " +
                AssignmentName(names_[claim.order], static_cast<std::int64_t>(claim.position)) +
                " is " + CapcodeOwnerText(static_cast<std::uint32_t>(number)) +
                "; the assignment is refused");
        }
    }
}

std::optional<Claim> Ledger::ClaimNext(std::int64_t order, const AttemptFacts& facts) {
    CheckItself();
    std::string refusal;
    std::int64_t refused = 0;
    std::optional<Claim> claim = Locked("claim", [&]() -> std::optional<Claim> {
        // Asked again after a lost connection: the claim may have been made.
        if (!facts.key.empty()) {
            if (std::optional<Claim> made = ClaimMadeWith(facts.key)) {
                return made;
            }
        }
        SqlSession& db = *session_;
        SqlTransaction transaction(db);
        TemplateOfOrder(order);
        HoldExpiredClaims(order);
        const SqlRows next = db.Query(ClaimableSql(), {order});
        if (next.empty()) {
            transaction.Commit();
            return std::nullopt;
        }
        Claim claim;
        claim.order = order;
        claim.assignment = next.front().Integer(0);
        claim.position = static_cast<std::size_t>(next.front().Integer(1));
        claim.numbers = AssignmentOf(next.front(), 2, 3);
        const SqlRows token =
            db.Query("UPDATE assignments SET state = 'claimed', token = token + 1, reason = '', "
                     "station = ?2, lease_ms = " +
                         LeaseSql() + " WHERE id = ?1 AND state = 'free' RETURNING token",
                     {claim.assignment, facts.site.station});
        if (token.empty()) {
            throw SqlError("assignment " + std::to_string(claim.assignment) +
                           " changed while it was claimed");
        }
        claim.token = token.front().Integer(0);
        try {
            OwnCapcodes(claim);
        } catch (const LedgerRefusal& error) {
            refusal = error.what();
            refused = claim.assignment;
            return std::nullopt;
        }
        NewAttempt(claim, facts);
        transaction.Commit();
        return claim;
    });
    if (!refusal.empty()) {
        Locked("refuse", [&] {
            SqlTransaction transaction(*session_);
            session_->Execute("UPDATE assignments SET state = 'refused', reason = ?1 WHERE id = "
                              "?2 AND state = 'free'",
                              {refusal, refused});
            transaction.Commit();
        });
        throw LedgerRefusal(refusal);
    }
    return claim;
}

Claim Ledger::Reclaim(std::int64_t assignment, const AttemptFacts& facts) {
    CheckItself();
    return Locked("claim again", [&] {
        SqlSession& db = *session_;
        SqlTransaction transaction(db);
        const SqlRows rows =
            db.Query("UPDATE assignments SET state = 'claimed', token = token + 1, reason = '', "
                     "station = ?2, lease_ms = " +
                         LeaseSql() +
                         " WHERE id = ?1 AND state = 'held' RETURNING order_id, position, serial, "
                         "capcodes, token",
                     {assignment, facts.site.station});
        if (rows.empty()) {
            throw LedgerConflict("assignment " + std::to_string(assignment) +
                                 " is no longer held; it is not written again");
        }
        Claim claim;
        claim.rewrite = true;
        claim.assignment = assignment;
        claim.order = rows.front().Integer(0);
        claim.position = static_cast<std::size_t>(rows.front().Integer(1));
        claim.numbers = AssignmentOf(rows.front(), 2, 3);
        claim.token = rows.front().Integer(4);
        OwnCapcodes(claim);
        NewAttempt(claim, facts);
        transaction.Commit();
        return claim;
    });
}

void Ledger::EndAttempt(const Claim& claim, AttemptEnd end, const std::string& reason) {
    if (claim.rewrite && end == AttemptEnd::FailedClean) {
        // An earlier attempt reached this pager: what this one did not send may be there.
        end = AttemptEnd::MayHoldNumbers;
    }
    const char* state = end == AttemptEnd::Programmed    ? "programmed"
                        : end == AttemptEnd::FailedClean ? "free"
                                                         : "held";
    const char* outcome = end == AttemptEnd::Programmed    ? "programmed"
                          : end == AttemptEnd::FailedClean ? "failed"
                                                           : "interrupted";
    Locked("end attempt", [&] {
        SqlSession& db = *session_;
        // The end rides on the next durable commit: a power cut before that turns it back into
        // a claim, which the next opening holds. The claim itself was synced.
        SqlTransaction transaction(db, false);
        // A claim held meanwhile (its lease ran out, its station was restarted) is still this
        // attempt's as long as nothing else happened to it: its token and attempt are the same.
        const std::int64_t changed = db.Execute(
            "UPDATE assignments SET state = ?1, reason = ?2, lease_ms = NULL WHERE id = ?3 AND "
            "token = ?4 AND attempt = ?5 AND state IN ('claimed', 'held')",
            {std::string(state), reason, claim.assignment, claim.token, claim.attempt});
        if (changed == 0) {
            const SqlRows now = db.Query(
                "SELECT state, token, attempt FROM assignments WHERE id = ?1", {claim.assignment});
            // A commit that was tried again after its first try went through changes nothing.
            const bool alreadyDone = !now.empty() && now.front().Text(0) == state &&
                                     now.front().Integer(1) == claim.token &&
                                     now.front().Integer(2) == claim.attempt;
            if (alreadyDone) {
                transaction.Commit();
                return;
            }
            throw LedgerConflict(
                AssignmentName(names_[claim.order], static_cast<std::int64_t>(claim.position)) +
                " is " + (now.empty() ? "gone" : now.front().Text(0)) +
                " now, no longer claimed by this site; its attempt is not recorded as " + outcome);
        }
        db.Execute("UPDATE attempts SET outcome = ?1, reason = ?2 WHERE id = ?3 AND outcome = "
                   "'started'",
                   {std::string(outcome), reason, claim.attempt});
        transaction.Commit();
    });
}

std::vector<HeldAssignment> Ledger::HeldWhere(const std::string& condition,
                                              const SqlParams& params) {
    std::vector<HeldAssignment> held;
    const std::string sql =
        "SELECT a.id, a.order_id, o.name, a.position, a.serial, a.capcodes, t.generation, "
        "t.encoded_at, t.pager_before, t.station, t.cradle, a.reason FROM assignments AS a "
        "JOIN orders AS o ON o.id = a.order_id LEFT JOIN attempts AS t ON t.id = a.attempt "
        "WHERE a.state = 'held'" +
        condition + " ORDER BY a.order_id, a.position";
    for (const SqlRow& row : session_->Query(sql, params)) {
        HeldAssignment entry;
        entry.assignment = row.Integer(0);
        entry.order = row.Integer(1);
        entry.orderName = row.Text(2);
        entry.position = static_cast<std::size_t>(row.Integer(3));
        entry.numbers = AssignmentOf(row, 4, 5);
        entry.batchTemplate = TemplateOfOrder(entry.order);
        entry.generation = GenerationOfText(row.Text(6)).value_or(Generation::V2);
        entry.encodedAt = TimeOf(row.Text(7));
        entry.pagerBefore = row.Text(8);
        entry.station = row.Text(9);
        entry.cradle = row.Text(10);
        entry.reason = row.Text(11);
        held.push_back(std::move(entry));
    }
    return held;
}

std::vector<HeldAssignment> Ledger::Held(std::optional<std::int64_t> order) {
    return Locked("list held", [&] {
        return order ? HeldWhere(" AND a.order_id = ?1", {*order}) : HeldWhere("", {});
    });
}

std::optional<HeldAssignment> Ledger::HeldAssignmentNumbered(std::int64_t assignment) {
    return Locked("find held", [&]() -> std::optional<HeldAssignment> {
        std::vector<HeldAssignment> held = HeldWhere(" AND a.id = ?1", {assignment});
        if (held.empty()) {
            return std::nullopt;
        }
        return std::move(held.front());
    });
}

std::vector<CarriedAssignment>
Ledger::AssignmentsCarrying(const std::vector<std::uint32_t>& capcodes,
                            const std::string& serialNumber) {
    return Locked("look up numbers", [&] {
        std::vector<CarriedAssignment> found;
        const auto add = [&](const SqlRows& rows) {
            for (const SqlRow& row : rows) {
                const std::int64_t id = row.Integer(0);
                if (std::none_of(found.begin(), found.end(), [&](const CarriedAssignment& known) {
                        return known.assignment == id;
                    })) {
                    found.push_back({id, row.Integer(1), row.Text(2),
                                     static_cast<std::size_t>(row.Integer(3)),
                                     StateNamed(row.Text(4))});
                }
            }
        };
        constexpr const char* kColumns =
            "SELECT a.id, a.order_id, o.name, a.position, a.state FROM assignments AS a JOIN "
            "orders AS o ON o.id = a.order_id ";
        for (const std::uint32_t capcode : capcodes) {
            add(session_->Query(std::string(kColumns) +
                                    "JOIN planned_capcodes AS p ON p.assignment = a.id "
                                    "WHERE p.capcode = ?1",
                                {std::int64_t{capcode}}));
        }
        if (!serialNumber.empty()) {
            add(session_->Query(std::string(kColumns) + "WHERE a.serial = ?1 AND a.state IN "
                                                        "('held', 'programmed', 'claimed')",
                                {serialNumber}));
        }
        return found;
    });
}

void Ledger::Settle(std::int64_t assignment, const char* from, const char* to, const char* outcome,
                    const SiteName& site, const std::string& reason) {
    Locked("settle", [&] {
        SqlSession& db = *session_;
        SqlTransaction transaction(db);
        const SqlRows rows =
            db.Query("UPDATE assignments SET state = ?1, reason = ?2 WHERE id = ?3 AND state = ?4 "
                     "RETURNING order_id, position, token, attempt",
                     {std::string(to), reason, assignment, std::string(from)});
        if (rows.empty()) {
            throw LedgerConflict("assignment " + std::to_string(assignment) + " is not " + from +
                                 " any more; nothing changed");
        }
        // The settlement is an attempt row of its own, copying what the last attempt sent; it
        // becomes the assignment's last attempt, so a late end of the one before changes
        // nothing.
        const SqlRows settled = db.Query(
            "INSERT INTO attempts (assignment, order_id, position, token, time_ms, station, "
            "cradle, generation, serial, capcodes, outcome, reason, sha256, encoded_at, "
            "pager_before) SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, generation, serial, capcodes, ?8, "
            "?9, sha256, encoded_at, pager_before FROM attempts WHERE id = ?10 RETURNING id",
            {assignment, rows.front().Integer(0), rows.front().Integer(1), rows.front().Integer(2),
             Milliseconds(clock_()), site.station, site.cradle, std::string(outcome), reason,
             rows.front().Integer(3)});
        if (!settled.empty()) {
            db.Execute("UPDATE assignments SET attempt = ?1 WHERE id = ?2",
                       {settled.front().Integer(0), assignment});
        }
        transaction.Commit();
    });
}

void Ledger::ResolveProgrammed(std::int64_t assignment, const SiteName& site,
                               const std::string& reason) {
    Settle(assignment, "held", "programmed", "resolved", site, reason);
}

void Ledger::ResolveFree(std::int64_t assignment, const SiteName& site, const std::string& reason) {
    Settle(assignment, "held", "free", "resolved", site, reason);
}

void Ledger::Release(std::int64_t order, std::size_t position, const SiteName& site,
                     const std::string& reason) {
    const std::optional<std::int64_t> assignment =
        Locked("find", [&]() -> std::optional<std::int64_t> {
            const SqlRows rows =
                session_->Query("SELECT id FROM assignments WHERE order_id = ?1 AND position = ?2",
                                {order, static_cast<std::int64_t>(position)});
            if (rows.empty()) {
                return std::nullopt;
            }
            return rows.front().Integer(0);
        });
    if (!assignment) {
        throw LedgerRefusal("the order has no assignment " + std::to_string(position + 1));
    }
    try {
        Settle(*assignment, "held", "free", "released", site, reason);
    } catch (const LedgerConflict&) {
        throw LedgerRefusal("assignment " + std::to_string(position + 1) +
                            " is not held; only a held assignment can be released");
    }
}

std::vector<LedgerEntry> Ledger::Entries(const LedgerFilter& filter) {
    return Locked("list", [&] {
        std::string sql =
            "SELECT t.id, t.order_id, o.name, t.position, t.time_ms, t.station, t.cradle, "
            "t.generation, t.serial, t.capcodes, t.outcome, t.reason, t.sha256, " +
            StateSql("a") +
            " FROM "
            "attempts AS t JOIN orders AS o ON o.id = t.order_id JOIN assignments AS a ON a.id "
            "= t.assignment WHERE 1 = 1";
        SqlParams params;
        if (filter.order) {
            params.push_back(*filter.order);
            sql += " AND o.name = ?" + std::to_string(params.size());
        }
        if (filter.serialNumber) {
            params.push_back(Latin1ToUtf8(UnalignedSerialNumber(
                Utf8ToLatin1(*filter.serialNumber).value_or(*filter.serialNumber))));
            sql += " AND t.serial = ?" + std::to_string(params.size());
        }
        if (filter.capcode) {
            params.push_back(std::int64_t{*filter.capcode});
            sql += " AND t.id IN (SELECT attempt FROM attempt_capcodes WHERE capcode = ?" +
                   std::to_string(params.size()) + ")";
        }
        std::vector<LedgerEntry> entries;
        for (const SqlRow& row : session_->Query(sql + " ORDER BY t.id", params)) {
            LedgerEntry entry;
            entry.attempt = row.Integer(0);
            entry.order = row.Integer(1);
            entry.orderName = row.Text(2);
            entry.position = static_cast<std::size_t>(row.Integer(3));
            entry.time =
                std::chrono::system_clock::time_point(std::chrono::milliseconds(row.Integer(4)));
            entry.station = row.Text(5);
            entry.cradle = row.Text(6);
            entry.generation = row.Text(7);
            entry.serialNumber = row.Text(8);
            entry.capcodes = CapcodesOfText(row.Text(9));
            entry.outcome = row.Text(10);
            entry.reason = row.Text(11);
            entry.imageSha256 = row.Text(12);
            entry.state = StateNamed(row.Text(13));
            entries.push_back(std::move(entry));
        }
        return entries;
    });
}

std::string Ledger::StateSql(const char* table) const {
    std::string column = std::string(table) + ".state";
    if (session_->Dialect() == "sqlite") {
        return column;
    }
    return "CASE WHEN " + column + " = 'claimed' AND " + table + ".lease_ms < " + NowSql() +
           " THEN 'held' ELSE " + column + " END";
}

std::string Ledger::LeaseSql() const {
    return session_->Dialect() == "sqlite" ? std::string("NULL")
                                           : NowSql() + " + " + std::to_string(LeaseMs());
}

void Ledger::HoldExpiredClaims(std::int64_t order) {
    if (session_->Dialect() == "sqlite") {
        return; // one program at a time: its claims are held when the next one opens
    }
    std::map<std::string, int> stations;
    for (const SqlRow& row : session_->Query(
             "UPDATE assignments SET state = 'held', reason = 'the lease of station ' || station "
             "|| ' ran out before it ended the attempt' WHERE order_id = ?1 AND state = 'claimed' "
             "AND lease_ms < " +
                 NowSql() + " RETURNING station",
             {order})) {
        ++stations[row.Text(0)];
    }
    for (const auto& [station, count] : stations) {
        takeOverNotes_.push_back("station " + station +
                                 " stopped renewing its claims: " + std::to_string(count) +
                                 (count == 1 ? " is" : " are") + " held now");
    }
}

std::optional<Claim> Ledger::ClaimMadeWith(const std::string& key) {
    const SqlRows rows = session_->Query(
        "SELECT t.id, t.assignment, t.order_id, t.position, t.token, t.encoded_at, t.generation, "
        "a.serial, a.capcodes FROM attempts AS t JOIN assignments AS a ON a.id = t.assignment "
        "WHERE t.attempt_key = ?1 AND a.state = 'claimed' AND a.attempt = t.id",
        {key});
    if (rows.empty()) {
        return std::nullopt;
    }
    const SqlRow& row = rows.front();
    Claim claim;
    claim.attempt = row.Integer(0);
    claim.assignment = row.Integer(1);
    claim.order = row.Integer(2);
    claim.position = static_cast<std::size_t>(row.Integer(3));
    claim.token = row.Integer(4);
    claim.encodedAt = TimeOf(row.Text(5));
    claim.numbers = AssignmentOf(row, 7, 8);
    claim.image =
        PagerImageFor(TemplateOfOrder(claim.order), claim.numbers,
                      GenerationOfText(row.Text(6)).value_or(Generation::V2), claim.encodedAt);
    // Whether an earlier attempt reached a pager is not known here: a failure keeps it held.
    claim.rewrite = true;
    return claim;
}

std::vector<std::pair<std::string, double>> Ledger::StationRates(std::int64_t order) {
    return Locked("rates", [&] {
        std::vector<std::pair<std::string, double>> rates;
        for (const SqlRow& row : session_->Query(
                 "SELECT station, count(*), min(time_ms), max(time_ms) FROM attempts WHERE "
                 "order_id = ?1 AND outcome = 'programmed' GROUP BY station ORDER BY station",
                 {order})) {
            const double minutes = static_cast<double>(row.Integer(3) - row.Integer(2)) / 60000.0;
            const auto count = static_cast<double>(row.Integer(1));
            rates.emplace_back(row.Text(0), minutes > 0 ? (count - 1) / minutes : 0.0);
        }
        return rates;
    });
}

std::string Ledger::ClaimableSql() const {
    // Lowest position first; on a server, rows another station is claiming are skipped.
    return session_->Dialect() == "sqlite"
               ? "SELECT id, position, serial, capcodes FROM assignments WHERE order_id = ?1 AND "
                 "state = 'free' ORDER BY position LIMIT 1"
               : "SELECT id, position, serial, capcodes FROM assignments WHERE order_id = ?1 AND "
                 "state = 'free' ORDER BY position LIMIT 1 FOR UPDATE SKIP LOCKED";
}
