// What the journal adds to each pager of a batch: one BeginAttempt and one CompleteAttempt,
// each a commit synced to the disk (WAL, synchronous=FULL). "ms_per_pager" is the figure;
// the target is at most 5 ms. BM_Commit shows what the syncing itself costs: the same two
// commits on a bare table, each with synchronous FULL (a sync of the log at every commit),
// NORMAL (syncs only at checkpoints, or at the next FULL commit) or OFF. The files go to
// PAGER_BENCH_DIR, else the current folder: a folder on the disk the journal will live on gives the
// honest figure (tmpfs would hide the syncs).

#include "image/Generation.h"
#include "production/Journal.h"
#include "production/Sha256.h"
#include "production/SqliteDatabase.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// A fresh file for one benchmark, removed with its WAL afterwards.
class BenchFile {
public:
    explicit BenchFile(const std::string& name) {
        const char* folder = std::getenv("PAGER_BENCH_DIR");
        path_ = (fs::path(folder ? folder : ".") / (name + "-" + std::to_string(getpid()) + ".db"))
                    .string();
        Remove();
    }
    ~BenchFile() { Remove(); }
    const std::string& path() const { return path_; }

private:
    void Remove() const {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(path_ + suffix);
        }
    }
    std::string path_;
};

void SetPerPager(benchmark::State& state, std::chrono::duration<double> wall) {
    state.counters["ms_per_pager"] =
        1000.0 * wall.count() / static_cast<double>(state.iterations());
}

void BM_JournalPerPager(benchmark::State& state) {
    BenchFile file("bench-journal");
    auto journal = Journal::OpenForRecording(file.path());
    const BatchProgress batch = journal->OpenBatch(Sha256Hex("bench"), 1'000'000);
    AttemptStart start{batch.batch,       0,           "virtual:bench-a",
                       Generation::V2,    "SN-000001", {1234560, 1234568, 8},
                       Sha256Hex("image")};
    std::chrono::duration<double> wall{0};
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        const std::int64_t attempt = journal->BeginAttempt(start);
        journal->CompleteAttempt(attempt, AttemptOutcome::Programmed, "");
        wall += std::chrono::steady_clock::now() - begin;
        ++start.assignment;
    }
    SetPerPager(state, wall);
}

// The synchronous setting of the commit that begins an attempt and of the one that ends it.
struct CommitSync {
    const char* begin;
    const char* end;
};
constexpr CommitSync kCommitSyncs[] = {
    {"FULL", "FULL"}, {"FULL", "NORMAL"}, {"NORMAL", "NORMAL"}, {"OFF", "OFF"}};

void BM_Commit(benchmark::State& state) {
    const CommitSync& sync = kCommitSyncs[state.range(0)];
    state.SetLabel(std::string("synchronous=") + sync.begin + "," + sync.end);
    BenchFile file("bench-commit");
    SqliteDatabase database(file.path(), SqliteDatabase::Access::ReadWrite);
    database.Execute("PRAGMA journal_mode = WAL; CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
    const std::string begin = std::string("PRAGMA synchronous = ") + sync.begin +
                              "; INSERT INTO t (v) VALUES ('started')";
    const std::string end = std::string("PRAGMA synchronous = ") + sync.end +
                            "; UPDATE t SET v = 'programmed' WHERE id = last_insert_rowid()";
    std::chrono::duration<double> wall{0};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        database.Execute(begin.c_str());
        database.Execute(end.c_str());
        wall += std::chrono::steady_clock::now() - start;
    }
    SetPerPager(state, wall);
}

BENCHMARK(BM_JournalPerPager)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_Commit)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(300);

} // namespace

BENCHMARK_MAIN();
