#pragma once

#include "production/ledger/Ledger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

// A ledger file in a fresh folder, local time two hours east of UTC for exact times, and a
// clock that starts at 2025-03-14 09:00:00 UTC and moves one second at every reading.
class LedgerTest : public testing::Test {
public:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("ledger-test-" + std::to_string(getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const char* zone = std::getenv("TZ");
        savedZone = zone ? std::optional<std::string>(zone) : std::nullopt;
        setenv("TZ", "<+02>-2", 1);
        tzset();
    }
    void TearDown() override {
        if (savedZone) {
            setenv("TZ", savedZone->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        std::filesystem::remove_all(folder);
    }

    Ledger::Clock Clock() {
        return [this] {
            return std::chrono::system_clock::time_point(
                std::chrono::seconds(1741942800 + ticks++));
        };
    }
    std::string path() const { return (folder / "ledger.db").string(); }

    // An order of `count` pagers: serial "<prefix><n>" (by default the first order's "SN-",
    // the others' their name), row 1 individual from `first` in steps
    // of 8, row 2 shared (capcode `shared`, or off when 0).
    static OrderContent Order(const std::string& name, std::size_t count, std::uint32_t first,
                              std::uint32_t shared = 0, std::string prefix = {}) {
        if (prefix.empty()) {
            prefix = name == "depot" || name == "first" || name == "soak" ? "SN-" : name + "-";
        }
        OrderContent content;
        content.name = name;
        content.numbering = "list";
        content.batchTemplate.mode = Generation::V2;
        PagerSettings& settings = content.batchTemplate.settings;
        settings.capcodes = {0, shared, 0, 0, 0, 0, 0, 0};
        settings.capcodeEnabled = {0, shared ? std::uint8_t{1} : std::uint8_t{0}, 0, 0, 0, 0, 0, 0};
        content.batchTemplate.rows = TemplateRows(settings);
        content.batchTemplate.rows[0] = CapcodeRowKind::Individual;
        for (std::size_t n = 0; n < count; ++n) {
            Assignment assignment;
            assignment.serialNumber = prefix + std::to_string(n + 1);
            assignment.capcodes[0] = first + 8 * static_cast<std::uint32_t>(n);
            content.assignments.push_back(assignment);
            content.lines.push_back(n + 2);
        }
        return content;
    }

    static AttemptFacts Facts(const std::string& cradle = "usb:3-1.4") {
        return {{"bench-1", cradle}, Generation::V2, {2025, 3, 14, 11, 0}, "", ""};
    }

    std::filesystem::path folder;
    std::optional<std::string> savedZone;
    int ticks = 0;
};
