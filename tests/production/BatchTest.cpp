// A hands-free batch over two in-process cradles that each pass a stream of pagers, on the
// real clock: the sites run on threads of their own, so the thread-checking build runs it too.
#include "production/Batch.h"

#include "image/Generation.h"
#include "link/sim/InProcessCradleBackend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

namespace {

using namespace std::chrono_literals;

// Records what the sites report; the display's job in the command.
class RecordingListener : public BatchListener {
public:
    void SiteChanged(const SiteView&) override {}
    void PagerEnded(const PagerRecord& record) override {
        std::lock_guard lock(mutex);
        records.push_back(record);
    }
    void Notice(const std::string&, const std::string&) override {}

    std::mutex mutex;
    std::vector<PagerRecord> records;
};

struct StreamCradle {
    explicit StreamCradle(std::uint32_t pagers) {
        cradle->StartStream({pagers, FactoryPager::V2, 20ms, 60ms}, clock);
        backend->AddCradle(cradle);
    }
    std::shared_ptr<SteadyLinkClock> clock = std::make_shared<SteadyLinkClock>();
    std::shared_ptr<CradleSimulator> cradle = std::make_shared<CradleSimulator>();
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(clock);
};

TEST(Batch, ProgramsEveryAssignmentOnceOverTwoCradlesAndRetriesAPartlyWrittenPager) {
    const std::string journalPath = (std::filesystem::temp_directory_path() /
                                     ("batch-test-" + std::to_string(getpid()) + ".db"))
                                        .string();
    std::filesystem::remove(journalPath);
    std::vector<Assignment> assignments(6);
    for (std::size_t n = 0; n < assignments.size(); ++n) {
        assignments[n].serialNumber = "BT" + std::to_string(100 + n);
        assignments[n].capcodes[0] = 400000 + 8 * static_cast<std::uint32_t>(n);
    }
    BatchTemplate batchTemplate;
    DecodeImage(MakeFactoryPager(FactoryPager::V2), Generation::V2, batchTemplate.settings);
    batchTemplate.mode = Generation::V2;

    StreamCradle first(4);
    StreamCradle second(4);
    // The link of the first cradle fails at the eleventh block of its first write (exchange 13,
    // after two seating polls and the identity read): the capcodes are in the pager by then, so
    // that pager is written again with the same numbers.
    first.cradle->InjectAt(13, CradleFault::ReplyError);

    auto journal = Journal::OpenForRecording(journalPath);
    const BatchProgress progress = journal->OpenBatch("test", assignments.size());
    AssignmentQueue queue(assignments.size(), {}, {});
    RecordingListener listener;
    BatchOptions options;
    options.automatic = true;
    options.pollInterval = 20ms;
    {
        Batch batch(batchTemplate, assignments, *journal, progress.batch, queue, options, listener);
        batch.AddSite(std::make_unique<CradleSite>("sim:a", MakeLayerOver(first.backend)));
        batch.AddSite(std::make_unique<CradleSite>("sim:b", MakeLayerOver(second.backend)));
        batch.Run();
    }

    EXPECT_TRUE(queue.AllProgrammed());
    std::multiset<std::size_t> programmed;
    std::set<std::uint32_t> capcodes;
    int interrupted = 0;
    for (const JournalEntry& entry : journal->Entries()) {
        if (entry.outcome == AttemptOutcome::Programmed) {
            programmed.insert(entry.assignment);
            capcodes.insert(entry.capcodes.front());
        }
        interrupted += entry.outcome == AttemptOutcome::Interrupted;
    }
    EXPECT_EQ(programmed.size(), 6u);
    EXPECT_EQ(std::set(programmed.begin(), programmed.end()).size(), 6u) << "one twice";
    EXPECT_EQ(capcodes.size(), 6u);
    EXPECT_EQ(interrupted, 1);
    // The interrupted attempt and the success after it are the same pager's, in one cradle.
    const auto& records = listener.records;
    const auto broken = std::find_if(records.begin(), records.end(), [](const PagerRecord& r) {
        return r.outcome == AttemptOutcome::Interrupted;
    });
    ASSERT_NE(broken, records.end());
    const auto retried = std::find_if(broken + 1, records.end(), [&](const PagerRecord& r) {
        return r.cradle == broken->cradle;
    });
    ASSERT_NE(retried, records.end());
    EXPECT_EQ(retried->assignment, broken->assignment);
    EXPECT_EQ(retried->outcome, AttemptOutcome::Programmed);
    journal.reset();
    std::filesystem::remove(journalPath);
}

} // namespace
