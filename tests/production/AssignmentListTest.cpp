#include "production/AssignmentList.h"

#include <gtest/gtest.h>

namespace {

// The assignment of one pager, written as its serial (nothing = keep) and its given rows.
Assignment Pager(std::optional<std::string> serial,
                 std::initializer_list<std::pair<std::size_t, std::uint32_t>> rows = {}) {
    Assignment assignment;
    assignment.serialNumber = std::move(serial);
    for (const auto& [row, capcode] : rows) {
        assignment.capcodes[row - 1] = capcode;
    }
    return assignment;
}

struct ListCase {
    const char* name;
    std::string text;
    std::vector<Assignment> assignments;
    std::vector<std::size_t> lines;
    std::vector<std::string> errors;
};

// The problems of one line as the list reports them.
std::string Problems(std::initializer_list<const char*> problems) {
    std::string text;
    for (const char* problem : problems) {
        text += (text.empty() ? "" : "; ") + std::string(problem);
    }
    return text;
}

std::string ManyBadLines() {
    std::string text = "capcode1\n";
    for (int line = 0; line < 25; ++line) {
        text += "x\n";
    }
    return text;
}

std::vector<std::string> ManyBadLinesErrors() {
    std::vector<std::string> errors;
    for (int line = 2; line < 22; ++line) {
        errors.push_back("line " + std::to_string(line) +
                         ": capcode1 \"x\" is not a decimal number");
    }
    errors.emplace_back("... and 5 more bad lines");
    return errors;
}

const ListCase kCases[] = {
    {"SerialAndCapcodes",
     "serial,capcode1,capcode2\nSN-1,1000,2000\nSN-2,1008,2008\n",
     {Pager("SN-1", {{1, 1000}, {2, 2000}}), Pager("SN-2", {{1, 1008}, {2, 2008}})},
     {2, 3},
     {}},
    {"AnySubsetInAnyOrderEmptyCellsKeepTheTemplate",
     " Capcode8 ,SERIAL\n8,\n,SN\n 2097151 ,\n",
     {Pager(std::nullopt, {{8, 8}}), Pager("SN"), Pager(std::nullopt, {{8, 2097151}})},
     {2, 3, 4},
     {}},
    {"ByteOrderMarkCrLfAndBlankTrailingLines",
     "\xEF\xBB\xBF"
     "capcode1\r\n0000100\r\n\r\n\r\n",
     {Pager(std::nullopt, {{1, 100}})},
     {2},
     {}},
    {"QuotedCellsAsRfc4180HasThem",
     "serial,capcode1\n\"A,\"\"1\"\"\",\"12\"\n\"\",13\r\nB\xC3\xA4r,14",
     {Pager("A,\"1\"", {{1, 12}}), Pager(std::nullopt, {{1, 13}}), Pager("B\xE4r", {{1, 14}})},
     {2, 3, 4},
     {}},
    {"BadHeader",
     "serial,capcode9,Serial,\n1\n",
     {},
     {},
     {Problems(
         {"line 1: unknown column \"capcode9\" (the columns are serial, capcode1 .. capcode8)",
          "column \"serial\" is named twice",
          "unknown column \"\" (the columns are serial, capcode1 .. capcode8)"})}},
    {"EmptyFile",
     "\r\n\n",
     {},
     {},
     {"line 1: the list is empty; its header row names the "
      "columns (serial, capcode1 .. capcode8)"}},
    {"HeaderOnly", "capcode1\n", {}, {}, {"line 2: no pager in the list after the header row"}},
    {"EveryBadLineNamed",
     "capcode1,capcode2,serial\n"
     "7,2097152,ABCDEFGHIJKLMNOPQ\n"
     "12a,-5,\xE2\x82\xAC\n"
     "100,100,\"tab\there\"\n"
     "200,300\n"
     "\n"
     "100,,\"open\n"
     "still,open\"\n"
     "400,x\"y,\n"
     "\"500\"z,,\n"
     "200,,\"never closed\n",
     {},
     {},
     {Problems({"line 2: capcode1 7 is outside 8 .. 2097151",
                "capcode2 2097152 is outside 8 .. 2097151",
                "serial \"ABCDEFGHIJKLMNOPQ\" has 17 characters; a pager holds at most 16"}),
      Problems({"line 3: capcode1 \"12a\" is not a decimal number",
                "capcode2 \"-5\" is not a decimal number",
                "serial: character U+20AC is outside ISO-8859-1"}),
      Problems({"line 4: capcode 100 is in both capcode1 and capcode2",
                "serial holds a control character"}),
      "line 5: 2 cells; the header has 3", "line 6: a blank line among the pagers",
      Problems({"line 7: capcode 100 in capcode1 is already given on line 4",
                "serial holds a control character"}),
      "line 9: a quote inside a cell that does not start with one",
      "line 10: text after the closing quote of a cell", "line 11: a quoted cell is not closed"}},
    {"ReportsAtMostTwentyLines", ManyBadLines(), {}, {}, ManyBadLinesErrors()},
};

class AssignmentListRules : public testing::TestWithParam<ListCase> {};

TEST_P(AssignmentListRules, ReadsGoodListsAndNamesEveryBadLine) {
    const ListCase& list = GetParam();
    const AssignmentList read = ReadAssignmentList(list.text);
    EXPECT_EQ(read.errors, list.errors);
    EXPECT_EQ(read.assignments, list.assignments);
    EXPECT_EQ(read.lines, list.lines);
}

INSTANTIATE_TEST_SUITE_P(Lists, AssignmentListRules, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
