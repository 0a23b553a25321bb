#include "production/OrderPlan.h"

#include "image/SettingsJson.h"
#include "production/CountedNumbering.h"
#include "programming/CapcodeIncrement.h"

#include <map>

namespace {

std::string PlaceOf(const OrderContent& content, std::size_t index) {
    return index < content.lines.size() ? "line " + std::to_string(content.lines[index])
                                        : "pager " + std::to_string(index + 1);
}

// The checks every order passes, whatever made it.
void Check(OrderPlan& plan) {
    const OrderContent& content = plan.content;
    const PagerSettings& settings = content.batchTemplate.settings;
    std::map<std::uint32_t, std::size_t> shared;
    bool anyIndividualRow = false;
    for (std::size_t row = 0; row < content.batchTemplate.rows.size(); ++row) {
        switch (content.batchTemplate.rows[row]) {
        case CapcodeRowKind::Shared: {
            const std::uint32_t capcode = settings.capcodes[row];
            if (capcode < kLowestCapcode || capcode > PagerSettings::kCapcodeMax) {
                plan.errors.push_back("capcode row " + std::to_string(row + 1) +
                                      " of the template is on with capcode " +
                                      std::to_string(capcode) + "; a pager takes 8 .. " +
                                      std::to_string(PagerSettings::kCapcodeMax));
            }
            shared.emplace(capcode, row);
            break;
        }
        case CapcodeRowKind::Individual:
            anyIndividualRow = true;
            break;
        case CapcodeRowKind::Disabled:
            break;
        }
    }
    bool anyIndividualCapcode = false;
    std::map<std::string, std::size_t> serials;
    for (std::size_t i = 0; i < content.assignments.size(); ++i) {
        const Assignment& assignment = content.assignments[i];
        for (const std::optional<std::uint32_t>& capcode : assignment.capcodes) {
            if (!capcode) {
                continue;
            }
            anyIndividualCapcode = true;
            if (const auto found = shared.find(*capcode); found != shared.end()) {
                plan.errors.push_back(PlaceOf(content, i) + ": capcode " +
                                      std::to_string(*capcode) + " is the group capcode of row " +
                                      std::to_string(found->second + 1) +
                                      ", which every pager of this order carries");
            }
        }
        if (assignment.serialNumber && !assignment.serialNumber->empty()) {
            const auto [first, isNew] = serials.try_emplace(*assignment.serialNumber, i);
            if (!isNew) {
                plan.errors.push_back(PlaceOf(content, i) + ": serial \"" +
                                      Latin1ToUtf8(*assignment.serialNumber) +
                                      "\" is already given on " + PlaceOf(content, first->second));
            }
        }
    }
    if ((!anyIndividualRow || !anyIndividualCapcode) && !content.sharedOnly) {
        plan.errors.emplace_back(
            "no pager of this order would carry a capcode of its own: every capcode would be "
            "shared by all of them. Give each pager its own capcodes (a capcodeN column in the "
            "list, or an Auto Increment step other than \"0\" with --count), or add "
            "--shared-only if every pager is meant to carry the same group capcodes");
    }
    if (plan.errors.size() > 20) {
        const std::size_t more = plan.errors.size() - 20;
        plan.errors.resize(20);
        plan.errors.push_back("... and " + std::to_string(more) + " more");
    }
}

} // namespace

OrderPlan PlanFromList(std::string name, const BatchTemplate& batchTemplate,
                       const AssignmentList& list, bool sharedOnly) {
    OrderPlan plan;
    plan.content.name = std::move(name);
    plan.content.batchTemplate = batchTemplate;
    plan.content.numbering = "list";
    plan.content.sharedOnly = sharedOnly;
    plan.content.assignments = list.assignments;
    plan.content.lines = list.lines;
    const PagerSettings& settings = batchTemplate.settings;
    for (std::size_t row = 0; row < plan.content.batchTemplate.rows.size(); ++row) {
        plan.content.batchTemplate.rows[row] = list.capcodeColumns[row] ? CapcodeRowKind::Individual
                                               : settings.capcodeEnabled[row]
                                                   ? CapcodeRowKind::Shared
                                                   : CapcodeRowKind::Disabled;
    }
    Check(plan);
    return plan;
}

OrderPlan PlanFromCount(std::string name, const BatchTemplate& batchTemplate, std::size_t count,
                        bool sharedOnly) {
    OrderPlan plan;
    plan.content.name = std::move(name);
    plan.content.batchTemplate = batchTemplate;
    plan.content.numbering = "count";
    plan.content.sharedOnly = sharedOnly;
    const PagerSettings& settings = batchTemplate.settings;
    for (std::size_t row = 0; row < plan.content.batchTemplate.rows.size(); ++row) {
        const bool steps =
            kAutoIncrementSteps[UsableIncrementStep(settings.autoIncrementStep[row])].delta != 0;
        plan.content.batchTemplate.rows[row] = !settings.capcodeEnabled[row]
                                                   ? CapcodeRowKind::Disabled
                                               : steps ? CapcodeRowKind::Individual
                                                       : CapcodeRowKind::Shared;
    }
    CountedNumbering numbering = NumberPagers(settings, count);
    if (!numbering.error.empty()) {
        plan.errors.push_back(numbering.error);
        return plan;
    }
    plan.content.assignments = std::move(numbering.assignments);
    Check(plan);
    return plan;
}

std::vector<std::string> SharedRowsText(const OrderContent& content) {
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < content.batchTemplate.rows.size(); ++row) {
        if (content.batchTemplate.rows[row] == CapcodeRowKind::Shared) {
            lines.push_back("capcode " + std::to_string(row + 1) + ", " +
                            std::to_string(content.batchTemplate.settings.capcodes[row]) +
                            ", is shared by every pager of this order");
        }
    }
    return lines;
}
