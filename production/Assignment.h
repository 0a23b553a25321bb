#pragma once

#include "image/Generation.h"
#include "image/PagerSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How a capcode row is numbered in an order.
enum class CapcodeRowKind : char {
    Disabled = 'd',   // off on every pager, as the template has it: no capcode at all
    Individual = 'i', // each pager its own capcode (a list column, a counted row that steps)
    Shared = 's',     // every pager the template's capcode, on purpose (a group call)
};
using CapcodeRows = std::array<CapcodeRowKind, PagerSettings::kCapcodes>;

// The rows of a template alone: its enabled rows shared, the others disabled.
CapcodeRows TemplateRows(const PagerSettings& templateSettings);

// What a batch gives one pager: a serial number and the capcodes of its individual rows.
struct Assignment {
    // ISO-8859-1 bytes as PagerSettings holds them, at most 16.
    std::optional<std::string> serialNumber;
    // Index n is row n + 1; a capcode given sets that row and enables it. An individual row
    // without one is off on this pager.
    std::array<std::optional<std::uint32_t>, PagerSettings::kCapcodes> capcodes{};

    bool operator==(const Assignment&) const = default;
};

// The template with the assignment's numbers in it: individual rows take the assignment's
// capcode (or are off without one), shared and disabled rows stay as the template has them.
PagerSettings ApplyAssignment(const PagerSettings& templateSettings, const CapcodeRows& rows,
                              const Assignment& assignment);

// Capcodes separated by blanks, as the journal keeps and lists them.
std::string CapcodesText(const std::vector<std::uint32_t>& capcodes);

// The capcodes of the enabled rows, in row order.
std::vector<std::uint32_t> EnabledCapcodes(const PagerSettings& settings);
