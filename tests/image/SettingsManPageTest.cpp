// man pager-image documents every settings key: each key of the field table has an entry that
// gives the form of its value and, for a list setting, the numbers of its list; no entry names a
// key the files do not have.
#include "image/SettingsFields.h"
#include "image/SettingsJson.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using Phrases = std::map<std::string, std::vector<std::string>>;

// The entries of the SETTINGS FILES section: ".TP", ".B key", then the text up to the next
// request, its lines joined by blanks.
std::map<std::string, std::string> ManPageEntries() {
    std::ifstream in(PAGER_IMAGE_MAN_PAGE);
    std::map<std::string, std::string> entries;
    std::string line;
    bool inSection = false;
    std::string* entry = nullptr;
    std::string previous;
    while (std::getline(in, line)) {
        if (line.starts_with(".SH ")) {
            inSection = line == ".SH SETTINGS FILES";
        }
        if (!inSection) {
            continue;
        }
        if (previous == ".TP" && line.starts_with(".B ")) {
            entry = &entries[line.substr(3)];
        } else if (line.starts_with(".")) {
            entry = nullptr;
        } else if (entry != nullptr) {
            *entry += (entry->empty() ? "" : " ") + line;
        }
        previous = line;
    }
    return entries;
}

std::string Form(std::uint8_t) {
    return "";
}
std::string Form(std::uint32_t) {
    return "";
}
template <typename T, std::size_t N> std::string Form(const std::array<T, N>&) {
    const std::string inner = Form(T{});
    // "array of 8 arrays of 4"
    return "array of " + std::to_string(N) + (inner.empty() ? "" : " arrays" + inner.substr(5));
}

std::string Range(std::uint8_t items) {
    return "0.." + std::to_string(items - 1);
}

// What each key's entry must say, from the field table.
struct EntryPhrases {
    Phrases& phrases;

    template <typename Field> void operator()(const char* name, const Field& field) {
        const std::string form = Form(field);
        phrases[name] = form.empty() ? std::vector<std::string>{} : std::vector{form};
    }
    template <typename Field>
    void operator()(const char* name, const Field& field, ListItems items) {
        const std::string form = Form(field);
        const std::string range = items.v1 == items.v2
                                      ? Range(items.v1)
                                      : Range(items.v1) + " in V1, " + Range(items.v2) + " in V2";
        phrases[name] = {(form.empty() ? "list" : form + " lists") + ", " + range};
    }
    void operator()(const char* name,
                    const std::array<PagerSettings::CannedText, PagerSettings::kCannedMessages>&) {
        phrases[name] = {"array of 32 texts of at most 127 characters"};
    }
    void operator()(const char* name, const std::string&, std::size_t width) {
        phrases[name] = {"text of at most " + std::to_string(width) + " characters"};
    }
};

TEST(SettingsManPage, EveryKeyHasItsEntry) {
    Phrases expected;
    const PagerSettings settings;
    VisitSettingFields(settings, EntryPhrases{expected});
    expected[kProgrammingModeKey] = {"number, 0 or 1"};
    const std::map<std::string, std::string> entries = ManPageEntries();
    ASSERT_FALSE(entries.empty()) << "no settings keys in " << PAGER_IMAGE_MAN_PAGE;
    for (const auto& [key, phrases] : expected) {
        const auto entry = entries.find(key);
        ASSERT_NE(entry, entries.end()) << "no entry for " << key;
        for (const std::string& phrase : phrases) {
            EXPECT_NE(entry->second.find(phrase), std::string::npos)
                << key << ": \"" << entry->second << "\" does not say \"" << phrase << "\"";
        }
    }
    for (const auto& [key, text] : entries) {
        EXPECT_TRUE(expected.contains(key)) << "entry for unknown key " << key;
    }
}

} // namespace
