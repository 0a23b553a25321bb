#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

// The words of a ledger server's connection text, without libpq: what messages may show.

// `connection` with any password replaced by "***": the user:password@ of a URI, its
// password= query parameter, and a password= word of a keyword string.
std::string RedactedConnectionText(std::string_view connection);

// `message` with every password `connection` holds replaced by "***".
std::string WithoutSecrets(std::string message, std::string_view connection);

inline bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
