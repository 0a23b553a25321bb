#include "production/CountedNumbering.h"

#include "programming/CapcodeIncrement.h"
#include "programming/SerialNumber.h"

#include <unordered_map>

namespace {

std::string RowName(std::size_t row) {
    return "row " + std::to_string(row + 1);
}

std::string PagerName(std::size_t index) {
    return "pager " + std::to_string(index + 1);
}

// Where a capcode is handed out first.
struct FirstUse {
    std::size_t pager;
    std::size_t row;
};

// The rows the numbering advances: enabled, with a step other than "0". Checks that the
// template's capcodes there are ones a pager takes.
std::string CountedRows(const PagerSettings& settings, std::vector<std::size_t>& rows) {
    for (std::size_t row = 0; row < settings.capcodes.size(); ++row) {
        if (!settings.capcodeEnabled[row] ||
            kAutoIncrementSteps[UsableIncrementStep(settings.autoIncrementStep[row])].delta == 0) {
            continue;
        }
        const std::uint32_t capcode = settings.capcodes[row];
        if (capcode < kLowestCapcode || capcode > PagerSettings::kCapcodeMax) {
            return "the template's capcode " + std::to_string(capcode) + " in " + RowName(row) +
                   " is outside 8 .. " + std::to_string(PagerSettings::kCapcodeMax);
        }
        rows.push_back(row);
    }
    return {};
}

// Why the row cannot go on from `capcode` to the next pager (`pager` would be the next).
std::string LeavesRange(std::size_t pager, std::size_t row, std::uint32_t capcode,
                        std::uint8_t step) {
    const int delta = kAutoIncrementSteps[step].delta;
    const std::string limit = delta > 0 ? "beyond " + std::to_string(PagerSettings::kCapcodeMax)
                                        : std::string("below ") + std::to_string(kLowestCapcode);
    return "the capcode of " + RowName(row) + " would go " + limit + " at " + PagerName(pager) +
           " (from " + std::to_string(capcode) + " by " + kAutoIncrementSteps[step].item +
           "); at most " + std::to_string(pager) + " pagers can be numbered from this template";
}

} // namespace

CountedNumbering NumberPagers(const PagerSettings& templateSettings, std::size_t count) {
    CountedNumbering numbering;
    if (count > CountedNumbering::kMaxCount) {
        numbering.error = "a count of at most " + std::to_string(CountedNumbering::kMaxCount) +
                          " pagers can be numbered";
        return numbering;
    }
    std::vector<std::size_t> rows;
    numbering.error = CountedRows(templateSettings, rows);
    if (!numbering.error.empty()) {
        return numbering;
    }

    std::unordered_map<std::uint32_t, FirstUse> firstUses;
    Assignment next;
    next.serialNumber = templateSettings.serialNumber;
    for (const std::size_t row : rows) {
        next.capcodes[row] = templateSettings.capcodes[row];
    }
    for (std::size_t pager = 0; pager < count; ++pager) {
        for (const std::size_t row : rows) {
            const std::uint32_t capcode = *next.capcodes[row];
            const auto [first, isNew] = firstUses.try_emplace(capcode, FirstUse{pager, row});
            if (!isNew) {
                numbering.error = "capcode " + std::to_string(capcode) + " would go to " +
                                  PagerName(first->second.pager) + " in " +
                                  RowName(first->second.row) + " and to " + PagerName(pager) +
                                  " in " + RowName(row);
                numbering.assignments.clear();
                return numbering;
            }
        }
        numbering.assignments.push_back(next);
        if (pager + 1 == count) {
            break;
        }
        next.serialNumber = AdvanceSerialNumber(*next.serialNumber);
        for (const std::size_t row : rows) {
            const std::uint8_t step = UsableIncrementStep(templateSettings.autoIncrementStep[row]);
            const std::uint32_t capcode = *next.capcodes[row];
            const IncrementedCapcode advanced = IncrementCapcode(capcode, step);
            // The window raises a result below 8 to 8.
            const std::int64_t exact = std::int64_t{capcode} + kAutoIncrementSteps[step].delta;
            if (advanced.beyondLargest || static_cast<std::int64_t>(advanced.capcode) != exact) {
                numbering.error = LeavesRange(pager + 1, row, capcode, step);
                numbering.assignments.clear();
                return numbering;
            }
            next.capcodes[row] = static_cast<std::uint32_t>(advanced.capcode);
        }
    }
    return numbering;
}
