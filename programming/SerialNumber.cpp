#include "programming/SerialNumber.h"

namespace {

// Advances one character; returns true when it wrapped and the carry goes on to the left.
bool AdvanceCharacter(char& character) {
    const auto code = static_cast<unsigned char>(character);
    if (code >= '0' && code <= '8') {
        ++character;
        return false;
    }
    if (code == '9') {
        character = '0';
        return true;
    }
    if (code >= '@' && code <= 'Y') {
        ++character;
        return false;
    }
    if (code == 'Z') {
        character = 'A';
        return true;
    }
    return true;
}

} // namespace

std::string AdvanceSerialNumber(std::string_view serialNumber) {
    std::string field(kSerialFieldSize, ' ');
    field += serialNumber;
    field.erase(0, field.size() - kSerialFieldSize);

    // From the last character to the first, like an odometer.
    for (std::size_t position = field.size(); position-- > 0;) {
        if (!AdvanceCharacter(field[position])) {
            break;
        }
    }
    return field;
}

std::string UnalignedSerialNumber(std::string_view serialNumber) {
    const std::size_t first = serialNumber.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string()
                                           : std::string(serialNumber.substr(first));
}
