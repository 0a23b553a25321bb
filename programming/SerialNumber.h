#pragma once

#include <string>
#include <string_view>

// The serial number as a 16-character field, right-aligned with blanks.
inline constexpr std::size_t kSerialFieldSize = 16;

// The serial number of the next pager in a batch: right-aligns the number in 16 characters
// (longer numbers keep their last 16), then counts up from the last character like an
// odometer. Digits run '0'..'9' and letters '@'..'Z' ('@' advances to 'A', 'Z' wraps to 'A');
// a wrap carries to the left, every other character is passed over, and a carry out of the
// first character is dropped.
std::string AdvanceSerialNumber(std::string_view serialNumber);

// The serial number without the blanks that right-align it in its field, as people read it.
std::string UnalignedSerialNumber(std::string_view serialNumber);
