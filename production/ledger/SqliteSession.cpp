#include "production/ledger/SqliteSession.h"

#include <sqlite3.h>

#include <cstdio>

namespace {

// A file name as a URI path: characters that mean something in a URI are escaped.
std::string UriPath(const std::string& path) {
    std::string text;
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

SqliteSession::SqliteSession(const std::string& path, Access access) {
    // The ledger serialises every use of the connection. A read-only open of a WAL file that
    // this user may not write reads it as it is, without creating -wal or -shm files.
    const bool readOnly = access != Access::ReadWrite;
    const std::string uri = "file:" + UriPath(path) +
                            (access == Access::ReadWrite  ? "?mode=rwc"
                             : access == Access::ReadOnly ? "?mode=ro"
                                                          : "?mode=ro&immutable=1");
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    const int result = sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqlError("cannot open: " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 5000);
}

SqliteSession::~SqliteSession() {
    for (auto& [sql, statement] : prepared_) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

void SqliteSession::Fail(int result) {
    const int primary = result & 0xFF;
    throw SqlError(sqlite3_errmsg(db_), primary == SQLITE_CONSTRAINT,
                   primary == SQLITE_IOERR || primary == SQLITE_CORRUPT ||
                       primary == SQLITE_NOTADB);
}

sqlite3_stmt* SqliteSession::Prepared(std::string_view sql) {
    if (const auto found = prepared_.find(sql); found != prepared_.end()) {
        sqlite3_reset(found->second);
        sqlite3_clear_bindings(found->second);
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    const int result =
        sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    if (result != SQLITE_OK) {
        Fail(result);
    }
    prepared_.emplace(std::string(sql), statement);
    return statement;
}

void SqliteSession::Bind(sqlite3_stmt* statement, const SqlParams& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        int result = SQLITE_OK;
        if (const auto* integer = std::get_if<std::int64_t>(&params[i])) {
            result = sqlite3_bind_int64(statement, index, *integer);
        } else if (const auto* text = std::get_if<std::string>(&params[i])) {
            result = sqlite3_bind_text(statement, index, text->c_str(),
                                       static_cast<int>(text->size()), SQLITE_TRANSIENT);
        } else {
            result = sqlite3_bind_null(statement, index);
        }
        if (result != SQLITE_OK) {
            Fail(result);
        }
    }
}

SqlRows SqliteSession::Query(std::string_view sql, const SqlParams& params) {
    sqlite3_stmt* statement = Prepared(sql);
    Bind(statement, params);
    SqlRows rows;
    for (;;) {
        const int result = sqlite3_step(statement);
        if (result == SQLITE_DONE) {
            break;
        }
        if (result != SQLITE_ROW) {
            sqlite3_reset(statement);
            Fail(result);
        }
        SqlRow row;
        const int columns = sqlite3_column_count(statement);
        row.values.reserve(static_cast<std::size_t>(columns));
        for (int column = 0; column < columns; ++column) {
            switch (sqlite3_column_type(statement, column)) {
            case SQLITE_NULL:
                row.values.emplace_back(std::monostate{});
                break;
            case SQLITE_INTEGER:
                row.values.emplace_back(sqlite3_column_int64(statement, column));
                break;
            default: {
                const auto* text = sqlite3_column_text(statement, column);
                const int size = sqlite3_column_bytes(statement, column);
                row.values.emplace_back(std::string(reinterpret_cast<const char*>(text),
                                                    static_cast<std::size_t>(size)));
            }
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_reset(statement);
    return rows;
}

std::int64_t SqliteSession::Execute(std::string_view sql, const SqlParams& params) {
    Query(sql, params);
    return sqlite3_changes(db_);
}

void SqliteSession::ExecuteScript(std::string_view sql) {
    const std::string text(sql);
    const int result = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) {
        Fail(result);
    }
}

void SqliteSession::InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) {
    for (const SqlParams& row : rows) {
        Execute(sql, row);
    }
}

void SqliteSession::Begin(bool durable) {
    // The level of syncing applies to the commits that follow on this connection.
    ExecuteScript(durable ? "PRAGMA synchronous = FULL; BEGIN IMMEDIATE"
                          : "PRAGMA synchronous = NORMAL; BEGIN IMMEDIATE");
}

void SqliteSession::Commit() {
    ExecuteScript("COMMIT");
}

void SqliteSession::Rollback() {
    ExecuteScript("ROLLBACK");
}
