#pragma once

#include "production/ledger/SqlSession.h"

#include <cstdint>
#include <string>

// The ledger's tables, the same on every database but for the words each dialect uses.
//
// - orders: one production run each, its template, row kinds and numbering.
// - assignments: one pager's numbers each, its state (free, claimed, programmed, held,
//   refused), the token that fences its claims and its last attempt.
// - planned_capcodes: every individual capcode an assignment carries, once in the ledger.
// - capcode_owner: every capcode that may be in a pager, once: an individual one owned by one
//   assignment from its first claim on (never deleted), a shared one (a group call) by none.
// - order_shared: which orders share which group capcodes.
// - attempts and attempt_capcodes: every pager attempt and resolution, for the journal.
// - stations: each programming station that recorded, with its last sign of life.
// - ledger_info: the ledger's id and schema version.
std::string LedgerSchema(std::string_view dialect);

// Brings an SQLite journal of schema version 1 up to the ledger: each batch becomes an order
// ("journal batch N"), each attempt stays, each programmed capcode is owned by its assignment
// and an assignment whose last attempt was interrupted is held. Runs inside the caller's
// transaction.
void MigrateJournalVersion1(SqlSession& session);

// Marks a database's ledger_info as a ledger of this program.
inline constexpr const char* kLedgerApplication = "pager-cradle ledger";

// "PgrJ": marks an SQLite file as a journal or ledger of this program.
inline constexpr std::int64_t kLedgerApplicationId = 0x5067724A;
