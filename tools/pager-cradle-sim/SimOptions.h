#pragma once

#include "image/PagerImage.h"
#include "link/sim/CradleFaults.h"
#include "link/sim/PagerStream.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Everything pager-cradle-sim is told on its command line.
struct SimOptions {
    std::string memoryFile;
    std::string pager = "v2";
    std::string deviceString = "wex_writer";
    std::string description = "USBXpress Device";
    std::string folder;
    std::string name;
    unsigned delayMs = 0;
    std::optional<std::uint64_t> unplugAfter;
    std::optional<unsigned> replugMs;
    std::vector<std::uint64_t> shortReplyAt;
    std::vector<std::uint64_t> badStatusAt;
    std::vector<std::uint64_t> corruptEchoAt;
    std::vector<std::uint64_t> noReplyAt;
    std::vector<std::string> faultAt; // "N=name"
    std::optional<std::uint16_t> flakyByte;
    std::uint32_t faultsPerMillion = 0;
    std::uint64_t seed = 1;
    std::optional<std::uint32_t> pagers;
    unsigned settleMs = 100;
    unsigned emptyMs = 500;
    std::string memoryDir;
    bool verbose = false;
};

void AddSimOptions(CLI::App& app, SimOptions& options);

// What is wrong with options CLI11 cannot judge alone, or nothing.
std::optional<std::string> CheckSimOptions(const SimOptions& options);
// Turns the fault options into the simulator's plan; an unreadable --fault gives an error text.
std::optional<std::string> BuildFaultPlan(const SimOptions& options, CradleFaultPlan& plan);
// The pager of a cradle without a stream: the factory pager, then the memory file over it.
std::optional<std::string> LoadMemory(const SimOptions& options, PagerImage& memory);
PagerStreamPlan StreamPlanOf(const SimOptions& options);
