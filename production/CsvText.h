#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One record of a CSV text as RFC 4180 has it: cells separated by commas, a cell in double
// quotes may hold commas, line breaks and doubled quotes.
struct CsvRecord {
    std::size_t line = 0; // 1-based line of the text where the record starts
    std::vector<std::string> cells;
    bool blank = false; // an empty line
    std::string error;  // what is wrong with the record's syntax; its cells are then not usable
};

// Splits the text into records. Lines may end in CR LF, LF or CR; the last line needs no end.
// A syntax error spoils only its own line, except a quote never closed, which ends the text.
std::vector<CsvRecord> ReadCsvRecords(std::string_view text);

// The cell as CSV writes it: in double quotes (inner quotes doubled) when it holds a comma, a
// quote or a line break, else as it is.
std::string CsvCell(std::string_view text);
