#include "production/SqliteDatabase.h"

#include <sqlite3.h>

namespace {

// The path as a "file:" URI asking for an immutable open.
std::string ImmutableUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

} // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, Access access) {
    // The caller serialises every use of the connection.
    int flags = SQLITE_OPEN_NOMUTEX;
    std::string name = path;
    switch (access) {
    case Access::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Access::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Access::Immutable:
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        name = ImmutableUri(path);
        break;
    }
    const int result = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError("cannot open: " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close(db_);
}

void SqliteDatabase::Execute(const char* sql) {
    Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

std::int64_t SqliteDatabase::QueryInteger(const char* sql) {
    SqliteStatement statement(*this, sql);
    if (!statement.Step()) {
        throw SqliteError("no result");
    }
    return statement.Integer(0);
}

std::int64_t SqliteDatabase::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_);
}

int SqliteDatabase::ChangedRows() const {
    return sqlite3_changes(db_);
}

void SqliteDatabase::Check(int result) const {
    if (result != SQLITE_OK) {
        throw SqliteError(sqlite3_errmsg(db_));
    }
}

SqliteStatement::SqliteStatement(SqliteDatabase& database, const char* sql) : database_(database) {
    database_.Check(sqlite3_prepare_v2(database_.Handle(), sql, -1, &statement_, nullptr));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
    database_.Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
    // An empty view may point nowhere, which SQLite would store as NULL rather than "".
    database_.Check(sqlite3_bind_text(statement_, index, text.empty() ? "" : text.data(),
                                      static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

bool SqliteStatement::Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) {
        return true;
    }
    if (result == SQLITE_DONE) {
        return false;
    }
    const std::string message = sqlite3_errmsg(database_.Handle());
    sqlite3_reset(statement_);
    throw SqliteError(message);
}

void SqliteStatement::Run() {
    Step();
    Reset();
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::Integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& database) : database_(database) {
    database_.Execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (open_) {
        sqlite3_exec(database_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void SqliteTransaction::Commit() {
    database_.Execute("COMMIT");
    open_ = false;
}
