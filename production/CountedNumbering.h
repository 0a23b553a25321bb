#pragma once

#include "production/Assignment.h"

#include <cstddef>
#include <string>
#include <vector>

// The assignments of `count` pagers numbered from the template as the window numbers pagers
// written one after another, or why they cannot be numbered.
struct CountedNumbering {
    std::vector<Assignment> assignments;
    std::string error; // when set, `assignments` is empty

    static constexpr std::size_t kMaxCount = 1'000'000;
};

// Pager 1 takes the template's own numbers; each next pager the numbers after a good write:
// every enabled row advanced by its "Auto Increment" step and the serial number advanced.
// Where the window would put 8 instead of a capcode beyond the largest, or keep 8 where a step
// down goes lower, it would hand out one capcode twice: here the numbering stops with an error
// instead, as it does when two rows would meet on one capcode. Rows with step "0" keep the
// template's capcode on every pager (a capcode shared by all, such as a group call) and are not
// assigned.
CountedNumbering NumberPagers(const PagerSettings& templateSettings, std::size_t count);
