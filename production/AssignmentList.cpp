#include "production/AssignmentList.h"

#include "image/SettingsJson.h"
#include "production/CsvText.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_map>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kColumnsText = "serial, capcode1 .. capcode8";

// A column of the list: the serial number, or the capcode of one row.
struct Column {
    std::string name;
    std::optional<std::size_t> capcodeRow; // nothing for the serial column
};

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    return text;
}

std::optional<Column> ColumnNamed(const std::string& name) {
    if (name == "serial") {
        return Column{name, std::nullopt};
    }
    for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
        if (name == "capcode" + std::to_string(row + 1)) {
            return Column{name, row};
        }
    }
    return std::nullopt;
}

std::vector<Column> ReadHeader(const CsvRecord& header, std::vector<std::string>& problems) {
    if (!header.error.empty()) {
        problems.push_back(header.error);
        return {};
    }
    if (header.blank) {
        problems.push_back(std::string("the header row is empty; it names the columns (") +
                           kColumnsText + ")");
        return {};
    }
    std::vector<Column> columns;
    for (const std::string& cell : header.cells) {
        const std::string name = LowerCase(Trimmed(cell));
        const auto column = ColumnNamed(name);
        if (!column) {
            problems.push_back("unknown column \"" + cell + "\" (the columns are " + kColumnsText +
                               ")");
        } else if (std::any_of(columns.begin(), columns.end(),
                               [&](const Column& known) { return known.name == name; })) {
            problems.push_back("column \"" + name + "\" is named twice");
        } else {
            columns.push_back(*column);
        }
    }
    return problems.empty() ? columns : std::vector<Column>{};
}

std::optional<std::string> ReadSerialNumber(const std::string& cell, std::string& problem) {
    std::string reason;
    auto bytes = Utf8ToLatin1(cell, &reason);
    if (!bytes) {
        problem = "serial: " + reason;
    } else if (std::any_of(bytes->begin(), bytes->end(),
                           [](unsigned char c) { return c < 0x20 || c == 0x7F; })) {
        problem = "serial holds a control character";
    } else if (bytes->size() > PagerSettings::kSerialNumberWidth) {
        problem = "serial \"" + cell + "\" has " + std::to_string(bytes->size()) +
                  " characters; a pager holds at most " +
                  std::to_string(PagerSettings::kSerialNumberWidth);
    } else {
        return bytes;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ReadCapcode(const std::string& name, const std::string& cell,
                                         std::string& problem) {
    const std::string digits = Trimmed(cell);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        problem = name + " \"" + cell + "\" is not a decimal number";
        return std::nullopt;
    }
    const auto significant = digits.find_first_not_of('0');
    const bool tooLong =
        significant != std::string::npos && digits.size() - significant > 7; // 2097151 has 7
    const std::uint64_t value = tooLong ? 0 : std::stoull("0" + digits);
    if (tooLong || value < 8 || value > PagerSettings::kCapcodeMax) {
        problem =
            name + " " + digits + " is outside 8 .. " + std::to_string(PagerSettings::kCapcodeMax);
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// Checks the data rows one by one and collects their assignments and the problems of each line.
class ListChecker {
public:
    explicit ListChecker(std::vector<Column> columns) : columns_(std::move(columns)) {}

    void Check(const CsvRecord& record, AssignmentList& list) {
        std::vector<std::string> problems;
        Assignment assignment;
        if (!record.error.empty()) {
            problems.push_back(record.error);
        } else if (record.cells.size() != columns_.size()) {
            problems.push_back(std::to_string(record.cells.size()) + " cells; the header has " +
                               std::to_string(columns_.size()));
        } else {
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                ReadCell(columns_[i], record.cells[i], record.line, assignment, problems);
            }
        }
        if (problems.empty()) {
            list.assignments.push_back(std::move(assignment));
            list.lines.push_back(record.line);
        } else {
            Report(record.line, problems, list);
        }
    }

    void Report(std::size_t line, const std::vector<std::string>& problems, AssignmentList& list) {
        ++badLines_;
        if (badLines_ > AssignmentList::kMaxReportedLines) {
            return;
        }
        std::string text = "line " + std::to_string(line) + ": ";
        for (std::size_t i = 0; i < problems.size(); ++i) {
            text += (i ? "; " : "") + problems[i];
        }
        list.errors.push_back(std::move(text));
    }

    void Finish(AssignmentList& list) const {
        if (badLines_ > AssignmentList::kMaxReportedLines) {
            list.errors.push_back("... and " +
                                  std::to_string(badLines_ - AssignmentList::kMaxReportedLines) +
                                  " more bad lines");
        }
    }

private:
    // Where a capcode was first given.
    struct FirstUse {
        std::size_t line;
        std::string column;
    };

    void ReadCell(const Column& column, const std::string& cell, std::size_t line,
                  Assignment& assignment, std::vector<std::string>& problems) {
        if (cell.empty() || (column.capcodeRow && Trimmed(cell).empty())) {
            return;
        }
        std::string problem;
        if (!column.capcodeRow) {
            assignment.serialNumber = ReadSerialNumber(cell, problem);
        } else if (const auto capcode = ReadCapcode(column.name, cell, problem)) {
            const auto [first, isNew] =
                firstUses_.try_emplace(*capcode, FirstUse{line, column.name});
            if (isNew) {
                assignment.capcodes[*column.capcodeRow] = capcode;
            } else if (first->second.line == line) {
                problem = "capcode " + std::to_string(*capcode) + " is in both " +
                          first->second.column + " and " + column.name;
            } else {
                problem = "capcode " + std::to_string(*capcode) + " in " + column.name +
                          " is already given on line " + std::to_string(first->second.line);
            }
        }
        if (!problem.empty()) {
            problems.push_back(std::move(problem));
        }
    }

    std::vector<Column> columns_;
    std::unordered_map<std::uint32_t, FirstUse> firstUses_;
    std::size_t badLines_ = 0;
};

} // namespace

AssignmentList ReadAssignmentList(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<CsvRecord> records = ReadCsvRecords(text);
    // Blank lines at the end are no pagers.
    while (!records.empty() && records.back().blank) {
        records.pop_back();
    }

    AssignmentList list;
    if (records.empty()) {
        list.errors.push_back(std::string("line 1: the list is empty; its header row names the "
                                          "columns (") +
                              kColumnsText + ")");
        return list;
    }
    std::vector<std::string> headerProblems;
    std::vector<Column> columns = ReadHeader(records.front(), headerProblems);
    if (columns.empty()) {
        ListChecker checker({});
        checker.Report(records.front().line, headerProblems, list);
        return list;
    }

    for (const Column& column : columns) {
        if (column.capcodeRow) {
            list.capcodeColumns[*column.capcodeRow] = true;
        } else {
            list.serialColumn = true;
        }
    }
    ListChecker checker(std::move(columns));
    for (auto record = records.begin() + 1; record != records.end(); ++record) {
        if (record->blank) {
            checker.Report(record->line, {"a blank line among the pagers"}, list);
        } else {
            checker.Check(*record, list);
        }
    }
    checker.Finish(list);
    if (list.errors.empty() && list.assignments.empty()) {
        list.errors.push_back("line " + std::to_string(records.front().line + 1) +
                              ": no pager in the list after the header row");
    }
    if (!list.errors.empty()) {
        list.assignments.clear();
        list.lines.clear();
    }
    return list;
}

AssignmentList LoadAssignmentList(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        AssignmentList list;
        list.errors.push_back(path.string() + ": cannot be read");
        return list;
    }
    std::ostringstream text;
    text << file.rdbuf();
    AssignmentList list = ReadAssignmentList(text.str());
    for (std::string& error : list.errors) {
        error.insert(0, path.string() + ": ");
    }
    return list;
}
