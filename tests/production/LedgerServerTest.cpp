// The ledger's rules on both databases, and what only a server shared by stations has: leases,
// station names, a lost connection. Each PostgreSQL test works in a schema of its own on the
// throwaway server the CTest fixture starts.
#include "production/ledger/Ledger.h"
#include "production/ledger/PostgresSession.h"
#include "production/ledger/ServerSessions.h"

#include "TestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

OrderContent Order(const std::string& name, std::size_t count, std::uint32_t first) {
    OrderContent content;
    content.name = name;
    content.numbering = "list";
    content.batchTemplate.mode = Generation::V2;
    content.batchTemplate.rows = TemplateRows(content.batchTemplate.settings);
    content.batchTemplate.rows[0] = CapcodeRowKind::Individual;
    for (std::size_t n = 0; n < count; ++n) {
        Assignment assignment;
        assignment.serialNumber = "S-" + std::to_string(n + 1);
        assignment.capcodes[0] = first + 8 * static_cast<std::uint32_t>(n);
        content.assignments.push_back(assignment);
    }
    return content;
}

AttemptFacts Facts(const std::string& station, const std::string& key = "") {
    return {{station, "virtual:a"}, Generation::V2, {2026, 1, 2, 3, 4}, "", key};
}

// A ledger in a place of its own: a fresh file, or a fresh schema on the test server.
class LedgerOnBoth : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        static int counter = 0;
        place = "l" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        if (GetParam() == "sqlite") {
            folder = std::filesystem::temp_directory_path() / ("ledger-both-" + place);
            std::filesystem::create_directories(folder);
            where = (folder / "ledger.db").string();
            return;
        }
        const std::string server = TestServer();
        ASSERT_FALSE(server.empty());
        admin = std::make_unique<PostgresSession>(server);
        admin->ExecuteScript("CREATE SCHEMA " + place);
        where = server + " options='-c search_path=" + place + "'";
        Ledger::Initialise(where);
    }
    void TearDown() override {
        if (admin) {
            admin->ExecuteScript("DROP SCHEMA " + place + " CASCADE");
        }
        if (!folder.empty()) {
            std::filesystem::remove_all(folder);
        }
    }

    std::unique_ptr<Ledger> Station(const std::string& name, std::chrono::seconds lease = 30s) {
        return Ledger::OpenForRecording(where, std::chrono::system_clock::now, {name, lease});
    }

    std::string place;
    std::filesystem::path folder;
    std::unique_ptr<PostgresSession> admin;
    std::string where;
};

// The rules every ledger keeps: one owner a capcode, held numbers never handed out, a changed
// order refused, a claim asked for again with its key made once.
TEST_P(LedgerOnBoth, KeepsEveryRule) {
    auto ledger = Station("bench-1");
    const OrderInfo order = ledger->OpenOrder(Order("depot", 4, 1000));
    EXPECT_THROW(ledger->OpenOrder(Order("other", 2, 1008)), LedgerRefusal);
    OrderContent changed = Order("depot", 4, 1000);
    changed.assignments[2].serialNumber = "X";
    EXPECT_THROW(ledger->OpenOrder(changed), LedgerRefusal);

    const std::optional<Claim> first = ledger->ClaimNext(order.id, Facts("bench-1", "key-1"));
    ASSERT_TRUE(first);
    const std::optional<Claim> again = ledger->ClaimNext(order.id, Facts("bench-1", "key-1"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->assignment, first->assignment) << "the same claim, not a second one";
    ledger->EndAttempt(*first, AttemptEnd::MayHoldNumbers, "taken out");
    ledger->EndAttempt(*first, AttemptEnd::MayHoldNumbers, "taken out"); // tried again: no change
    std::vector<std::size_t> positions;
    while (const std::optional<Claim> claim = ledger->ClaimNext(order.id, Facts("bench-1"))) {
        positions.push_back(claim->position);
        ledger->EndAttempt(*claim, AttemptEnd::Programmed, "");
    }
    EXPECT_EQ(positions, (std::vector<std::size_t>{1, 2, 3}));
    const OrderCounts counts = ledger->Counts(order.id);
    EXPECT_EQ(counts.held, 1u);
    EXPECT_EQ(counts.programmed, 3u);
    EXPECT_EQ(ledger->Entries({"depot", std::nullopt, std::nullopt}).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Databases, LedgerOnBoth, testing::Values("sqlite", "postgresql"));

class LedgerServer : public LedgerOnBoth {};

// A station that stops renewing loses its claims to held, never to free; a late end it makes
// still counts while nobody else touched the assignment; its name is its own while it lives,
// and a station started again takes over what its gone run left.
TEST_P(LedgerServer, LeasesAndStationNames) {
    auto first = Station("one");
    EXPECT_THROW(Station("one"), LedgerRefusal) << "a second live program under one name";
    const OrderInfo order = first->OpenOrder(Order("depot", 3, 2000));
    // A claim made by a program that renews nothing, with a lease of one second.
    auto paused = Ledger::OpenShared(OpenServerSession(where), "paused");
    const std::optional<Claim> stale = first->ClaimNext(order.id, Facts("asleep"));
    ASSERT_TRUE(stale);
    admin->ExecuteScript("UPDATE " + place +
                         ".assignments SET lease_ms = lease_ms - 60000 WHERE station = 'asleep'");
    auto second = Station("two");
    const std::optional<Claim> next = second->ClaimNext(order.id, Facts("two"));
    ASSERT_TRUE(next);
    EXPECT_NE(next->assignment, stale->assignment);
    EXPECT_EQ(second->TakeOverNotes().size(), 1u);
    EXPECT_EQ(second->Counts(order.id).held, 1u);
    // The sleeper wakes: nothing happened to its assignment meanwhile, so its end counts.
    paused->EndAttempt(*stale, AttemptEnd::Programmed, "");
    EXPECT_EQ(second->Counts(order.id).programmed, 1u);

    // Station two dies with its claim; started again, it holds it at once. Once the held
    // assignment is settled, an end of the old claim changes nothing.
    second.reset();
    auto again = Station("two");
    EXPECT_EQ(again->HeldAtOpen(), 1u);
    again->ResolveFree(next->assignment, {"two", "virtual:a"}, "holds none of it");
    EXPECT_THROW(again->EndAttempt(*next, AttemptEnd::Programmed, ""), LedgerConflict);
    EXPECT_EQ(again->Counts(order.id).free, 2u);
}

// A lost connection: the claim asked for again is the one made, and the end is recorded once.
TEST_P(LedgerServer, ALostConnectionLosesNothing) {
    // The station's connection is named, so that only it is cut, not another test's.
    const std::string named = "cut_" + place;
    auto ledger = Ledger::OpenForRecording(where + " application_name=" + named,
                                           std::chrono::system_clock::now, {"one", 30s});
    const OrderInfo order = ledger->OpenOrder(Order("depot", 2, 3000));
    const std::optional<Claim> claim = ledger->ClaimNext(order.id, Facts("one", "k1"));
    admin->Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name "
                 "= ?1",
                 {named});
    bool lost = false;
    for (int tries = 0; tries < 20; ++tries) {
        try {
            ledger->EndAttempt(*claim, AttemptEnd::Programmed, "");
            break;
        } catch (const LedgerUnavailable&) {
            lost = true;
            std::this_thread::sleep_for(100ms);
            ledger->Reconnect();
        }
    }
    EXPECT_TRUE(lost) << "the connection was cut";
    EXPECT_EQ(ledger->Counts(order.id).programmed, 1u);
    EXPECT_EQ(ledger->ClaimNext(order.id, Facts("one", "k2"))->position, 1u);
}

INSTANTIATE_TEST_SUITE_P(Server, LedgerServer, testing::Values("postgresql"));

// What a station is told when the server cannot be used: no password in any of it.
TEST(LedgerServerAccess, ClearMessagesWithoutPasswords) {
    const struct {
        std::string where;
        std::string says;
    } cases[] = {
        {"host=/tmp/no-such-server dbname=x user=u password=SECRET", "no database server"},
        {"postgresql://u:SECRET@/x?host=/tmp/no-such-server", "no database server"},
    };
    for (const auto& c : cases) {
        try {
            Ledger::OpenForRecording(c.where);
            ADD_FAILURE() << c.where;
        } catch (const LedgerError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(c.says), std::string::npos) << text;
            EXPECT_EQ(text.find("SECRET"), std::string::npos) << text;
        }
    }
    // A refused password, and a role the ledger's tables were not granted to.
    const std::string server = TestServer();
    PostgresSession admin(server);
    const std::string role = "nogrants" + std::to_string(getpid());
    const std::string ledgerPlace = "granted" + std::to_string(getpid());
    admin.ExecuteScript("CREATE ROLE " + role + " LOGIN PASSWORD 'right-one'; CREATE SCHEMA " +
                        ledgerPlace + "; GRANT USAGE ON SCHEMA " + ledgerPlace + " TO " + role);
    Ledger::Initialise(server + " options='-c search_path=" + ledgerPlace + "'");
    const std::string host = server.substr(0, server.find(" user="));
    for (const auto& [password, says] :
         {std::pair{std::string("WRONG"), std::string("refused the password")},
          std::pair{std::string("right-one"), std::string("permission denied")}}) {
        try {
            Ledger::OpenForRecording(host + " user=" + role + " password=" + password +
                                     " dbname=postgres options='-c search_path=" + ledgerPlace +
                                     "'");
            ADD_FAILURE() << password;
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).find(password), std::string::npos);
        }
    }
    admin.ExecuteScript("DROP SCHEMA " + ledgerPlace + " CASCADE; DROP ROLE " + role);

    // A database that holds another program's tables is not taken for a ledger.
    const std::string place = "other" + std::to_string(getpid());
    admin.ExecuteScript("CREATE SCHEMA " + place + "; CREATE TABLE " + place + ".invoices (n int)");
    try {
        Ledger::OpenForRecording(server + " options='-c search_path=" + place + "'");
        ADD_FAILURE() << "accepted";
    } catch (const LedgerRefusal& refusal) {
        EXPECT_NE(std::string(refusal.what()).find("another program"), std::string::npos);
    }
    admin.ExecuteScript("DROP SCHEMA " + place + " CASCADE");
}

} // namespace
