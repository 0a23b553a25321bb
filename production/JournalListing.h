#pragma once

#include "production/ledger/Ledger.h"

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

// ISO 8601 local time to the second with its offset from UTC, e.g. 2025-03-14T09:26:53+01:00.
std::string LocalTimeText(std::chrono::system_clock::time_point time);

// The attempts as CSV for a spreadsheet (RFC 4180, lines end in CR LF): the header row
// time,cradle,generation,serial,capcodes,outcome,reason,sha256,order,assignment,state,station
// and one row per attempt, its enabled capcodes separated by blanks. The state is the
// assignment's now.
void WriteJournalCsv(std::ostream& out, const std::vector<LedgerEntry>& entries);

// The attempts as a table for people: one line each, columns aligned, the batch and the
// assignment (numbered from 1) beside the pager's numbers; no image digest.
void WriteJournalTable(std::ostream& out, const std::vector<LedgerEntry>& entries);
