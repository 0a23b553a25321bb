#include "production/Journal.h"

#include "image/Generation.h"
#include "production/JournalListing.h"
#include "production/Sha256.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

// A journal file in a fresh folder, and local time two hours east of UTC for exact times.
class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("journal-test-" + std::to_string(getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        const char* zone = std::getenv("TZ");
        savedZone = zone ? std::optional<std::string>(zone) : std::nullopt;
        setenv("TZ", "<+02>-2", 1);
        tzset();
    }
    void TearDown() override {
        if (savedZone) {
            setenv("TZ", savedZone->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        fs::remove_all(folder);
    }

    // 2025-03-14 09:00:00 UTC, one second on at every reading.
    Journal::Clock Clock() {
        return
            [this] { return std::chrono::system_clock::time_point(seconds(1741942800 + ticks++)); };
    }

    AttemptStart Pager(std::int64_t batch, std::size_t assignment, std::string serial,
                       std::vector<std::uint32_t> capcodes) {
        return {batch,
                assignment,
                "usb:3-1.4",
                Generation::V2,
                std::move(serial),
                std::move(capcodes),
                Sha256Hex("image " + std::to_string(assignment))};
    }

    fs::path folder;
    std::string path() const { return (folder / "journal.db").string(); }
    std::optional<std::string> savedZone;
    int ticks = 0;
};

TEST_F(JournalTest, ACrashMidWriteIsReportedAndItsAssignmentHeldBack) {
    const std::string key = Sha256Hex("template and numbering");
    std::int64_t crashed = 0;
    {
        auto journal = Journal::OpenForRecording(path(), Clock());
        EXPECT_TRUE(journal->InterruptedAtOpen().empty());
        const BatchProgress fresh = journal->OpenBatch(key, 3);
        EXPECT_FALSE(fresh.resumed);
        EXPECT_TRUE(fresh.usedUp.empty() && fresh.heldBack.empty());

        const auto first = journal->BeginAttempt(Pager(fresh.batch, 0, "    SN-1", {1000, 2000}));
        journal->CompleteAttempt(first, AttemptOutcome::Programmed, "");
        auto second = Pager(fresh.batch, 1, "SN-2", {1008, 2000});
        second.cradle = "virtual:bench-a";
        second.mode = Generation::V1;
        const auto failed = journal->BeginAttempt(second);
        journal->CompleteAttempt(failed, AttemptOutcome::Failed, "cradle pulled, \"block 288\"");
        crashed = journal->BeginAttempt(second);

        EXPECT_THROW(Journal::OpenForRecording(path()), JournalError) << "one recorder at a time";
        EXPECT_EQ(Journal::OpenForReading(path())->Entries().size(), 3u) << "a listing may read";
        // The program dies here: the last attempt is never completed.
    }

    auto journal = Journal::OpenForRecording(path(), Clock());
    ASSERT_EQ(journal->InterruptedAtOpen().size(), 1u);
    EXPECT_EQ(journal->InterruptedAtOpen().front().attempt, crashed);
    EXPECT_EQ(journal->InterruptedAtOpen().front().outcome, AttemptOutcome::Interrupted);
    EXPECT_THROW(journal->CompleteAttempt(crashed, AttemptOutcome::Programmed, ""), JournalError);

    const BatchProgress resumed = journal->OpenBatch(key, 3);
    EXPECT_TRUE(resumed.resumed);
    EXPECT_EQ(resumed.usedUp, std::set<std::size_t>{0});
    EXPECT_EQ(resumed.heldBack, std::set<std::size_t>{1});
    ASSERT_EQ(resumed.heldBackAttempts.size(), 1u);
    EXPECT_EQ(resumed.heldBackAttempts.front(), journal->InterruptedAtOpen().front());
    EXPECT_FALSE(journal->OpenBatch(Sha256Hex("another batch"), 3).resumed);

    EXPECT_TRUE(journal->IsCapcodeProgrammed(1000));
    EXPECT_TRUE(journal->IsCapcodeProgrammed(2000));
    EXPECT_FALSE(journal->IsCapcodeProgrammed(1008)) << "failed and interrupted only";

    JournalFilter serial{"SN-1", std::nullopt};
    EXPECT_EQ(journal->Entries(serial).size(), 1u) << "leading blanks dropped";
    JournalFilter capcode{std::nullopt, 2000};
    EXPECT_EQ(journal->Entries(capcode).size(), 3u);
    JournalFilter both{"SN-2", 1000};
    EXPECT_EQ(journal->Entries(both).size(), 0u);

    std::ostringstream csv;
    WriteJournalCsv(csv, journal->Entries());
    EXPECT_EQ(csv.str(),
              "time,cradle,generation,serial,capcodes,outcome,reason,sha256\r\n"
              "2025-03-14T11:00:01+02:00,usb:3-1.4,V2,SN-1,1000 2000,programmed,," +
                  Sha256Hex("image 0") +
                  "\r\n"
                  "2025-03-14T11:00:02+02:00,virtual:bench-a,V1,SN-2,1008 2000,failed,"
                  "\"cradle pulled, \"\"block 288\"\"\"," +
                  Sha256Hex("image 1") +
                  "\r\n"
                  "2025-03-14T11:00:03+02:00,virtual:bench-a,V1,SN-2,1008 2000,interrupted,"
                  "the program ended before the attempt completed," +
                  Sha256Hex("image 1") + "\r\n");
}

TEST_F(JournalTest, RefusesAFileThatIsNoJournal) {
    std::ofstream(path()) << "serial,capcode1\n";
    EXPECT_THROW(Journal::OpenForRecording(path()), JournalError);
    EXPECT_THROW(Journal::OpenForReading((folder / "missing.db").string()), JournalError);
}

} // namespace
