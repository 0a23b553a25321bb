#pragma once

#include "image/PagerSettings.h"
#include "image/SettingsJson.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// A broken rule ends the run the way libFuzzer records a crash: the input is kept.
[[noreturn]] inline void FuzzFailure(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

inline void FuzzCheck(bool holds, const std::string& what) {
    if (!holds) {
        FuzzFailure(what);
    }
}

// Names the first setting that differs, so a failure report says what drifted.
inline void FuzzCheckSameSettings(const PagerSettings& expected, const PagerSettings& actual,
                                  const std::string& what) {
    if (expected == actual) {
        return;
    }
    const auto a = SettingsToJson(expected, Generation::V1, UnlistedIndexes::AsStored);
    const auto b = SettingsToJson(actual, Generation::V1, UnlistedIndexes::AsStored);
    for (const auto& item : a.items()) {
        if (item.value() != b.at(item.key())) {
            FuzzFailure(what + ": " + item.key() + " " + item.value().dump() + " became " +
                        b.at(item.key()).dump());
        }
    }
    FuzzFailure(what + ": the canned-message buffers differ after their first zero byte");
}
