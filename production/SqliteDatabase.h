#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A failed SQLite call, with SQLite's own message.
struct SqliteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One SQLite connection, closed with its owner. Statements prepared on it must go first.
class SqliteDatabase {
public:
    // Immutable: read-only, and the file is taken not to change while open, so nothing is
    // locked and no file is made beside it.
    enum class Access { ReadWrite, ReadOnly, Immutable };

    // Opens (ReadWrite: creates when missing) the database file.
    SqliteDatabase(const std::string& path, Access access);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Runs one or more statements that return no rows.
    void Execute(const char* sql);
    // The single integer a statement such as a pragma returns.
    std::int64_t QueryInteger(const char* sql);
    std::int64_t LastInsertRowId() const;
    int ChangedRows() const;

    sqlite3* Handle() const { return db_; }
    // Throws SqliteError with SQLite's message when `result` is not SQLITE_OK.
    void Check(int result) const;

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement. Bind its parameters (1-based), Step through its rows, read each row's
// columns (0-based); Reset makes it ready for the next use with new parameters.
class SqliteStatement {
public:
    SqliteStatement(SqliteDatabase& database, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& Bind(int index, std::int64_t value);
    SqliteStatement& Bind(int index, std::string_view text);
    // True while a row is there to read; false once the statement is done.
    bool Step();
    // Steps a statement that returns no rows, then resets it.
    void Run();
    void Reset();

    std::int64_t Integer(int column) const;
    std::string Text(int column) const;

private:
    SqliteDatabase& database_;
    sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE at construction; rolled back when destroyed without Commit.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& database);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    void Commit();

private:
    SqliteDatabase& database_;
    bool open_ = true;
};
