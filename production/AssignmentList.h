#pragma once

#include "production/Assignment.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The assignments of a CSV list, one row per pager in order, or why the list is refused.
// The header row names the columns the list has, out of "serial" and "capcode1" .. "capcode8",
// in any order. An empty capcode cell leaves that row off on that pager; an empty serial cell
// keeps the template's serial number.
struct AssignmentList {
    std::vector<Assignment> assignments;
    // The columns the header names.
    bool serialColumn = false;
    std::array<bool, PagerSettings::kCapcodes> capcodeColumns{};
    std::vector<std::size_t> lines; // the line of the file each assignment came from
    // One text per bad line, "line N: ..." (at most kMaxReportedLines, then how many more);
    // when there is any, the list is refused as a whole and `assignments` is empty.
    std::vector<std::string> errors;

    static constexpr std::size_t kMaxReportedLines = 20;
};

// Reads a list given as UTF-8 text (a leading byte order mark is skipped).
AssignmentList ReadAssignmentList(std::string_view text);

// Reads the list from a file; errors then begin with the file's name.
AssignmentList LoadAssignmentList(const std::filesystem::path& path);
