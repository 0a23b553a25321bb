#include "image/FrequencyBand.h"

namespace {

constexpr const char* kInvalid = "Frequency invalid ";
constexpr const char* k138 = "Frequency band 138MHz - 143MHz ";
constexpr const char* k143 = "Frequency band 143MHz - 151MHz ";
constexpr const char* k151 = "Frequency band 151MHz - 159MHz ";
constexpr const char* k159 = "Frequency band 159MHz - 167MHz ";
constexpr const char* k167 = "Frequency band 167MHz - 174MHz ";
constexpr const char* k428 = "Frequency band 428MHz - 432MHz ";
constexpr const char* k432 = "Frequency band 432MHz - 436MHz ";
constexpr const char* k438 = "Frequency band 438MHz - 442MHz ";
constexpr const char* k442 = "Frequency band 442MHz - 446MHz ";
constexpr const char* k444 = "Frequency band 444MHz - 448MHz ";
constexpr const char* k448 = "Frequency band 448MHz - 452MHz ";
constexpr const char* k452 = "Frequency band 452MHz - 456MHz ";
constexpr const char* k456 = "Frequency band 456MHz - 460MHz ";
constexpr const char* k460 = "Frequency band 460MHz - 464MHz ";
constexpr const char* k464 = "Frequency band 464MHz - 468MHz ";
constexpr const char* k468 = "Frequency band 468MHz - 472MHz ";
constexpr const char* k928 = "Frequency band 928MHz - 932MHz ";

constexpr int kAny = -1;
constexpr int kMin = 0x00;
constexpr int kMax = 0xFF;

// The first row whose first two characters match and whose third falls in [low, high] wins;
// kAny matches every second character.
struct BandRow {
    int first;
    int second;
    int low;
    int high;
    const char* label;
};

// clang-format off
constexpr BandRow kBands[] = {
    {'1', '3', kMin, '6',  kInvalid},
    {'1', '3', '7',  kMax, k138},
    {'1', '4', kMin, '2',  k138},
    {'1', '4', '3',  kMax, k143},
    {'1', '5', kMin, '0',  k143},
    {'1', '5', '1',  '8',  k151},
    {'1', '5', '9',  kMax, k159},
    {'1', '6', kMin, '6',  k159},
    {'1', '6', '7',  kMax, k167},
    {'1', '7', kMin, kMax, k167},
    {'4', '2', kMin, '6',  kInvalid},
    {'4', '2', '7',  kMax, k428},
    {'4', '3', kMin, '0',  k428},
    {'4', '3', '1',  '5',  k432},
    {'4', '3', '6',  kMax, k438},
    {'4', '4', kMin, '1',  k438},
    {'4', '4', '2',  '5',  k442},
    {'4', '4', '6',  '7',  k444},
    {'4', '4', '8',  kMax, k448},
    {'4', '5', kMin, '1',  k448},
    {'4', '5', '2',  '5',  k452},
    {'4', '5', '6',  kMax, k456},
    {'4', '6', kMin, '3',  k460},
    {'4', '6', '4',  '7',  k464},
    {'4', '6', '8',  kMax, k468},
    {'4', '7', kMin, kMax, k468},
    {'9', kAny, kMin, kMax, k928},
};
// clang-format on

int CodeAt(std::string_view text, std::size_t index) {
    return index < text.size() ? static_cast<unsigned char>(text[index]) : 0;
}

} // namespace

std::string FrequencyBandLabel(std::string_view text) {
    const int first = CodeAt(text, 0);
    const int second = CodeAt(text, 1);
    const int third = CodeAt(text, 2);
    for (const BandRow& row : kBands) {
        if (row.first == first && (row.second == kAny || row.second == second) &&
            third >= row.low && third <= row.high) {
            return row.label;
        }
    }
    return kInvalid;
}
