#pragma once

#include "production/ledger/SqlSession.h"

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The ledger's statements on an SQLite file: WAL, so readers never wait for the writer; a
// durable commit is synced (synchronous FULL). Statements are prepared once and kept.
class SqliteSession final : public SqlSession {
public:
    // ReadWrite creates the file when missing. ReadOnly reads a file other programs may be
    // writing. Immutable reads a file as it stands, where this user may not write beside it;
    // neither read-only open leaves anything beside the file.
    enum class Access { ReadWrite, ReadOnly, Immutable };
    SqliteSession(const std::string& path, Access access);
    ~SqliteSession() override;
    SqliteSession(const SqliteSession&) = delete;
    SqliteSession& operator=(const SqliteSession&) = delete;

    SqlRows Query(std::string_view sql, const SqlParams& params) override;
    std::int64_t Execute(std::string_view sql, const SqlParams& params) override;
    void ExecuteScript(std::string_view sql) override;
    void InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) override;
    void Begin(bool durable) override;
    void Commit() override;
    void Rollback() override;
    std::string_view Dialect() const override { return "sqlite"; }
    bool Reconnect(std::string*) override { return true; }

private:
    sqlite3_stmt* Prepared(std::string_view sql);
    void Bind(sqlite3_stmt* statement, const SqlParams& params);
    [[noreturn]] void Fail(int result);

    sqlite3* db_ = nullptr;
    std::map<std::string, sqlite3_stmt*, std::less<>> prepared_;
};
