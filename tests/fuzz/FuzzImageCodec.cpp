// Decodes arbitrary images in both programming modes and checks that the encoder rebuilds an
// image whose decode gives back the same settings.
//
// Stable means: decoding the rebuilt image gives exactly the settings the encoder was given,
// as the encoder left them (it pads the frequency text, right-aligns the serial number and
// clears the last byte of each canned-message buffer), apart from the hand-program enable
// flag, which the encoder always clears. Encoding those settings again gives the same image
// byte for byte, and every byte no setting owns is zero.
#include "FuzzCheck.h"

#include "image/Generation.h"
#include "image/ImageCodec.h"
#include "image/PagerImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr LocalDateTime kStampTime{2026, 3, 4, 5, 6};

// The addresses an encode may set; everything else of the image is reserved and stays zero.
struct AddressRange {
    std::size_t begin;
    std::size_t end;
};
constexpr AddressRange kOwnedRanges[] = {
    {0, 23}, {31, 83}, {92, 102}, {103, 111}, {128, 217}, {256, 272}, {288, 296}, {1024, 5120},
};

// Bits of the packed option bytes and other shared bytes that some setting or fixed value owns.
struct OwnedBits {
    std::size_t address;
    std::uint8_t mask;
};
constexpr OwnedBits kOwnedBits[] = {
    {4, 0xAD}, {5, 0xFF}, {6, 0x07}, {7, 0xFF}, {8, 0x7D}, {9, 0x14}, {161, 0x3C},
};

bool Owned(std::size_t address) {
    return std::ranges::any_of(kOwnedRanges, [address](const AddressRange& range) {
        return address >= range.begin && address < range.end;
    });
}

void CheckMode(const PagerImage& original, Generation mode) {
    const std::string name = mode == Generation::V1 ? "V1" : "V2";

    PagerSettings decoded;
    DecodeImage(original, mode, decoded);

    PagerSettings encoded = decoded;
    PagerImage rebuilt{};
    EncodeImage(encoded, mode, kStampTime, rebuilt);

    // The encoder changes only the settings it pads or clears.
    PagerSettings expectedAfterEncode = decoded;
    expectedAfterEncode.frequencyText = encoded.frequencyText;
    expectedAfterEncode.serialNumber = encoded.serialNumber;
    for (auto& text : expectedAfterEncode.cannedMessages) {
        text.back() = 0;
    }
    FuzzCheckSameSettings(expectedAfterEncode, encoded, name + " encode changed a setting");
    FuzzCheck(encoded.frequencyText.size() == PagerSettings::kFrequencyTextWidth &&
                  encoded.serialNumber.size() == PagerSettings::kSerialNumberWidth,
              name + " encode left a text unpadded");

    PagerSettings redecoded;
    DecodeImage(rebuilt, mode, redecoded);
    PagerSettings expected = encoded;
    expected.handProgramEnable = 0;
    FuzzCheckSameSettings(expected, redecoded, name + " decode-encode-decode");

    PagerSettings again = redecoded;
    PagerImage rebuiltAgain{};
    EncodeImage(again, mode, kStampTime, rebuiltAgain);
    FuzzCheck(rebuiltAgain == rebuilt, name + " second encode differs from the first");

    const auto& identity = mode == Generation::V1 ? kIdentityV1 : kIdentityV2;
    FuzzCheck(std::equal(identity.begin(), identity.end(), rebuilt.begin()),
              name + " identity bytes");
    for (std::size_t address = 0; address < rebuilt.size(); ++address) {
        if (!Owned(address) && rebuilt[address] != 0) {
            FuzzFailure(name + " reserved byte " + std::to_string(address) + " is not zero");
        }
    }
    for (const OwnedBits& bits : kOwnedBits) {
        FuzzCheck((rebuilt[bits.address] & ~bits.mask) == 0,
                  name + " unowned bits set in byte " + std::to_string(bits.address));
    }
    for (std::size_t address = 47; address < 55; ++address) {
        FuzzCheck((rebuilt[address] & 0xC0) == 0, name + " alert byte bits 6 and 7");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A short input is the start of an otherwise zero image, as a short file would load.
    PagerImage image{};
    std::memcpy(image.data(), data, std::min(size, image.size()));
    const PagerImage untouched = image;
    CheckMode(image, Generation::V1);
    CheckMode(image, Generation::V2);
    FuzzCheck(image == untouched, "decoding changed the image");

    // Decoding in one mode over settings left by the other must not break anything either.
    PagerSettings mixed;
    DecodeImage(image, Generation::V2, mixed);
    DecodeImage(image, Generation::V1, mixed);
    PagerImage rebuilt{};
    EncodeImage(mixed, Generation::V2, std::nullopt, rebuilt);
    return 0;
}
