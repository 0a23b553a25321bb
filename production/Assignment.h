#pragma once

#include "image/Generation.h"
#include "image/PagerSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a batch gives one pager: a serial number and capcodes for some of the eight rows.
// Whatever it leaves out keeps the template's value.
struct Assignment {
    // ISO-8859-1 bytes as PagerSettings holds them, at most 16.
    std::optional<std::string> serialNumber;
    // Index n is row n + 1; a capcode given sets that row and enables it.
    std::array<std::optional<std::uint32_t>, PagerSettings::kCapcodes> capcodes{};

    bool operator==(const Assignment&) const = default;
};

// The template with the assignment's numbers in it.
PagerSettings ApplyAssignment(const PagerSettings& templateSettings, const Assignment& assignment);

// The capcodes the assignment gives, in row order: the numbers a batch hands out once only.
std::vector<std::uint32_t> AssignedCapcodes(const Assignment& assignment);

// The capcodes of the enabled rows, in row order.
std::vector<std::uint32_t> EnabledCapcodes(const PagerSettings& settings);

// Names a batch by what it programs: every setting of the template, its generation and every
// assignment in order, as a SHA-256 in hex. The same command run again
// gives the same key; any change to the template or the numbering gives another.
std::string BatchKey(const PagerSettings& templateSettings, Generation mode,
                     const std::vector<Assignment>& assignments);
