// What the ledger costs a batch, on an SQLite file and on a PostgreSQL server:
//
//   per_pager     what the ledger adds to each pager: ClaimNext (the claim and its attempt,
//                 one commit synced to the disk) and EndAttempt(Programmed) (one commit that
//                 rides on the next synced one). The time column is milliseconds per pager.
//                 Targets: on SQLite at most 1 ms over the old journal's 0.25 ms (its
//                 BeginAttempt synced with synchronous FULL, its CompleteAttempt NORMAL); on
//                 PostgreSQL at most 10 ms.
//                 On SQLite, for reference, each pager is followed by what the syncing alone
//                 costs on this disk at that moment: two commits on a bare table, the first
//                 FULL and the second NORMAL, as the old journal made (commit_pair_ms).
//   open_order    a list of 100 000 rows, one individual capcode each, stored as an order by
//                 Ledger::OpenOrder into an empty ledger. Target on SQLite: under 2 s; the
//                 server's figure is for information.
//
// After the table, each figure is printed with its target (the median and range when run with
// --benchmark_repetitions).
//
// Files go to PAGER_BENCH_DIR, else to a fresh folder in the temporary folder: a folder on the
// disk the ledger will live on gives the honest figure (tmpfs would hide the syncs). The server
// is PAGER_BENCH_POSTGRES (a libpq connection text; each benchmark works in a schema of its own
// there and drops it afterwards), else a throwaway server with fsync on that the benchmark
// starts with tests/production/postgres-cluster and stops at the end.

#include "production/ledger/Ledger.h"
#include "production/ledger/PostgresSession.h"
#include "production/ledger/SqliteSession.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Seconds = std::chrono::duration<double>;

constexpr double kOldJournalMsPerPager = 0.25;
constexpr double kSqliteOverOldTargetMs = 1.0;
constexpr double kServerPerPagerTargetMs = 10.0;
constexpr double kSqliteOpenOrderTargetS = 2.0;
constexpr std::size_t kListRows = 100'000;

// Each figure as measured, one value per run of its benchmark.
std::map<std::string, std::vector<double>>& Figures() {
    static std::map<std::string, std::vector<double>> figures;
    return figures;
}

// Where the ledger files go: PAGER_BENCH_DIR or a temporary folder, removed at the end.
class BenchFolder {
public:
    BenchFolder() {
        const char* chosen = std::getenv("PAGER_BENCH_DIR");
        const fs::path base = chosen ? fs::path(chosen) : fs::temp_directory_path();
        path_ = base / ("pager-ledger-bench-" + std::to_string(getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~BenchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // A path for a new ledger file, with nothing left of an earlier one.
    std::string NewFile(const std::string& name) {
        const fs::path file = path_ / (name + "-" + std::to_string(++files_) + ".db");
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + suffix);
        }
        return file.string();
    }

private:
    fs::path path_;
    int files_ = 0;
};

BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

// The PostgreSQL server: the one PAGER_BENCH_POSTGRES names, or a throwaway one started on
// first use and stopped by Stop().
class BenchServer {
public:
    // The connection text, or nothing (and why) when there is no server.
    std::optional<std::string> Connection(std::string& why) {
        if (connection_) {
            return connection_;
        }
        if (const char* given = std::getenv("PAGER_BENCH_POSTGRES")) {
            connection_ = given;
            return connection_;
        }
        if (!why_.empty()) {
            why = why_;
            return std::nullopt;
        }
        state_ = fs::temp_directory_path() / ("pager-ledger-bench-pg-" + std::to_string(getpid()));
        fs::create_directories(state_);
        const std::string start = std::string(PAGER_POSTGRES_CLUSTER) + " start " + state_.string();
        if (std::system(start.c_str()) != 0) {
            why = why_ = "no PostgreSQL server: set PAGER_BENCH_POSTGRES, or install PostgreSQL "
                         "for tests/production/postgres-cluster";
            return std::nullopt;
        }
        started_ = true;
        std::ifstream in(state_ / "connection");
        std::string text;
        std::getline(in, text);
        connection_ = text;
        return connection_;
    }

    // A fresh schema on the server with the ledger's tables in it; the ledger's connection text.
    std::string NewPlace() {
        const std::string place =
            "pager_bench_" + std::to_string(getpid()) + "_" + std::to_string(++places_);
        Admin().ExecuteScript("CREATE SCHEMA " + place);
        schemas_.push_back(place);
        const std::string& base = *connection_;
        const bool uri = base.rfind("postgresql://", 0) == 0 || base.rfind("postgres://", 0) == 0;
        std::string where = uri ? base + (base.find('?') == std::string::npos ? "?" : "&") +
                                      "options=-csearch_path%3D" + place
                                : base + " options='-csearch_path=" + place + "'";
        Ledger::Initialise(where);
        return where;
    }

    void Stop() {
        if (admin_) {
            try {
                for (const std::string& place : schemas_) {
                    admin_->ExecuteScript("DROP SCHEMA " + place + " CASCADE");
                }
            } catch (const SqlError& error) {
                std::fprintf(stderr, "the benchmark's schemas were not dropped: %s\n",
                             error.what());
            }
            admin_.reset();
        }
        if (started_) {
            const std::string stop =
                std::string(PAGER_POSTGRES_CLUSTER) + " stop " + state_.string();
            if (std::system(stop.c_str()) != 0) {
                std::fprintf(stderr, "the throwaway PostgreSQL server did not stop\n");
            }
            fs::remove_all(state_);
            started_ = false;
        }
    }

private:
    PostgresSession& Admin() {
        if (!admin_) {
            admin_ = std::make_unique<PostgresSession>(*connection_);
        }
        return *admin_;
    }

    std::optional<std::string> connection_;
    std::string why_;
    fs::path state_;
    bool started_ = false;
    std::unique_ptr<PostgresSession> admin_;
    // The schemas made, dropped at the end.
    std::vector<std::string> schemas_;
    int places_ = 0;
};

BenchServer& Server() {
    static BenchServer server;
    return server;
}

enum class Database { Sqlite, Server };

const char* DatabaseName(Database database) {
    return database == Database::Sqlite ? "sqlite" : "postgresql";
}

// A place for a new ledger, or nothing when the benchmark was skipped.
std::optional<std::string> NewLedgerPlace(benchmark::State& state, Database database,
                                          const std::string& name) {
    if (database == Database::Sqlite) {
        return Folder().NewFile(name);
    }
    std::string why;
    if (!Server().Connection(why)) {
        state.SkipWithError(why.c_str());
        return std::nullopt;
    }
    try {
        return Server().NewPlace();
    } catch (const std::exception& error) {
        state.SkipWithError((std::string("the PostgreSQL server: ") + error.what()).c_str());
        return std::nullopt;
    }
}

// An order of `count` pagers, each with a serial number and one individual capcode.
OrderContent Order(const std::string& name, std::size_t count) {
    OrderContent content;
    content.name = name;
    content.numbering = "list";
    content.batchTemplate.mode = Generation::V2;
    content.batchTemplate.rows = TemplateRows(content.batchTemplate.settings);
    content.batchTemplate.rows[0] = CapcodeRowKind::Individual;
    content.assignments.reserve(count);
    content.lines.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        Assignment assignment;
        assignment.serialNumber = "B" + std::to_string(100000 + n);
        assignment.capcodes[0] = 200000 + 8 * static_cast<std::uint32_t>(n);
        content.assignments.push_back(assignment);
        content.lines.push_back(n + 2);
    }
    return content;
}

// The pager's number blocks as a site reads them before the write: three blocks of 32 bytes,
// in hex.
constexpr std::size_t kNumberBlocksHex = std::size_t{3} * 32 * 2;

// What a site records with a claim, as a batch gives it: the pager's number blocks as read
// and a fresh key naming the claim.
AttemptFacts Facts(std::mt19937_64& random) {
    char key[33];
    std::snprintf(key, sizeof key, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    return {{"bench-station", "virtual:bench-a"},
            Generation::V2,
            {2026, 1, 2, 3, 4},
            std::string(kNumberBlocksHex, 'f'),
            key};
}

// The old journal's two commits (the first synced, the second riding on the next synced one),
// on a bare table in the same folder: what the syncing alone costs on this disk now.
class CommitPair {
public:
    CommitPair() : db_(Folder().NewFile("commit-pair"), SqliteSession::Access::ReadWrite) {
        db_.ExecuteScript(
            "PRAGMA journal_mode = WAL; CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
    }
    Seconds Run() {
        const auto begin = std::chrono::steady_clock::now();
        db_.Begin(true);
        db_.Execute("INSERT INTO t (v) VALUES ('started')", {});
        db_.Commit();
        db_.Begin(false);
        db_.Execute("UPDATE t SET v = 'programmed' WHERE id = last_insert_rowid()", {});
        db_.Commit();
        return std::chrono::steady_clock::now() - begin;
    }

private:
    SqliteSession db_;
};

// On SQLite each pager is followed by a bare commit pair, so that both meet the disk as it is at
// that moment (a disk busy with other work makes every sync slower).
void BM_PerPager(benchmark::State& state, Database database) {
    const std::optional<std::string> where = NewLedgerPlace(state, database, "per-pager");
    if (!where) {
        return;
    }
    auto ledger = Ledger::OpenForRecording(*where, std::chrono::system_clock::now,
                                           {"bench-station", std::chrono::seconds(30)});
    const OrderInfo order =
        ledger->OpenOrder(Order("per-pager", static_cast<std::size_t>(state.max_iterations)));
    std::optional<CommitPair> pair;
    if (database == Database::Sqlite) {
        pair.emplace();
    }
    std::mt19937_64 random(1);
    Seconds total{0};
    Seconds pairs{0};
    for (auto _ : state) {
        const AttemptFacts facts = Facts(random);
        const auto begin = std::chrono::steady_clock::now();
        const std::optional<Claim> claim = ledger->ClaimNext(order.id, facts);
        ledger->EndAttempt(*claim, AttemptEnd::Programmed, "");
        const Seconds took = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(took.count());
        total += took;
        if (pair) {
            pairs += pair->Run();
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    const double msPerPager = 1000.0 * total.count() / iterations;
    Figures()[std::string("per_pager/") + DatabaseName(database)].push_back(msPerPager);
    if (pair) {
        const double pairMs = 1000.0 * pairs.count() / iterations;
        Figures()["commit_pair/sqlite"].push_back(pairMs);
        state.counters["over_old_ms"] = msPerPager - kOldJournalMsPerPager;
        state.counters["commit_pair_ms"] = pairMs;
    }
}

void BM_OpenOrder(benchmark::State& state, Database database) {
    const OrderContent content = Order("list-100000", kListRows);
    std::vector<double> seconds;
    for (auto _ : state) {
        state.PauseTiming();
        const std::optional<std::string> where = NewLedgerPlace(state, database, "open-order");
        if (!where) {
            return;
        }
        auto ledger = Ledger::OpenForRecording(*where, std::chrono::system_clock::now,
                                               {"bench-station", std::chrono::seconds(30)});
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        const OrderInfo order = ledger->OpenOrder(content);
        const Seconds took = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(took.count());
        seconds.push_back(took.count());
        if (order.added != kListRows) {
            state.SkipWithError("the order did not store every row");
            return;
        }
        state.PauseTiming();
        ledger.reset();
        state.ResumeTiming();
    }
    std::vector<double>& figure = Figures()[std::string("open_order/") + DatabaseName(database)];
    figure.insert(figure.end(), seconds.begin(), seconds.end());
}

struct Spread {
    double median;
    double low;
    double high;
    std::size_t runs;
};

std::optional<Spread> SpreadOf(const std::string& figure) {
    const auto found = Figures().find(figure);
    if (found == Figures().end() || found->second.empty()) {
        return std::nullopt;
    }
    std::vector<double> values = found->second;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return Spread{median, values.front(), values.back(), n};
}

std::string Describe(const Spread& spread, const char* unit, double scale = 1.0) {
    char text[160];
    if (spread.runs == 1) {
        std::snprintf(text, sizeof text, "%.3f %s", spread.median * scale, unit);
    } else {
        std::snprintf(text, sizeof text, "%.3f %s (median of %zu, %.3f to %.3f)",
                      spread.median * scale, unit, spread.runs, spread.low * scale,
                      spread.high * scale);
    }
    return text;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

void PrintTargets() {
    std::printf("\nTargets:\n");
    if (const auto sqlite = SpreadOf("per_pager/sqlite")) {
        const Spread over{sqlite->median - kOldJournalMsPerPager,
                          sqlite->low - kOldJournalMsPerPager, sqlite->high - kOldJournalMsPerPager,
                          sqlite->runs};
        std::printf("  per pager on SQLite: %s; the old journal %.2f ms; difference %s "
                    "(target: at most +%.1f ms: %s)\n",
                    Describe(*sqlite, "ms").c_str(), kOldJournalMsPerPager,
                    Describe(over, "ms").c_str(), kSqliteOverOldTargetMs,
                    Verdict(over.high <= kSqliteOverOldTargetMs));
        // Run by run, the ledger's pager against the bare commit pair made beside it.
        const std::vector<double>& pagers = Figures()["per_pager/sqlite"];
        const std::vector<double>& pairs = Figures()["commit_pair/sqlite"];
        std::vector<double>& beyond = Figures()["beyond_pair/sqlite"];
        for (std::size_t run = 0; run < pagers.size() && run < pairs.size(); ++run) {
            beyond.push_back(pagers[run] - pairs[run]);
        }
        if (!beyond.empty()) {
            std::printf("  (made between those pagers, the old journal's two commits on a bare "
                        "table: %s, more when the disk is busy with other work; the ledger "
                        "beyond them: %s)\n",
                        Describe(*SpreadOf("commit_pair/sqlite"), "ms").c_str(),
                        Describe(*SpreadOf("beyond_pair/sqlite"), "ms").c_str());
        }
    }
    if (const auto server = SpreadOf("per_pager/postgresql")) {
        std::printf("  per pager on PostgreSQL: %s (target: at most %.0f ms: %s)\n",
                    Describe(*server, "ms").c_str(), kServerPerPagerTargetMs,
                    Verdict(server->high <= kServerPerPagerTargetMs));
    }
    if (const auto sqlite = SpreadOf("open_order/sqlite")) {
        std::printf("  %zu-row list opened as an order on SQLite: %s (target: under %.0f s: %s)\n",
                    kListRows, Describe(*sqlite, "s").c_str(), kSqliteOpenOrderTargetS,
                    Verdict(sqlite->high < kSqliteOpenOrderTargetS));
    }
    if (const auto server = SpreadOf("open_order/postgresql")) {
        std::printf("  %zu-row list opened as an order on PostgreSQL: %s (for information)\n",
                    kListRows, Describe(*server, "s").c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("per_pager/sqlite", BM_PerPager, Database::Sqlite)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(500);
    benchmark::RegisterBenchmark("per_pager/postgresql", BM_PerPager, Database::Server)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(300);
    benchmark::RegisterBenchmark("open_order/sqlite", BM_OpenOrder, Database::Sqlite)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("open_order/postgresql", BM_OpenOrder, Database::Server)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Server().Stop();
    PrintTargets();
    return 0;
}
