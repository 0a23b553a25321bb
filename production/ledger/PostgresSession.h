#pragma once

#include "production/ledger/ConnectionText.h"
#include "production/ledger/SqlSession.h"

#include <map>
#include <memory>
#include <string>

namespace pqxx {
class result;
} // namespace pqxx

// The ledger's statements on a PostgreSQL server, so that several stations share one order.
//
// Statements run on one connection as written, between explicit BEGIN and COMMIT statements;
// each distinct statement is prepared once per connection. Parameters ?N become $N: an integer
// is sent as a bigint, a text as text, a NULL untyped (the server takes the type from where it
// stands; a NULL in a SELECT list that feeds an INSERT needs a CAST in the statement).
//
// Unlike SQLite, a failed statement inside a transaction spoils the whole transaction: the
// later statements fail too, and Commit rolls back and says so.
//
// A lost connection stays lost: every call fails with `connectionLost` until Reconnect(), so
// nothing runs outside the transaction it was written for.
class PostgresSession final : public SqlSession {
public:
    // `connection` is handed to libpq as it stands: a postgresql:// URI or "key=value" words;
    // libpq's PG* environment variables, service file and password file fill in the rest.
    // Throws SqlError (with `connectionLost`) when the server cannot be reached or refuses.
    explicit PostgresSession(const std::string& connection);
    ~PostgresSession() override;
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;

    SqlRows Query(std::string_view sql, const SqlParams& params) override;
    std::int64_t Execute(std::string_view sql, const SqlParams& params) override;
    void ExecuteScript(std::string_view sql) override;
    // One multi-row INSERT for up to a thousand rows; in a transaction of its own when none is
    // open, so the rows go in all together or not at all.
    void InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) override;
    void Begin(bool durable) override;
    void Commit() override;
    void Rollback() override;
    std::string_view Dialect() const override { return "postgresql"; }

    // Opens the connection again after it was lost (or at any time; an open transaction is
    // gone). On failure returns false and, when `reason` is given, says why.
    bool Reconnect(std::string* reason) override;
    // False once the connection is known to be lost.
    bool Connected() const { return link_ != nullptr; }
    // The connection text without its password, for messages.
    const std::string& Where() const { return where_; }

private:
    void Connect();
    void Disconnect();
    // Runs `action` on the connection, turning what libpq and libpqxx throw into SqlError.
    template <typename Action> auto Run(std::string_view what, Action&& action);
    // Runs `sql` as a prepared statement.
    pqxx::result Prepared(std::string_view sql, const SqlParams& params);
    // The name of the prepared statement for `sql` with parameters of these kinds.
    const std::string& StatementFor(std::string_view sql, const std::string& kinds);

    std::string text_;
    std::string where_;
    // The libpqxx connection; none once it is lost.
    struct Link;
    std::unique_ptr<Link> link_;
    // Keyed by the statement and the kinds of its parameters (an integer, a text, a NULL).
    std::map<std::string, std::string, std::less<>> prepared_;
    bool inTransaction_ = false;
    bool transactionFailed_ = false;
};

// `sql` with its ?N parameters written as PostgreSQL's $N, outside string literals, quoted
// names and comments. `kinds[N-1]` says how to type parameter N: 'i' a bigint, 't' a text,
// anything else (or beyond the end) untyped.
std::string PostgresParameters(std::string_view sql, std::string_view kinds = {});
