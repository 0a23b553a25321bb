#include "CradleRecorder.h"
#include "SimOptions.h"

#include "link/backends/VirtualCradleFolder.h"
#include "link/backends/VirtualCradleServer.h"
#include "link/sim/CradleSimulator.h"

#include <CLI/CLI.hpp>

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls
#include <sys/prctl.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>

// pager-cradle-sim: presents one simulated cradle, with a pager (or a stream of pagers) in it,
// as a virtual cradle the programmer finds like a USB one.

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

// Signals are taken by sigtimedwait, so every thread must have them blocked.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    }
    // True when SIGINT or SIGTERM came within the time.
    bool Wait(std::chrono::milliseconds time) const {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((time - seconds).count() * 1'000'000)};
        return sigtimedwait(&set_, nullptr, &timeout) > 0;
    }

private:
    sigset_t set_{};
};

// Announces the cradle and says so; exits with the reason when it cannot.
std::unique_ptr<VirtualCradleServer> Announce(std::shared_ptr<CradleSimulator> cradle,
                                              const std::filesystem::path& folder,
                                              const VirtualCradleServer::Options& options,
                                              CradleRecorder& recorder, std::string_view said,
                                              int& exitStatus) {
    std::string error;
    VirtualCradleServer::StartFailure failure = VirtualCradleServer::StartFailure::None;
    const auto held = recorder.Hold();
    std::unique_ptr<VirtualCradleServer> server =
        VirtualCradleServer::Start(std::move(cradle), folder, options, error, &failure);
    if (!server) {
        std::cerr << "pager-cradle-sim: " << error << "\n";
        exitStatus =
            failure == VirtualCradleServer::StartFailure::NameTaken ? kExitBadInput : kExitFailed;
        return nullptr;
    }
    recorder.SayHeld(std::string(said) + ": " + server->socketPath().string());
    return server;
}

} // namespace

int main(int argc, char** argv) {
    // Replies are due at exact times; the kernel's default timer slack would make each one up
    // to 50 microseconds late.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    CLI::App app{"Present a simulated pager cradle as a virtual cradle."};
    SimOptions options;
    AddSimOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitBadInput;
    }

    CradleFaultPlan plan;
    PagerImage memory{};
    std::optional<std::string> problem = CheckSimOptions(options);
    if (!problem)
        problem = BuildFaultPlan(options, plan);
    if (!problem)
        problem = LoadMemory(options, memory);
    CradleRecorder::Files files{options.memoryFile, std::nullopt};
    if (!problem && !options.memoryDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.memoryDir, error);
        if (error)
            problem = options.memoryDir + ": " + error.message();
        files.streamMemories.emplace(options.memoryDir);
    }
    if (problem) {
        std::cerr << "pager-cradle-sim: " << *problem << "\n";
        return kExitBadInput;
    }
    auto cradle = std::make_shared<CradleSimulator>(memory);
    cradle->SetFaults(plan);
    if (options.pagers)
        cradle->StartStream(StreamPlanOf(options), std::make_shared<SteadyLinkClock>());

    const StopSignals stopSignals;
    CradleRecorder recorder(cradle, options.verbose, std::move(files));
    VirtualCradleServer::Options serverOptions;
    serverOptions.serialNumber = options.deviceString;
    serverOptions.description = options.description;
    serverOptions.name = options.name;
    serverOptions.onExchange = [&recorder](const CradleExchange& exchange) {
        recorder.OnExchange(exchange);
    };
    const std::filesystem::path folder =
        options.folder.empty() ? VirtualCradleFolder() : std::filesystem::path(options.folder);

    int exitStatus = kExitOk;
    std::unique_ptr<VirtualCradleServer> server =
        Announce(cradle, folder, serverOptions, recorder, "ready", exitStatus);
    if (!server)
        return exitStatus;
    recorder.CollectPagerEvents();
    // A cable pulled and plugged in again: the cradle comes back under the same name.
    serverOptions.name = server->name();

    constexpr std::chrono::milliseconds kPollInterval{50};
    for (;;) {
        bool stopped = false;
        while (!server->unplugged() && !stopped) {
            stopped = stopSignals.Wait(kPollInterval);
            recorder.CollectPagerEvents();
        }
        server->Stop();
        if (stopped)
            return kExitOk;
        recorder.Say("unplugged");
        if (!options.replugMs || stopSignals.Wait(std::chrono::milliseconds(*options.replugMs)))
            return kExitOk;
        cradle->Plug();
        server = Announce(cradle, folder, serverOptions, recorder, "replugged", exitStatus);
        if (!server)
            return exitStatus;
    }
}
