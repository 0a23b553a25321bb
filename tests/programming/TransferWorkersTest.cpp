#include "ProgrammingTestSupport.h"

#include "programming/TransferWorkers.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Holds the worker inside one host call until the test lets it go on.
class HostCallGate {
public:
    HostCallGate(RecordingHost& host, const std::string& call) {
        host.onCall = [this, call](const RecordingHost::Call& made) {
            if (made.what == call) {
                std::unique_lock lock(mutex_);
                reached_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return opened_; });
            }
        };
    }
    void AwaitWorker() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return reached_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        opened_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool opened_ = false;
};

struct WorkersRig : ProgrammingRig {
    WorkersRig() : ProgrammingRig(MakeFactoryPager(FactoryPager::V2)) {
        context.settings = WritableSettings();
    }
};

TEST(TransferWorkers, StartsNothingWhileAWorkerRuns) {
    WorkersRig rig;
    HostCallGate gate(rig.host, "range:0..137");
    TransferWorkers workers(rig.context, rig.host, rig.sleeper);

    ASSERT_TRUE(workers.StartRead());
    gate.AwaitWorker();
    EXPECT_TRUE(workers.IsBusy());
    EXPECT_FALSE(workers.StartRead());
    EXPECT_FALSE(workers.StartWrite());
    gate.Open();
    workers.Wait();

    EXPECT_FALSE(workers.IsBusy());
    EXPECT_FALSE(workers.IsRunning());
    EXPECT_EQ(rig.cradle->exchangeCount(), 276u);
    EXPECT_EQ(rig.host.Count("range:0..137"), 1);
    ASSERT_TRUE(workers.StartWrite());
    workers.Wait();
    EXPECT_EQ(rig.host.Count("increment"), 1);
}

// After a write clears the busy flag it still calls the window once; no worker starts
// until that call is over.
TEST(TransferWorkers, CountsTheWritesLastCallAsRunning) {
    WorkersRig rig;
    HostCallGate gate(rig.host, "increment");
    TransferWorkers workers(rig.context, rig.host, rig.sleeper);

    ASSERT_TRUE(workers.StartWrite());
    gate.AwaitWorker();
    EXPECT_FALSE(workers.IsBusy());
    EXPECT_TRUE(workers.IsRunning());
    EXPECT_FALSE(workers.StartRead());
    EXPECT_FALSE(workers.IsBusy());
    gate.Open();
    workers.Wait();
    EXPECT_FALSE(workers.IsRunning());
}

TEST(TransferWorkers, DestructorWaitsForTheWorker) {
    WorkersRig rig;
    HostCallGate gate(rig.host, "range:0..137");
    std::thread opener;
    {
        TransferWorkers workers(rig.context, rig.host, rig.sleeper);
        ASSERT_TRUE(workers.StartRead());
        gate.AwaitWorker();
        opener = std::thread([&gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            gate.Open();
        });
    }
    opener.join();
    EXPECT_EQ(rig.host.Count("status:Read OK !"), 6);
    EXPECT_FALSE(rig.context.state.busy);
}

// Once shutdown begins, the running worker leaves the cradle and the image alone and no new
// worker starts.
TEST(TransferWorkers, ShutdownStopsTheWorkerBeforeItsNextExchange) {
    struct Case {
        bool write;
        std::string heldAt;
        std::uint64_t exchanges;
    };
    for (const Case& c : {Case{false, "step-size:1", 0}, Case{true, "gather", 1}}) {
        WorkersRig rig;
        HostCallGate gate(rig.host, c.heldAt);
        TransferWorkers workers(rig.context, rig.host, rig.sleeper);
        const PagerImage pagerBefore = rig.cradle->Memory();

        ASSERT_TRUE(c.write ? workers.StartWrite() : workers.StartRead());
        gate.AwaitWorker();
        workers.BeginShutdown();
        gate.Open();
        workers.Wait();

        EXPECT_EQ(rig.cradle->exchangeCount(), c.exchanges);
        EXPECT_EQ(rig.cradle->Memory(), pagerBefore);
        EXPECT_EQ(rig.host.Outline().back(), c.heldAt);
        EXPECT_FALSE(workers.IsBusy());
        EXPECT_FALSE(workers.StartRead());
        EXPECT_FALSE(workers.IsBusy());
    }
}

} // namespace
