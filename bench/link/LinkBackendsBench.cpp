// Speed of the cradle link: exchanges per second through the in-process simulator and through a
// virtual cradle's socket, and what one reopen attempt costs while no cradle is attached (the
// window makes one every 20 ms; the goal is under 0.2 ms, i.e. under 1% of a core).

#include "link/CradleProtocol.h"
#include "link/backends/LibusbBackend.h"
#include "link/backends/VirtualCradleBackend.h"
#include "link/backends/VirtualCradleServer.h"
#include "link/sim/InProcessCradleBackend.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

namespace {

constexpr double kPollPeriodSeconds = 0.020;

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/pager-bench-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path cradles() const { return path_ / "pager-cradles"; }

private:
    std::filesystem::path path_;
};

// Reads block 0 over and over: one request and one reply per iteration.
void RunExchanges(benchmark::State& state, UsbXpressLibrary& library) {
    CC8051f320Usb channel(library);
    TransferState transfer;
    CradleProtocol protocol(channel, transfer);
    if (!channel.Open(kCradleDeviceString)) {
        state.SkipWithError("no cradle");
        return;
    }
    for (auto _ : state) {
        if (!protocol.ReadBlock(0)) {
            state.SkipWithError("exchange failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ExchangeInProcess(benchmark::State& state) {
    auto backend = std::make_shared<InProcessCradleBackend>();
    backend->AddCradle(std::make_shared<CradleSimulator>());
    std::unique_ptr<UsbDeviceLayer> library = MakeLayerOver(backend);
    RunExchanges(state, *library);
}
BENCHMARK(BM_ExchangeInProcess);

void BM_ExchangeVirtualCradle(benchmark::State& state) {
    ScratchFolder folder;
    std::string error;
    auto server = VirtualCradleServer::Start(std::make_shared<CradleSimulator>(), folder.cradles(),
                                             {}, error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    UsbDeviceLayer library({std::make_shared<VirtualCradleBackend>(folder.cradles())});
    RunExchanges(state, library);
}
BENCHMARK(BM_ExchangeVirtualCradle)->UseRealTime();

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One timer tick while the channel is closed: enumerate, find nothing, fail to open.
void RunIdlePoll(benchmark::State& state, std::vector<std::shared_ptr<UsbBackend>> backends) {
    UsbDeviceLayer library(std::move(backends));
    CC8051f320Usb channel(library);
    const double cpuBefore = ThreadCpuSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(channel.Open(kCradleDeviceString));
    const double cpuPerPoll = (ThreadCpuSeconds() - cpuBefore) / state.iterations();
    // Share of one core the 20 ms poll takes, in percent.
    state.counters["idle_core_percent"] = 100.0 * cpuPerPoll / kPollPeriodSeconds;
}

void BM_IdlePollLibusb(benchmark::State& state) {
    RunIdlePoll(state, {std::make_shared<LibusbBackend>()});
}
BENCHMARK(BM_IdlePollLibusb);

void BM_IdlePollEmptyFolder(benchmark::State& state) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.cradles());
    std::filesystem::permissions(folder.cradles(), std::filesystem::perms::owner_all);
    RunIdlePoll(state, {std::make_shared<VirtualCradleBackend>(folder.cradles())});
}
BENCHMARK(BM_IdlePollEmptyFolder);

// A virtual cradle with another device string is listed every tick but never opened.
void BM_IdlePollOtherCradle(benchmark::State& state) {
    ScratchFolder folder;
    std::string error;
    VirtualCradleServer::Options options;
    options.serialNumber = "other";
    auto server = VirtualCradleServer::Start(std::make_shared<CradleSimulator>(), folder.cradles(),
                                             options, error);
    RunIdlePoll(state, {std::make_shared<VirtualCradleBackend>(folder.cradles())});
}
BENCHMARK(BM_IdlePollOtherCradle);

// What the program runs: libusb first, then the virtual cradles.
void BM_IdlePollSystem(benchmark::State& state) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.cradles());
    std::filesystem::permissions(folder.cradles(), std::filesystem::perms::owner_all);
    RunIdlePoll(state, {std::make_shared<LibusbBackend>(),
                        std::make_shared<VirtualCradleBackend>(folder.cradles())});
}
BENCHMARK(BM_IdlePollSystem);

} // namespace

BENCHMARK_MAIN();
