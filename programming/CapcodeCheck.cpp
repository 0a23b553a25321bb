#include "programming/CapcodeCheck.h"

#include "programming/CapcodeIncrement.h"

std::optional<CapcodeRefusal> FindCapcodeRefusal(const PagerSettings& settings) {
    for (int row = 0; row < PagerSettings::kCapcodes; ++row) {
        const std::uint32_t capcode = settings.capcodes[row];
        const std::string where =
            "Capcode " + std::to_string(row + 1) + " is " + std::to_string(capcode);
        if (capcode == 0 && settings.capcodeEnabled[row] != 0) {
            return CapcodeRefusal{CapcodeRefusal::Problem::ZeroButEnabled, row, capcode,
                                  where + " but enabled; a pager takes capcodes 8 to 2097151."};
        }
        if (capcode != 0 && capcode < kLowestCapcode) {
            return CapcodeRefusal{CapcodeRefusal::Problem::BelowEight, row, capcode,
                                  where + "; a pager takes capcodes 8 to 2097151 (0 marks a row "
                                          "not in use)."};
        }
    }
    return std::nullopt;
}
