#include "production/JournalListing.h"

#include "production/CsvText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>

namespace {

// Characters as the terminal shows them: UTF-8 continuation bytes take no column.
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; }));
}

constexpr std::size_t kTableColumns = 12;
using TableRow = std::array<std::string, kTableColumns>;

// The journal's columns first, as scripts know them; then the ledger's.
const TableRow kTableHeader = {"time",     "batch",   "pager",  "cradle", "gen",   "serial",
                               "capcodes", "outcome", "reason", "order",  "state", "station"};

TableRow TableRowOf(const LedgerEntry& entry) {
    return {LocalTimeText(entry.time),
            std::to_string(entry.order),
            std::to_string(entry.position + 1),
            entry.cradle,
            entry.generation,
            entry.serialNumber,
            CapcodesText(entry.capcodes),
            entry.outcome,
            entry.reason,
            entry.orderName,
            StateName(entry.state),
            entry.station};
}

} // namespace

std::string LocalTimeText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm local{};
    localtime_r(&seconds, &local);
    const int offsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    const int offset = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return text;
}

void WriteJournalCsv(std::ostream& out, const std::vector<LedgerEntry>& entries) {
    out << "time,cradle,generation,serial,capcodes,outcome,reason,sha256,order,assignment,state,"
           "station\r\n";
    for (const LedgerEntry& entry : entries) {
        out << LocalTimeText(entry.time) << ',' << CsvCell(entry.cradle) << ','
            << CsvCell(entry.generation) << ',' << CsvCell(entry.serialNumber) << ','
            << CapcodesText(entry.capcodes) << ',' << entry.outcome << ',' << CsvCell(entry.reason)
            << ',' << CsvCell(entry.imageSha256) << ',' << CsvCell(entry.orderName) << ','
            << entry.position + 1 << ',' << StateName(entry.state) << ',' << CsvCell(entry.station)
            << "\r\n";
    }
}

void WriteJournalTable(std::ostream& out, const std::vector<LedgerEntry>& entries) {
    std::vector<TableRow> rows{kTableHeader};
    std::transform(entries.begin(), entries.end(), std::back_inserter(rows), TableRowOf);
    std::array<std::size_t, kTableColumns> widths{};
    for (const TableRow& row : rows) {
        for (std::size_t column = 0; column < kTableColumns; ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    for (const TableRow& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < kTableColumns; ++column) {
            line += row[column];
            if (column + 1 < kTableColumns) {
                line += std::string(widths[column] - DisplayWidth(row[column]) + 2, ' ');
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}
