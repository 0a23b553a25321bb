// Several writers claim, end, crash and resolve at once on one ledger, each over a connection
// of its own, while a model keeps what every pager physically holds. Whatever the ledger
// decides, no capcode may ever be in two pagers that still exist.
#include "LedgerTestSupport.h"

#include "production/ledger/SqliteSession.h"

#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace {

// A connection that dies after a given number of statements, as a program killed between two
// statements would: the open transaction goes with it.
class KillableSession final : public SqlSession {
public:
    KillableSession(const std::string& path, int statementsToLive)
        : inner_(path, SqliteSession::Access::ReadWrite), left_(statementsToLive) {
        inner_.ExecuteScript("PRAGMA journal_mode = WAL");
    }
    SqlRows Query(std::string_view sql, const SqlParams& params) override {
        Tick();
        return inner_.Query(sql, params);
    }
    std::int64_t Execute(std::string_view sql, const SqlParams& params) override {
        Tick();
        return inner_.Execute(sql, params);
    }
    void ExecuteScript(std::string_view sql) override {
        Tick();
        inner_.ExecuteScript(sql);
    }
    void InsertMany(std::string_view sql, const std::vector<SqlParams>& rows) override {
        Tick();
        inner_.InsertMany(sql, rows);
    }
    void Begin(bool durable) override {
        Tick();
        inner_.Begin(durable);
    }
    void Commit() override {
        Tick();
        inner_.Commit();
    }
    void Rollback() override { inner_.Rollback(); }
    std::string_view Dialect() const override { return "sqlite"; }
    bool Reconnect(std::string* reason) override { return inner_.Reconnect(reason); }

private:
    void Tick() {
        if (--left_ < 0) {
            throw SqlError("killed");
        }
    }
    SqliteSession inner_;
    int left_;
};

// What every pager holds, and which assignment's numbers it got.
class Pagers {
public:
    int New(const Assignment& numbers, bool holdsThem) {
        std::lock_guard lock(mutex_);
        const int pager = next_++;
        if (holdsThem) {
            Put(pager, numbers);
        }
        return pager;
    }
    void Put(int pager, const Assignment& numbers) {
        for (const auto& capcode : numbers.capcodes) {
            if (capcode) {
                holders_[*capcode].insert(pager);
                worst_ = std::max(worst_, holders_[*capcode].size());
            }
        }
        holds_[pager] = numbers;
    }
    void Write(int pager, const Assignment& numbers) {
        std::lock_guard lock(mutex_);
        Put(pager, numbers);
    }
    bool Holds(int pager) {
        std::lock_guard lock(mutex_);
        return holds_.contains(pager);
    }
    void Destroy(int pager) {
        std::lock_guard lock(mutex_);
        for (auto& [capcode, holders] : holders_) {
            holders.erase(pager);
        }
        holds_.erase(pager);
    }
    std::size_t MostPagersOnOneCapcode() {
        std::lock_guard lock(mutex_);
        return worst_;
    }

private:
    std::mutex mutex_;
    int next_ = 0;
    std::map<std::uint32_t, std::set<int>> holders_;
    std::map<int, Assignment> holds_;
    std::size_t worst_ = 0;
};

TEST_F(LedgerTest, SeveralWritersCrashingAtAnyStatementNeverPutOneCapcodeInTwoPagers) {
    constexpr std::size_t kAssignments = 120;
    std::int64_t order = 0;
    {
        auto ledger = Ledger::OpenForRecording(path(), Clock());
        order = ledger->OpenOrder(Order("soak", kAssignments, 100000, 9000)).id;
    }
    Pagers pagers;
    std::mutex pagerOfMutex;
    std::map<std::int64_t, int> pagerOf; // the pager each assignment was last written to
    std::atomic<int> kills{0};

    const auto writer = [&](unsigned seed) {
        std::mt19937 random(seed);
        const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
        for (int life = 0; life < 40; ++life) {
            std::unique_ptr<Ledger> ledger;
            try {
                ledger = Ledger::OpenShared(
                    std::make_unique<KillableSession>(path(), 5 + static_cast<int>(random() % 60)),
                    path());
                for (int step = 0; step < 20; ++step) {
                    if (chance(25)) {
                        // Resolve a held assignment by what its pager holds, or release it.
                        const std::vector<HeldAssignment> held = ledger->Held(order);
                        if (held.empty()) {
                            continue;
                        }
                        const HeldAssignment& one = held[random() % held.size()];
                        int pager = -1;
                        {
                            std::lock_guard lock(pagerOfMutex);
                            pager = pagerOf.at(one.assignment);
                        }
                        if (chance(20)) {
                            pagers.Destroy(pager);
                            ledger->Release(one.order, one.position, {}, "destroyed");
                        } else if (!pagers.Holds(pager)) {
                            ledger->ResolveFree(one.assignment, {}, "holds none");
                        } else {
                            // A rewrite that breaks off before the numbers leaves the ones an
                            // earlier attempt wrote.
                            const Claim again = ledger->Reclaim(one.assignment, Facts());
                            if (chance(50)) {
                                ledger->EndAttempt(again, AttemptEnd::FailedClean, "");
                            } else {
                                pagers.Write(pager, again.numbers);
                                ledger->EndAttempt(again, AttemptEnd::Programmed, "");
                            }
                        }
                        continue;
                    }
                    const std::optional<Claim> claim = ledger->ClaimNext(order, Facts());
                    if (!claim) {
                        return;
                    }
                    // The write reaches the numbers, or breaks off before them.
                    const bool reached = chance(70);
                    const int pager = pagers.New(claim->numbers, reached);
                    {
                        std::lock_guard lock(pagerOfMutex);
                        pagerOf[claim->assignment] = pager;
                    }
                    const bool complete = reached && chance(70);
                    ledger->EndAttempt(*claim,
                                       complete  ? AttemptEnd::Programmed
                                       : reached ? AttemptEnd::MayHoldNumbers
                                                 : AttemptEnd::FailedClean,
                                       "");
                }
            } catch (const LedgerError&) {
                ++kills; // this writer died; the next one starts over
            } catch (const LedgerConflict&) {
                ++kills; // another writer settled it first
            } catch (const LedgerRefusal&) {
                ++kills; // released after another writer settled it
            }
        }
    };
    std::vector<std::thread> writers;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        writers.emplace_back(writer, seed);
    }
    for (std::thread& thread : writers) {
        thread.join();
    }

    // The last program to open alone holds whatever the dead ones left claimed.
    auto ledger = Ledger::OpenForRecording(path(), Clock());
    const OrderCounts counts = ledger->Counts(order);
    EXPECT_GT(kills.load(), 10);
    EXPECT_EQ(counts.claimed, 0u);
    EXPECT_EQ(counts.free + counts.programmed + counts.held + counts.refused, kAssignments);
    EXPECT_GT(counts.programmed, 0u);
    EXPECT_EQ(pagers.MostPagersOnOneCapcode(), 1u);
}

} // namespace
