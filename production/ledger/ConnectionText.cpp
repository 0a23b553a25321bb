#include "production/ledger/ConnectionText.h"

#include <cctype>
#include <vector>

namespace {

// Redacts the value of a password= query parameter of a URI's query part, or of a keyword
// string; `secrets` collects what was removed.
void RedactUri(std::string_view text, std::string& out, std::vector<std::string>& secrets) {
    const std::size_t scheme = text.find("://") + 3;
    out.append(text.substr(0, scheme));
    // libpq's user info ends at the first '@' before any '/'.
    std::size_t at = scheme;
    while (at < text.size() && text[at] != '@' && text[at] != '/') {
        ++at;
    }
    std::size_t rest = scheme;
    if (at < text.size() && text[at] == '@') {
        const std::string_view user = text.substr(scheme, at - scheme);
        const std::size_t colon = user.find(':');
        if (colon != std::string_view::npos) {
            out.append(user.substr(0, colon));
            out.append(":***");
            secrets.emplace_back(user.substr(colon + 1));
        } else {
            out.append(user);
        }
        rest = at;
    }
    const std::size_t query = text.find('?', rest);
    if (query == std::string_view::npos) {
        out.append(text.substr(rest));
        return;
    }
    out.append(text.substr(rest, query + 1 - rest));
    for (std::size_t start = query + 1; start <= text.size();) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && EqualsNoCase(pair.substr(0, equals), "password")) {
            out.append(pair.substr(0, equals + 1));
            out.append("***");
            secrets.emplace_back(pair.substr(equals + 1));
        } else {
            out.append(pair);
        }
        if (end < text.size()) {
            out += '&';
        }
        start = end + 1;
    }
}

bool IsUri(std::string_view text) {
    return text.substr(0, 13) == "postgresql://" || text.substr(0, 11) == "postgres://";
}

std::string Redact(std::string_view text, std::vector<std::string>& secrets);

void RedactKeywords(std::string_view text, std::string& out, std::vector<std::string>& secrets) {
    std::size_t i = 0;
    const auto spaces = [&] {
        while (i < text.size() && IsSpace(text[i])) {
            out += text[i++];
        }
    };
    for (;;) {
        spaces();
        if (i == text.size()) {
            return;
        }
        const std::size_t keyStart = i;
        while (i < text.size() && text[i] != '=' && !IsSpace(text[i])) {
            ++i;
        }
        const std::string_view keyword = text.substr(keyStart, i - keyStart);
        out.append(keyword);
        spaces();
        if (i == text.size() || text[i] != '=') {
            // Not words libpq reads: what follows could be anything, a password included.
            if (i < text.size()) {
                out += "...";
            }
            return;
        }
        out += text[i++];
        spaces();
        std::string value;
        const std::size_t valueStart = i;
        if (i < text.size() && text[i] == '\'') {
            for (++i; i < text.size() && text[i] != '\''; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                value += text[i];
            }
            if (i < text.size()) {
                ++i;
            }
        } else {
            for (; i < text.size() && !IsSpace(text[i]); ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                value += text[i];
            }
        }
        if (EqualsNoCase(keyword, "password")) {
            out += "***";
            secrets.push_back(value);
        } else if (EqualsNoCase(keyword, "dbname") &&
                   (IsUri(value) || value.find('=') != std::string::npos)) {
            // libpq reads a dbname that is itself a connection text as one.
            const std::string inner = Redact(value, secrets);
            out += inner == value ? std::string(text.substr(valueStart, i - valueStart))
                                  : "'" + inner + "'";
        } else {
            out.append(text.substr(valueStart, i - valueStart));
        }
    }
}

std::string Redact(std::string_view text, std::vector<std::string>& secrets) {
    std::string out;
    if (IsUri(text)) {
        RedactUri(text, out, secrets);
    } else {
        RedactKeywords(text, out, secrets);
    }
    return out;
}

// `message` with every password of `connection` removed, in case libpq quoted one.
} // namespace

std::string WithoutSecrets(std::string message, std::string_view connection) {
    std::vector<std::string> secrets;
    Redact(connection, secrets);
    for (const std::string& secret : secrets) {
        if (secret.empty()) {
            continue;
        }
        for (std::size_t at = message.find(secret); at != std::string::npos;
             at = message.find(secret, at + 3)) {
            message.replace(at, secret.size(), "***");
        }
    }
    return message;
}

std::string RedactedConnectionText(std::string_view connection) {
    std::vector<std::string> secrets;
    return Redact(connection, secrets);
}
