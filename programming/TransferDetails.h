#pragma once

#include "image/PagerImage.h"
#include "programming/BlockRegions.h"

#include <cstdint>
#include <span>
#include <string>

// The words of the details areas and command-line messages: what exactly went wrong.

// "0x012C" for HexText(300, 4).
std::string HexText(unsigned value, int digits);

// The first few addresses, within the regions, where two memories differ, with both values;
// empty when they agree. `firstName` and `secondName` say what each memory is.
std::string MemoryDifferenceText(const PagerImage& first, const PagerImage& second,
                                 std::span<const BlockRegion> regions, const char* firstName,
                                 const char* secondName);

// "The identity bytes are 0xFF 0xFF 0xFF 0xFF; a V1 pager has "2011", a V2 pager "W50C"."
std::string IdentityText(const std::uint8_t* fourBytes);

// The first byte of a block that came back different.
std::string BlockMismatchText(std::uint32_t address, const std::uint8_t* sent,
                              const std::uint8_t* echoed);
