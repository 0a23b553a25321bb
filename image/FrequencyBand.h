#pragma once

#include <string>
#include <string_view>

// The band label shown under the frequency edit, chosen by the character codes of the first
// three characters of the text (single bytes, compared unsigned). A text shorter than three
// characters reads its missing characters as code 0, which is below every digit. The label is
// information only; it never refuses a text.
std::string FrequencyBandLabel(std::string_view text);
