#include "production/AssignmentQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace {

using std::chrono::seconds;

TEST(AssignmentQueue, AFailedPagersAssignmentGoesToTheNextPagerOfAnySite) {
    // Assignment 1 is used up and 3 held back by an earlier run.
    AssignmentQueue queue(5, {1}, {3});
    EXPECT_EQ(queue.Take(), 0u);
    EXPECT_EQ(queue.Take(), 2u);

    // Another site's next pager waits while everything free is in progress, and gets the
    // assignment the failed pager hands back, before the untouched 4.
    EXPECT_EQ(queue.Take(), 4u);
    auto waiting = std::async(std::launch::async, [&] { return queue.Take(seconds(10)); });
    queue.Failed(2);
    EXPECT_EQ(waiting.get(), 2u);

    queue.Programmed(0);
    queue.Refused(4);
    queue.Interrupted(2);
    EXPECT_TRUE(queue.Finished());
    EXPECT_FALSE(queue.AllProgrammed());
    const QueueCounts counts = queue.Counts();
    EXPECT_EQ(counts.done, 2u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_EQ(counts.heldBack, 2u);
    EXPECT_EQ(counts.refused, 1u);
    EXPECT_EQ(counts.Left(), 0u);
    EXPECT_EQ(queue.Take(seconds(10)), std::nullopt) << "a finished queue does not wait";
}

TEST(AssignmentQueue, TwoSitesFailingEveryThirdPagerProgramEachAssignmentOnce) {
    constexpr std::size_t kAssignments = 2000;
    AssignmentQueue queue(kAssignments, {}, {});
    std::vector<int> programmed(kAssignments);
    auto site = [&](unsigned pager) {
        while (auto assignment = queue.Take(seconds(10))) {
            if (++pager % 3 == 0) {
                queue.Failed(*assignment);
            } else {
                ++programmed[*assignment]; // the queue hands each one to a single site
                queue.Programmed(*assignment);
            }
        }
    };
    std::thread first(site, 0);
    std::thread second(site, 1);
    first.join();
    second.join();

    EXPECT_TRUE(queue.AllProgrammed());
    EXPECT_EQ(std::count(programmed.begin(), programmed.end(), 1), kAssignments);
    EXPECT_GE(queue.Counts().failed, kAssignments / 3);
}

} // namespace
