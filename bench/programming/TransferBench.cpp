// The transfer core's read and write through the simulated cradle with a real 1 ms delay on
// every exchange. "ratio" is wall time / (exchanges x delay): how close the transfers come to
// the time the link itself takes.

#include "link/sim/InProcessCradleBackend.h"
#include "programming/transfer/PagerTransfer.h"

#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kExchangeDelay{1};

struct TimedRig {
    TimedRig() {
        const PagerImage pager = MakeFactoryPager(FactoryPager::V2);
        cradle = std::make_shared<CradleSimulator>(pager);
        CradleFaultPlan plan;
        plan.replyDelay = kExchangeDelay;
        cradle->SetFaults(plan);
        backend->AddCradle(cradle);
        channel.Open(kCradleDeviceString);
        image = pager;
    }

    std::shared_ptr<CradleSimulator> cradle;
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(std::make_shared<SteadyLinkClock>());
    std::unique_ptr<UsbDeviceLayer> usb = MakeLayerOver(backend);
    CC8051f320Usb channel{*usb};
    TransferState frames;
    CradleProtocol link{channel, frames};
    PagerImage image{};
    PagerImage memory{};
};

void RunTransfer(benchmark::State& state, TransferOutcome (*transfer)(TimedRig&)) {
    TimedRig rig;
    std::uint64_t exchanges = 0;
    std::chrono::duration<double> wall{0};
    for (auto _ : state) {
        const std::uint64_t before = rig.cradle->exchangeCount();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(transfer(rig));
        wall += std::chrono::steady_clock::now() - start;
        exchanges += rig.cradle->exchangeCount() - before;
    }
    if (!rig.channel.IsOpen()) {
        state.SkipWithError("the link failed");
        return;
    }
    state.counters["exchanges"] =
        static_cast<double>(exchanges) / static_cast<double>(state.iterations());
    state.counters["ratio"] =
        wall / (static_cast<double>(exchanges) * std::chrono::duration<double>(kExchangeDelay));
}

void BM_Read(benchmark::State& state) {
    RunTransfer(state, [](TimedRig& rig) { return ReadPagerMemory(rig.link, rig.memory); });
}

// The floor for "ratio" on this machine: the simulator's 1 ms sleep alone, as often as a read
// exchanges frames. What a read or write adds beyond this is the transfers' own cost.
void BM_DelayAlone(benchmark::State& state) {
    SteadyLinkClock clock;
    constexpr int kReadExchanges = 276;
    std::chrono::duration<double> wall{0};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int exchange = 0; exchange < kReadExchanges; ++exchange) {
            clock.SleepFor(kExchangeDelay);
        }
        wall += std::chrono::steady_clock::now() - start;
    }
    state.counters["ratio"] = wall / (static_cast<double>(kReadExchanges * state.iterations()) *
                                      std::chrono::duration<double>(kExchangeDelay));
}
void BM_Write(benchmark::State& state) {
    RunTransfer(state, [](TimedRig& rig) {
        return IdentifyAndWrite(rig.link, rig.image, Generation::V2, true);
    });
}

BENCHMARK(BM_DelayAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    // The default 50 us timer slack would be added to every 1 ms delay; the figure is meant to
    // show the transfers' own overhead.
    prctl(PR_SET_TIMERSLACK, 1UL);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
