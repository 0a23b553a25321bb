// fault_soak: read and write sessions against the simulated cradle with random link faults.
// Prints how many sessions ran, the faults by kind and the outcomes; exits non-zero when any
// session broke a rule (each listed) or hung.
#include "SoakSession.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Fault soak of the read and write procedures against the simulated cradle."};
    std::uint64_t seed = 20240517;
    int sessions = 3000;
    app.add_option("--seed", seed, "seed of the random faults (default 20240517)");
    app.add_option("--sessions", sessions, "number of sessions (default 3000)")
        ->check(CLI::PositiveNumber);
    CLI11_PARSE(app, argc, argv);

    const auto started = std::chrono::steady_clock::now();
    SoakRunner runner(seed);
    int brokenSessions = 0;
    for (int session = 0; session < sessions; ++session) {
        const std::vector<std::string> broken = runner.RunSession();
        if (broken.empty()) {
            continue;
        }
        ++brokenSessions;
        for (const std::string& what : broken) {
            std::cout << "session " << session << ": " << what << '\n';
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::cout << "fault soak: seed " << seed << ", " << sessions << " sessions (" << runner.reads
              << " reads, " << runner.writes << " writes) in " << seconds << " s\n";
    std::cout << "faults:\n";
    for (const auto& [fault, count] : runner.faults) {
        std::cout << "  " << SoakFaultName(fault) << ": " << count << '\n';
    }
    std::cout << "outcomes:\n";
    for (const auto& [outcome, count] : runner.outcomes) {
        std::cout << "  " << SoakOutcomeName(outcome) << ": " << count << '\n';
    }
    std::cout << "sessions breaking a rule: " << brokenSessions << '\n';
    return brokenSessions == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
