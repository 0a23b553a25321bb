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

TEST(Batch, ProgramsEveryAssignmentOnceOverTwoCradlesAndRewritesAPartlyWrittenPager) {
    const std::string ledgerPath = (std::filesystem::temp_directory_path() /
                                    ("batch-test-" + std::to_string(getpid()) + ".db"))
                                       .string();
    std::filesystem::remove(ledgerPath);
    OrderContent content;
    content.name = "test";
    content.numbering = "list";
    DecodeImage(MakeFactoryPager(FactoryPager::V2), Generation::V2, content.batchTemplate.settings);
    content.batchTemplate.mode = Generation::V2;
    content.batchTemplate.rows = TemplateRows(content.batchTemplate.settings);
    content.batchTemplate.rows[0] = CapcodeRowKind::Individual;
    for (std::size_t n = 0; n < 6; ++n) {
        Assignment assignment;
        assignment.serialNumber = "BT" + std::to_string(100 + n);
        assignment.capcodes[0] = 400000 + 8 * static_cast<std::uint32_t>(n);
        content.assignments.push_back(assignment);
    }

    StreamCradle first(4);
    StreamCradle second(4);
    // The link of the first cradle fails at the seventh block of its first write (exchange 13,
    // after two seating polls, three reads of the number blocks and the identity read): the
    // capcodes are in the pager by then, so that pager is written again with the same numbers.
    first.cradle->InjectAt(13, CradleFault::ReplyError);

    auto ledger = Ledger::OpenForRecording(ledgerPath);
    const OrderInfo order = ledger->OpenOrder(content);
    RecordingListener listener;
    BatchOptions options;
    options.automatic = true;
    options.pollInterval = 20ms;
    options.station = "test";
    {
        Batch batch(*ledger, order, content.batchTemplate, options, listener);
        batch.AddSite(std::make_unique<CradleSite>("sim:a", MakeLayerOver(first.backend)));
        batch.AddSite(std::make_unique<CradleSite>("sim:b", MakeLayerOver(second.backend)));
        batch.Run();
        EXPECT_FALSE(batch.failure()) << *batch.failure();
    }

    EXPECT_EQ(ledger->Counts(order.id).programmed, 6u);
    std::multiset<std::size_t> programmed;
    std::set<std::uint32_t> capcodes;
    int interrupted = 0;
    for (const LedgerEntry& entry : ledger->Entries()) {
        if (entry.outcome == "programmed") {
            programmed.insert(entry.position);
            capcodes.insert(entry.capcodes.front());
        }
        interrupted += entry.outcome == "interrupted";
    }
    EXPECT_EQ(programmed.size(), 6u);
    EXPECT_EQ(std::set(programmed.begin(), programmed.end()).size(), 6u) << "one twice";
    EXPECT_EQ(capcodes.size(), 6u);
    EXPECT_EQ(interrupted, 1);
    // The broken attempt and the success after it are the same pager's, in one cradle.
    const auto& records = listener.records;
    const auto broken = std::find_if(records.begin(), records.end(),
                                     [](const PagerRecord& r) { return r.outcome == "held"; });
    ASSERT_NE(broken, records.end());
    const auto retried = std::find_if(broken + 1, records.end(), [&](const PagerRecord& r) {
        return r.cradle == broken->cradle;
    });
    ASSERT_NE(retried, records.end());
    EXPECT_EQ(retried->assignment, broken->assignment);
    EXPECT_EQ(retried->outcome, "programmed");
    ledger.reset();
    std::filesystem::remove(ledgerPath);
}

} // namespace
