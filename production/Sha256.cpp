#include "production/Sha256.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 is not available from libcrypto");
    }
    constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * std::size_t{size});
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHexDigits[digest[i] >> 4];
        hex += kHexDigits[digest[i] & 0x0F];
    }
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    return Sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}
