#pragma once

#include "production/AssignmentList.h"
#include "production/ledger/Ledger.h"

#include <cstddef>
#include <string>
#include <vector>

// An order as a batch command asks for it, checked before anything is stored or written.
struct OrderPlan {
    OrderContent content;
    // Why the order is refused, one text each; empty when it is good.
    std::vector<std::string> errors;
};

// From a list: each capcode column the list has is an individual row (an empty cell leaves
// the row off on that pager); a template row the list leaves out is shared by every pager.
OrderPlan PlanFromList(std::string name, const BatchTemplate& batchTemplate,
                       const AssignmentList& list, bool sharedOnly);

// From a count: a template row that steps is individual, one with step "0" shared.
OrderPlan PlanFromCount(std::string name, const BatchTemplate& batchTemplate, std::size_t count,
                        bool sharedOnly);

// "capcode 2, 1200016, is shared by every pager of this order", one line per shared row.
std::vector<std::string> SharedRowsText(const OrderContent& content);
