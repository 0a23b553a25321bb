#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// What the ledger needs of a database, the same for the embedded file and for a server:
// statements with numbered parameters (?1, ?2, ...), small result sets, transactions.

using SqlValue = std::variant<std::monostate, std::int64_t, std::string>;
using SqlParams = std::vector<SqlValue>;

struct SqlRow {
    std::vector<SqlValue> values;

    bool IsNull(std::size_t column) const {
        return std::holds_alternative<std::monostate>(values.at(column));
    }
    std::int64_t Integer(std::size_t column) const;
    std::string Text(std::size_t column) const;
};
using SqlRows = std::vector<SqlRow>;

// A failed statement. `constraint` marks a statement the database refused by a rule of the
// schema (a UNIQUE key, a CHECK); `connectionLost` one that may not have reached it.
struct SqlError : std::runtime_error {
    explicit SqlError(const std::string& what, bool constraint = false, bool connectionLost = false)
        : std::runtime_error(what), constraint(constraint), connectionLost(connectionLost) {}
    bool constraint;
    bool connectionLost;
};

class SqlSession {
public:
    virtual ~SqlSession() = default;

    virtual SqlRows Query(std::string_view sql, const SqlParams& params = {}) = 0;
    // Returns how many rows the statement changed.
    virtual std::int64_t Execute(std::string_view sql, const SqlParams& params = {}) = 0;
    // Several statements without parameters, e.g. a schema.
    virtual void ExecuteScript(std::string_view sql) = 0;
    // Many rows into one table at once: `sql` is the INSERT for one row.
    virtual void InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) = 0;

    // A transaction that writes. `durable`: the commit is on the disk before it returns;
    // otherwise it may reach the disk with the next durable commit.
    virtual void Begin(bool durable) = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;

    // "sqlite" or "postgresql": where the schema words things differently.
    virtual std::string_view Dialect() const = 0;

    // After a connectionLost error: reaches the database again. False, and why, while it
    // cannot. A file is always there.
    virtual bool Reconnect(std::string* reason) = 0;
};

// Begin at construction; rolled back when left without Commit (an exception, a refusal).
class SqlTransaction {
public:
    explicit SqlTransaction(SqlSession& session, bool durable = true) : session_(session) {
        session_.Begin(durable);
    }
    ~SqlTransaction() {
        if (open_) {
            try {
                session_.Rollback();
            } catch (const SqlError&) {
                // The connection is gone; so is the transaction.
            }
        }
    }
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    void Commit() {
        open_ = false;
        session_.Commit();
    }

private:
    SqlSession& session_;
    bool open_ = true;
};
