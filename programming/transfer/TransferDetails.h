#pragma once

#include "image/PagerImage.h"
#include "programming/transfer/BlockRegions.h"
#include "programming/transfer/TransferOutcome.h"

#include <cstdint>
#include <span>
#include <string>

// The facts of a transfer and their words, for details areas and command-line messages.

// "0x012C" for HexText(300, 4).
std::string HexText(unsigned value, int digits);

// Where, within the regions, two memories differ: the first few bytes and the count.
MemoryDifferences FindDifferences(const PagerImage& first, const PagerImage& second,
                                  std::span<const BlockRegion> regions);
// "2 bytes differ, first at address 0x0010 (16): 0x01 <firstName>, 0x02 <secondName>; ...";
// empty when nothing differs.
std::string DifferencesText(const MemoryDifferences& differences, const char* firstName,
                            const char* secondName);
// "The identity bytes are 0xFF 0xFF 0xFF 0xFF; a V1 pager has "2011", a V2 pager "W50C"."
std::string IdentityText(const std::uint8_t* fourBytes);

// "The pager in the cradle is a V2 pager ("W50C"); the settings are for V1."
std::string OtherGenerationText(Generation pager, Generation settings);

// The first byte of a block that came back different, and its words.
EchoMismatch FindEchoMismatch(std::uint32_t address, const std::uint8_t* sent,
                              const std::uint8_t* echoed);
std::string EchoMismatchText(const EchoMismatch& mismatch);
