#include "production/ledger/PostgresSession.h"

#include "production/ledger/ConnectionText.h"

#include <pqxx/pqxx>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// One past the string literal, quoted name, comment or dollar-quoted text that starts at `at`;
// `at` itself where plain SQL starts there.
std::size_t SkipQuoted(std::string_view sql, std::size_t at) {
    const auto next = [&](std::size_t i) { return i < sql.size() ? sql[i] : '\0'; };
    const char c = sql[at];
    if (c == '\'' || c == '"') {
        // Only an E'...' literal takes backslash escapes (standard_conforming_strings is on).
        const bool escapes = c == '\'' && at > 0 && (sql[at - 1] == 'E' || sql[at - 1] == 'e') &&
                             (at < 2 || !IsWordChar(sql[at - 2]));
        for (std::size_t i = at + 1; i < sql.size(); ++i) {
            if (escapes && sql[i] == '\\') {
                ++i;
            } else if (sql[i] == c) {
                if (next(i + 1) != c) {
                    return i + 1;
                }
                ++i;
            }
        }
        return sql.size();
    }
    if (c == '-' && next(at + 1) == '-') {
        const std::size_t end = sql.find('\n', at);
        return end == std::string_view::npos ? sql.size() : end + 1;
    }
    if (c == '/' && next(at + 1) == '*') {
        // Block comments nest in PostgreSQL.
        int depth = 0;
        for (std::size_t i = at; i + 1 < sql.size(); ++i) {
            if (sql[i] == '/' && sql[i + 1] == '*') {
                ++depth;
                ++i;
            } else if (sql[i] == '*' && sql[i + 1] == '/') {
                ++i;
                if (--depth == 0) {
                    return i + 1;
                }
            }
        }
        return sql.size();
    }
    if (c == '$' && (at == 0 || !IsWordChar(sql[at - 1])) &&
        !std::isdigit(static_cast<unsigned char>(next(at + 1)))) {
        // $tag$ ... $tag$
        std::size_t end = at + 1;
        while (end < sql.size() && IsWordChar(sql[end])) {
            ++end;
        }
        if (next(end) != '$') {
            return at;
        }
        const std::string_view tag = sql.substr(at, end + 1 - at);
        const std::size_t close = sql.find(tag, end + 1);
        return close == std::string_view::npos ? sql.size() : close + tag.size();
    }
    return at;
}

// `sql` with each ?N outside literals and comments replaced by `parameter(N)`.
template <typename Write> std::string RewriteParameters(std::string_view sql, Write&& parameter) {
    std::string text;
    text.reserve(sql.size() + 16);
    for (std::size_t i = 0; i < sql.size();) {
        if (const std::size_t end = SkipQuoted(sql, i); end != i) {
            text.append(sql.substr(i, end - i));
            i = end;
            continue;
        }
        if (sql[i] == '?' && i + 1 < sql.size() &&
            std::isdigit(static_cast<unsigned char>(sql[i + 1]))) {
            std::size_t number = 0;
            ++i;
            while (i < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i]))) {
                number = number * 10 + static_cast<std::size_t>(sql[i] - '0');
                ++i;
            }
            text += parameter(number);
            continue;
        }
        text += sql[i++];
    }
    return text;
}

// The highest ?N in `sql` (0 when none).
std::size_t HighestParameter(std::string_view sql) {
    std::size_t highest = 0;
    RewriteParameters(sql, [&](std::size_t number) {
        highest = std::max(highest, number);
        return std::string();
    });
    return highest;
}

std::string TypedParameter(std::size_t number, char kind) {
    return "$" + std::to_string(number) + (kind == 'i' ? "::bigint" : kind == 't' ? "::text" : "");
}

// 'i' an integer, 't' a text, 'n' a NULL.
char KindOf(const SqlValue& value) {
    return std::holds_alternative<std::int64_t>(value)  ? 'i'
           : std::holds_alternative<std::string>(value) ? 't'
                                                        : 'n';
}

// The parameters of `rows` as libpq takes them: text, or a null pointer for NULL. `digits`
// holds the integers' text.
std::vector<const char*> ValuesOf(const std::vector<const SqlParams*>& rows,
                                  std::vector<std::string>& digits) {
    for (const SqlParams* params : rows) {
        for (const SqlValue& value : *params) {
            if (const auto* integer = std::get_if<std::int64_t>(&value)) {
                digits.push_back(std::to_string(*integer));
            }
        }
    }
    std::vector<const char*> values;
    std::size_t digit = 0;
    for (const SqlParams* params : rows) {
        for (const SqlValue& value : *params) {
            if (std::holds_alternative<std::int64_t>(value)) {
                values.push_back(digits[digit++].c_str());
            } else if (const auto* text = std::get_if<std::string>(&value)) {
                values.push_back(text->c_str());
            } else {
                values.push_back(nullptr);
            }
        }
    }
    return values;
}

SqlRows RowsOf(const pqxx::result& result) {
    enum class Kind { Integer, Boolean, Text };
    std::vector<Kind> kinds;
    for (pqxx::row_size_type column = 0; column < result.columns(); ++column) {
        switch (result.column_type(column)) {
        case 20: // int8
        case 21: // int2
        case 23: // int4
            kinds.push_back(Kind::Integer);
            break;
        case 16: // bool: 1 or 0, as SQLite has it
            kinds.push_back(Kind::Boolean);
            break;
        default:
            kinds.push_back(Kind::Text);
        }
    }
    SqlRows rows;
    rows.reserve(result.size());
    for (const pqxx::row& source : result) {
        SqlRow row;
        row.values.reserve(kinds.size());
        for (pqxx::row_size_type column = 0; column < kinds.size(); ++column) {
            const pqxx::field field = source[column];
            if (field.is_null()) {
                row.values.emplace_back(std::monostate{});
            } else if (kinds[column] == Kind::Integer) {
                row.values.emplace_back(std::int64_t{std::strtoll(field.c_str(), nullptr, 10)});
            } else if (kinds[column] == Kind::Boolean) {
                row.values.emplace_back(std::int64_t{field.c_str()[0] == 't' ? 1 : 0});
            } else {
                row.values.emplace_back(std::string(field.c_str(), field.size()));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// Where the (...) of one row after VALUES is in an INSERT: [first, last] of its parentheses.
std::optional<std::pair<std::size_t, std::size_t>> ValuesTuple(std::string_view sql) {
    std::size_t values = std::string_view::npos;
    for (std::size_t i = 0; i < sql.size();) {
        if (const std::size_t end = SkipQuoted(sql, i); end != i) {
            i = end;
            continue;
        }
        if ((i == 0 || !IsWordChar(sql[i - 1])) && i + 6 <= sql.size() &&
            EqualsNoCase(sql.substr(i, 6), "values") &&
            (i + 6 == sql.size() || !IsWordChar(sql[i + 6]))) {
            values = i + 6;
            break;
        }
        ++i;
    }
    if (values == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t open = values;
    while (open < sql.size() && IsSpace(sql[open])) {
        ++open;
    }
    if (open == sql.size() || sql[open] != '(') {
        return std::nullopt;
    }
    int depth = 0;
    for (std::size_t i = open; i < sql.size();) {
        if (const std::size_t end = SkipQuoted(sql, i); end != i) {
            i = end;
            continue;
        }
        if (sql[i] == '(') {
            ++depth;
        } else if (sql[i] == ')' && --depth == 0) {
            return std::pair{open, i};
        }
        ++i;
    }
    return std::nullopt;
}

// libpq's words for a failure, without its "FATAL:  " or "ERROR:  " and its hints.
std::string FirstLine(std::string_view message) {
    std::string_view line = message.substr(0, message.find('\n'));
    for (const std::string_view severity : {"FATAL:  ", "ERROR:  "}) {
        if (line.substr(0, severity.size()) == severity) {
            line.remove_prefix(severity.size());
        }
    }
    while (!line.empty() && IsSpace(line.back())) {
        line.remove_suffix(1);
    }
    return std::string(line);
}

// The name between the quotes after `prefix` in `message`, when `prefix` is there.
std::optional<std::string> QuotedAfter(std::string_view message, std::string_view prefix) {
    const std::size_t at = message.find(prefix);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t start = at + prefix.size();
    const std::size_t end = message.find('"', start);
    return std::string(message.substr(start, end == std::string_view::npos ? end : end - start));
}

// A failed connection as a user can act on it.
std::string ConnectionProblem(std::string_view message) {
    if (const auto role = QuotedAfter(message, "password authentication failed for user \"")) {
        return "the server refused the password for role " + *role;
    }
    if (message.find("no password supplied") != std::string_view::npos) {
        return "the server asks for a password and none was given (in the connection text, "
               "PGPASSWORD or ~/.pgpass)";
    }
    if (const auto name = QuotedAfter(message, "database \"");
        name && message.find("\" does not exist") != std::string_view::npos) {
        return "the server has no database " + *name;
    }
    if (const auto name = QuotedAfter(message, "role \"");
        name && message.find("\" does not exist") != std::string_view::npos) {
        return "the server has no role " + *name;
    }
    // connection to server on socket "/tmp/.s.PGSQL.5432" failed: No such file or directory
    // connection to server at "localhost" (::1), port 5432 failed: Connection refused
    const std::size_t failed = message.find(" failed: ");
    if (message.substr(0, 21) == "connection to server " && failed != std::string_view::npos) {
        std::string place(message.substr(21, failed - 21));
        if (place.substr(0, 3) == "at ") {
            place.erase(0, 3);
        } else if (place.substr(0, 10) == "on socket ") {
            place.replace(0, 10, "socket ");
        }
        std::erase(place, '"');
        return "no database server at " + place + ": " + FirstLine(message.substr(failed + 9));
    }
    return FirstLine(message);
}

// A refused statement: the server's message and, for a broken rule, which key.
std::string StatementProblem(std::string_view message) {
    std::string text = FirstLine(message);
    const std::size_t detail = message.find("\nDETAIL:  ");
    if (detail != std::string_view::npos) {
        text += "; " + FirstLine(message.substr(detail + 10));
    }
    return text;
}

bool ConnectionState(const std::string& sqlstate) {
    // Class 08 connection exceptions; 57P01..57P03 the server shutting down or starting.
    return sqlstate.substr(0, 2) == "08" || sqlstate.substr(0, 4) == "57P0";
}

} // namespace

std::string PostgresParameters(std::string_view sql, std::string_view kinds) {
    return RewriteParameters(sql, [&](std::size_t number) {
        return TypedParameter(number,
                              number >= 1 && number <= kinds.size() ? kinds[number - 1] : 'n');
    });
}

struct PostgresSession::Link {
    explicit Link(const std::string& text) : connection(text) {
        // A broken connection is never quietly opened again: a statement after it would run
        // outside the transaction it belongs to.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        connection.inhibit_reactivation(true);
#pragma GCC diagnostic pop
    }

    pqxx::connection connection;
    // The server's notices ("relation exists, skipping") are no business of the user's.
    pqxx::quiet_errorhandler quiet{connection};
};

PostgresSession::PostgresSession(const std::string& connection)
    : text_(connection), where_(connection.empty() ? "PostgreSQL (PG* environment)"
                                                   : RedactedConnectionText(connection)) {
    Connect();
}

PostgresSession::~PostgresSession() {
    Disconnect();
}

void PostgresSession::Connect() {
    Disconnect();
    try {
        link_ = std::make_unique<Link>(text_);
    } catch (const std::exception& error) {
        throw SqlError(WithoutSecrets(where_ + ": " + ConnectionProblem(error.what()), text_),
                       false, true);
    }
}

void PostgresSession::Disconnect() {
    link_.reset();
    prepared_.clear();
    inTransaction_ = false;
    transactionFailed_ = false;
}

bool PostgresSession::Reconnect(std::string* reason) {
    try {
        Connect();
        return true;
    } catch (const SqlError& error) {
        if (reason) {
            *reason = error.what();
        }
        return false;
    }
}

template <typename Action> auto PostgresSession::Run(std::string_view what, Action&& action) {
    if (!link_) {
        throw SqlError(where_ + ": the connection to the server is lost (reconnect to go on)",
                       false, true);
    }
    const auto lost = [&](std::string_view detail) {
        Disconnect();
        return SqlError(WithoutSecrets(where_ + ": the connection to the server was lost during " +
                                           std::string(what) +
                                           (detail.empty() ? "" : ": " + FirstLine(detail)) +
                                           (what == "COMMIT" ? " (whether the transaction was "
                                                               "committed is unknown)"
                                                             : ""),
                                       text_),
                        false, true);
    };
    try {
        return action(link_->connection);
    } catch (const pqxx::broken_connection& error) {
        throw lost(error.what());
    } catch (const pqxx::in_doubt_error&) {
        throw lost("");
    } catch (const pqxx::sql_error& error) {
        if (ConnectionState(error.sqlstate())) {
            throw lost(error.what());
        }
        transactionFailed_ = inTransaction_;
        throw SqlError(StatementProblem(error.what()), error.sqlstate().substr(0, 2) == "23");
    } catch (const pqxx::failure& error) {
        transactionFailed_ = inTransaction_;
        throw SqlError(FirstLine(error.what()));
    }
}

const std::string& PostgresSession::StatementFor(std::string_view sql, const std::string& kinds) {
    std::string key;
    key.reserve(sql.size() + kinds.size() + 1);
    key.append(sql).append(1, '\0').append(kinds);
    if (const auto found = prepared_.find(key); found != prepared_.end()) {
        return found->second;
    }
    // libpqxx sends the PREPARE with the statement's first use, and again after a failed one.
    std::string name = "s" + std::to_string(prepared_.size() + 1);
    link_->connection.prepare(name, PostgresParameters(sql, kinds));
    return prepared_.emplace(std::move(key), std::move(name)).first->second;
}

pqxx::result PostgresSession::Prepared(std::string_view sql, const SqlParams& params) {
    return Run("a statement", [&](pqxx::connection& connection) {
        std::string kinds;
        for (const SqlValue& value : params) {
            kinds += KindOf(value);
        }
        const std::string& name = StatementFor(sql, kinds);
        std::vector<std::string> digits;
        const std::vector<const char*> values = ValuesOf({&params}, digits);
        pqxx::nontransaction statement(connection);
        pqxx::result result =
            statement.exec_prepared(name, pqxx::prepare::make_dynamic_params(values));
        statement.commit();
        return result;
    });
}

SqlRows PostgresSession::Query(std::string_view sql, const SqlParams& params) {
    return RowsOf(Prepared(sql, params));
}

std::int64_t PostgresSession::Execute(std::string_view sql, const SqlParams& params) {
    return static_cast<std::int64_t>(Prepared(sql, params).affected_rows());
}

void PostgresSession::ExecuteScript(std::string_view sql) {
    Run("a script", [&](pqxx::connection& connection) {
        pqxx::nontransaction statement(connection);
        statement.exec(std::string(sql));
        statement.commit();
    });
}

void PostgresSession::InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) {
    if (rows.empty()) {
        return;
    }
    const auto tuple = ValuesTuple(sql);
    const std::size_t width = HighestParameter(sql);
    const bool multiRow =
        tuple && width > 0 &&
        HighestParameter(sql.substr(tuple->first, tuple->second + 1 - tuple->first)) == width &&
        HighestParameter(sql.substr(tuple->second)) == 0 &&
        std::all_of(rows.begin(), rows.end(),
                    [&](const SqlParams& row) { return row.size() == width; });
    const bool own = !inTransaction_;
    if (own) {
        Begin(true);
    }
    try {
        if (!multiRow) {
            // An INSERT ... SELECT, or rows of different sizes: one statement a row.
            for (const SqlParams& row : rows) {
                Execute(sql, row);
            }
        } else {
            // VALUES (row 1), (row 2), ... in chunks within libpq's 65535 parameters.
            const std::string_view head = sql.substr(0, tuple->first);
            const std::string_view one = sql.substr(tuple->first, tuple->second + 1 - tuple->first);
            const std::string_view tail = sql.substr(tuple->second + 1);
            const std::size_t chunk = std::clamp<std::size_t>(65535 / width, 1, 1000);
            for (std::size_t first = 0; first < rows.size(); first += chunk) {
                const std::size_t count = std::min(chunk, rows.size() - first);
                std::string text(head);
                std::vector<const SqlParams*> chunkRows;
                for (std::size_t r = 0; r < count; ++r) {
                    const SqlParams& row = rows[first + r];
                    chunkRows.push_back(&row);
                    if (r > 0) {
                        text += ", ";
                    }
                    text += RewriteParameters(one, [&](std::size_t number) {
                        return TypedParameter(r * width + number, KindOf(row[number - 1]));
                    });
                }
                text += tail;
                Run("a statement", [&](pqxx::connection& connection) {
                    std::vector<std::string> digits;
                    const std::vector<const char*> values = ValuesOf(chunkRows, digits);
                    pqxx::nontransaction statement(connection);
                    statement.exec_params(text, pqxx::prepare::make_dynamic_params(values));
                    statement.commit();
                });
            }
        }
    } catch (...) {
        if (own && inTransaction_) {
            Rollback();
        }
        throw;
    }
    if (own) {
        Commit();
    }
}

void PostgresSession::Begin(bool durable) {
    if (inTransaction_) {
        throw SqlError("a transaction is already open");
    }
    Run("BEGIN", [&](pqxx::connection& connection) {
        pqxx::nontransaction statement(connection);
        // Without a synced commit a crash of the server may lose the last transactions, never
        // a part of one.
        statement.exec(durable ? "BEGIN" : "BEGIN; SET LOCAL synchronous_commit = off");
        statement.commit();
    });
    inTransaction_ = true;
    transactionFailed_ = false;
}

void PostgresSession::Commit() {
    if (!inTransaction_) {
        throw SqlError("no transaction is open");
    }
    if (transactionFailed_) {
        Rollback();
        throw SqlError("the transaction was rolled back: a statement in it failed");
    }
    // A transaction the server had already aborted would answer COMMIT with ROLLBACK, no
    // error; the failed statement that aborted it has already set transactionFailed_.
    Run("COMMIT", [&](pqxx::connection& connection) {
        inTransaction_ = false;
        pqxx::nontransaction statement(connection);
        statement.exec("COMMIT");
        statement.commit();
    });
}

void PostgresSession::Rollback() {
    if (!link_) {
        // The server ended the transaction with the connection.
        inTransaction_ = false;
        return;
    }
    Run("ROLLBACK", [&](pqxx::connection& connection) {
        inTransaction_ = false;
        transactionFailed_ = false;
        pqxx::nontransaction statement(connection);
        statement.exec("ROLLBACK");
        statement.commit();
    });
}

// What a program that loads this module calls to open a session on a server.
extern "C" __attribute__((visibility("default"))) void
PagerLedgerOpenServerSession(const std::string& connection, std::unique_ptr<SqlSession>& session) {
    session = std::make_unique<PostgresSession>(connection);
}
