#include "LedgerTestSupport.h"

#include "production/JournalListing.h"
#include "production/Sha256.h"
#include "production/ledger/SqliteSession.h"

#include <fstream>
#include <sstream>

namespace {

std::vector<std::size_t> ClaimAll(Ledger& ledger, std::int64_t order) {
    std::vector<std::size_t> positions;
    while (std::optional<Claim> claim = ledger.ClaimNext(order, LedgerTest::Facts())) {
        positions.push_back(claim->position);
        ledger.EndAttempt(*claim, AttemptEnd::Programmed, "");
    }
    return positions;
}

// A crash mid-write holds the assignment, in this order and in every longer run of it; a late
// end of the crashed claim changes nothing.
TEST_F(LedgerTest, ACrashMidWriteIsHeldAndNoHeldNumberIsHandedOutAgain) {
    std::optional<Claim> crashed;
    std::int64_t order = 0;
    {
        auto ledger = Ledger::OpenForRecording(path(), Clock());
        const OrderInfo info = ledger->OpenOrder(Order("depot", 3, 1000, 2000));
        EXPECT_TRUE(info.created);
        order = info.id;
        const std::optional<Claim> first = ledger->ClaimNext(order, Facts());
        ASSERT_TRUE(first);
        EXPECT_EQ(first->position, 0u);
        ledger->EndAttempt(*first, AttemptEnd::Programmed, "");
        const std::optional<Claim> second = ledger->ClaimNext(order, Facts("virtual:bench-a"));
        ledger->EndAttempt(*second, AttemptEnd::FailedClean, "cradle pulled, \"block 288\"");
        crashed = ledger->ClaimNext(order, Facts("virtual:bench-a"));
        EXPECT_EQ(crashed->position, 1u) << "a clean failure gives the numbers back";

        EXPECT_THROW(Ledger::OpenForRecording(path()), LedgerError) << "one recorder at a time";
        EXPECT_EQ(Ledger::OpenForReading(path())->Entries().size(), 3u) << "a listing may read";
        // The program dies here: the last attempt never ends.
    }

    auto ledger = Ledger::OpenForRecording(path(), Clock());
    EXPECT_EQ(ledger->HeldAtOpen(), 1u);
    // A longer run of the same order appends, and still hands out nothing held.
    const OrderInfo longer = ledger->OpenOrder(Order("depot", 5, 1000, 2000));
    EXPECT_FALSE(longer.created);
    EXPECT_EQ(longer.added, 2u);
    EXPECT_EQ(ClaimAll(*ledger, order), (std::vector<std::size_t>{2, 3, 4}));
    const OrderCounts counts = ledger->Counts(order);
    EXPECT_EQ(counts.programmed, 4u);
    EXPECT_EQ(counts.held, 1u);
    const std::vector<HeldAssignment> held = ledger->Held(order);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held.front().position, 1u);
    EXPECT_EQ(held.front().cradle, "virtual:bench-a");

    EXPECT_EQ(ledger->Entries({std::nullopt, "SN-1", std::nullopt}).size(), 1u);
    EXPECT_EQ(ledger->Entries({std::nullopt, std::nullopt, 2000}).size(), 6u) << "shared";
    EXPECT_EQ(ledger->Entries({"other", std::nullopt, std::nullopt}).size(), 0u);
    std::ostringstream csv;
    WriteJournalCsv(csv, ledger->Entries({std::nullopt, "SN-2", std::nullopt}));
    const std::string digest = ledger->Entries().at(1).imageSha256;
    EXPECT_EQ(csv.str(),
              "time,cradle,generation,serial,capcodes,outcome,reason,sha256,order,assignment,"
              "state,station\r\n"
              "2025-03-14T11:00:02+02:00,virtual:bench-a,V2,SN-2,1008 2000,failed,"
              "\"cradle pulled, \"\"block 288\"\"\"," +
                  digest +
                  ",depot,2,held,bench-1\r\n"
                  "2025-03-14T11:00:03+02:00,virtual:bench-a,V2,SN-2,1008 2000,interrupted,"
                  "the program ended before the attempt completed," +
                  digest + ",depot,2,held,bench-1\r\n");
}

// One owner for every capcode, across orders: an individual capcode is planned once, a group
// capcode is never anyone's own, and a changed order is refused with what differs.
TEST_F(LedgerTest, TheDatabaseRefusesACapcodeTwice) {
    auto ledger = Ledger::OpenForRecording(path(), Clock());
    ledger->OpenOrder(Order("first", 3, 1000, 5000));
    const auto refusal = [&](const OrderContent& content) -> std::string {
        try {
            ledger->OpenOrder(content);
        } catch (const LedgerRefusal& error) {
            return error.what();
        }
        return "accepted";
    };
    EXPECT_NE(refusal(Order("second", 2, 1008)).find("assignment 2 of order \"first\""),
              std::string::npos);
    EXPECT_NE(refusal(Order("third", 1, 5000)).find("group capcode"), std::string::npos);
    EXPECT_NE(refusal(Order("fourth", 1, 9000, 1016)).find("every pager of this order would share"),
              std::string::npos)
        << refusal(Order("fourth", 1, 9000, 1016));
    EXPECT_EQ(refusal(Order("fifth", 2, 9000, 5000)), "accepted") << "a group shared by two";
    EXPECT_FALSE(ledger->FindOrder("second")) << "a refused order leaves nothing";

    OrderContent changed = Order("first", 3, 1000, 5000);
    changed.batchTemplate.settings.lcdContrast ^= 1;
    changed.assignments[1].serialNumber = "SN-X";
    const std::string text = refusal(changed);
    EXPECT_NE(text.find("template lcdContrast"), std::string::npos) << text;
    EXPECT_NE(text.find("line 3: stored as serial \"SN-2\""), std::string::npos) << text;
    EXPECT_NE(refusal(Order("first", 2, 1000, 5000)).find("never shrink"), std::string::npos);
}

TEST_F(LedgerTest, ALedgerDeletedOrReplacedStopsTheNextClaim) {
    for (const bool replace : {false, true}) {
        std::filesystem::remove(path());
        auto ledger = Ledger::OpenForRecording(path(), Clock());
        const std::int64_t order = ledger->OpenOrder(Order("depot", 4, 1000)).id;
        ASSERT_TRUE(ledger->ClaimNext(order, Facts()));
        std::filesystem::remove(path());
        if (replace) {
            std::ofstream(path()).close();
        }
        EXPECT_THROW(ledger->ClaimNext(order, Facts()), LedgerError) << replace;
    }
}

// Held assignments are settled one by one, each by what its pager holds or by the operator.
TEST_F(LedgerTest, HeldAssignmentsAreResolvedOneByOne) {
    auto ledger = Ledger::OpenForRecording(path(), Clock());
    const std::int64_t order = ledger->OpenOrder(Order("depot", 4, 1000)).id;
    for (int n = 0; n < 3; ++n) {
        const std::optional<Claim> claim = ledger->ClaimNext(order, Facts());
        ledger->EndAttempt(*claim, AttemptEnd::MayHoldNumbers, "taken out mid-write");
    }
    const std::vector<HeldAssignment> held = ledger->Held(order);
    ASSERT_EQ(held.size(), 3u);
    ledger->ResolveProgrammed(held[0].assignment, {"bench-1", "usb:1-1"}, "holds its image");
    ledger->ResolveFree(held[1].assignment, {"bench-1", "usb:1-1"}, "holds none of it");
    EXPECT_THROW(ledger->ResolveFree(held[1].assignment, {}, ""), LedgerConflict);
    EXPECT_THROW(ledger->Release(order, 3, {}, "destroyed"), LedgerRefusal) << "not held";
    ledger->Release(order, 2, {"bench-1", ""}, "destroyed, serial typed");
    EXPECT_EQ(ClaimAll(*ledger, order), (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(ledger->Counts(order).programmed, 4u);
    std::vector<std::string> outcomes;
    for (const LedgerEntry& entry : ledger->Entries()) {
        outcomes.push_back(entry.outcome);
    }
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), "resolved"), 2);
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), "released"), 1);
}

// A journal of the earlier schema opens as a ledger: its programmed capcodes are owned, its
// interrupted assignment is held, its batch can be listed but not resumed.
TEST_F(LedgerTest, BringsAJournalOfTheEarlierSchemaUpToDate) {
    {
        SqliteSession old(path(), SqliteSession::Access::ReadWrite);
        old.ExecuteScript(R"sql(
CREATE TABLE batches (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE,
    assignments INTEGER NOT NULL, created_ms INTEGER NOT NULL);
CREATE TABLE attempts (id INTEGER PRIMARY KEY, batch INTEGER NOT NULL REFERENCES batches(id),
    assignment INTEGER NOT NULL, time_ms INTEGER NOT NULL, cradle TEXT NOT NULL,
    generation TEXT NOT NULL, serial TEXT NOT NULL, capcodes TEXT NOT NULL,
    outcome TEXT NOT NULL, reason TEXT NOT NULL, sha256 TEXT NOT NULL);
CREATE INDEX attempts_by_assignment ON attempts(batch, assignment);
CREATE INDEX attempts_by_outcome ON attempts(outcome);
CREATE TABLE attempt_capcodes (attempt INTEGER NOT NULL REFERENCES attempts(id),
    capcode INTEGER NOT NULL);
CREATE INDEX attempt_capcodes_by_capcode ON attempt_capcodes(capcode);
INSERT INTO batches VALUES (1, 'key', 3, 1741942800000);
INSERT INTO attempts VALUES (1, 1, 0, 1741942801000, 'usb:1', 'V2', 'A1', '1000 2000',
    'programmed', '', 'aa');
INSERT INTO attempts VALUES (2, 1, 1, 1741942802000, 'usb:1', 'V2', 'A2', '1008 2000',
    'interrupted', 'taken out', 'bb');
INSERT INTO attempts VALUES (3, 1, 2, 1741942803000, 'usb:1', 'V2', 'A3', '1016 2000',
    'failed', 'no pager', 'cc');
INSERT INTO attempt_capcodes VALUES (1, 1000), (1, 2000), (2, 1008), (2, 2000), (3, 1016),
    (3, 2000);
PRAGMA application_id = 1348956746; PRAGMA user_version = 1;
)sql");
    }
    auto ledger = Ledger::OpenForRecording(path(), Clock());
    const std::optional<OrderInfo> batch = ledger->FindOrder("journal batch 1");
    ASSERT_TRUE(batch);
    EXPECT_EQ(ledger->Counts(batch->id).programmed, 1u);
    EXPECT_EQ(ledger->Counts(batch->id).held, 1u);
    EXPECT_EQ(ledger->Entries().size(), 3u);
    // 1000 and 2000 are in a pager, 1008 may be; 1016 never reached one.
    const auto accepted = [&](std::uint32_t capcode) {
        try {
            ledger->OpenOrder(Order("new " + std::to_string(capcode), 1, capcode));
            return true;
        } catch (const LedgerRefusal&) {
            return false;
        }
    };
    EXPECT_FALSE(accepted(1000));
    EXPECT_FALSE(accepted(2000));
    EXPECT_FALSE(accepted(1008));
    EXPECT_TRUE(accepted(1016));
    EXPECT_THROW(ledger->OpenOrder(Order("journal batch 1", 3, 3000)), LedgerRefusal);
}

TEST_F(LedgerTest, RefusesAFileThatIsNoLedger) {
    std::ofstream(path()) << "serial,capcode1\n";
    EXPECT_THROW(Ledger::OpenForRecording(path()), LedgerError);
    EXPECT_THROW(Ledger::OpenForReading((folder / "missing.db").string()), LedgerError);
}

} // namespace
