// A read and a write through the simulated cradle with a real 1 ms delay on every exchange.
// "ratio" is wall time / (exchanges x delay): how close the procedures come to the time the
// link itself takes. The status blinks are left out (the sleeper returns at once).

#include "link/sim/InProcessCradleBackend.h"
#include "programming/TransferWorkers.h"

#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kExchangeDelay{1};

// Does nothing the window would do; the procedures still make every call.
class SilentHost : public ProgrammingHost {
public:
    void EnableTransferButtons(bool) override {}
    MessageAnswer ShowMessage(const MessageRequest&) override { return MessageAnswer::Ok; }
    void SetStatusText(const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressStep(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void DecodeImage() override {}
    void RebuildTabs() override {}
    void ShowSettings() override {}
    void GatherPages() override {}
    void LoadGeneralPage() override {}
    void IncrementCapcodes() override {}
};

struct TimedRig {
    TimedRig() {
        const PagerImage pager = MakeFactoryPager(FactoryPager::V2);
        cradle = std::make_shared<CradleSimulator>(pager);
        CradleFaultPlan plan;
        plan.replyDelay = kExchangeDelay;
        cradle->SetFaults(plan);
        backend->AddCradle(cradle);
        context.usb = MakeLayerOver(backend);
        context.channel = std::make_unique<CC8051f320Usb>(*context.usb);
        context.channel->Open(kCradleDeviceString);
        context.image = pager;
        context.settings.capcodes = {1234567, 0, 0, 0, 0, 0, 0, 0};
    }

    std::shared_ptr<CradleSimulator> cradle;
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(std::make_shared<SteadyLinkClock>());
    ProgrammerContext context;
    SilentHost host;
    Sleeper noSleep = [](std::chrono::milliseconds) {};
};

void RunTransfer(benchmark::State& state,
                 TransferOutcome (*procedure)(ProgrammerContext&, ProgrammingHost&,
                                              const Sleeper&)) {
    TimedRig rig;
    std::uint64_t exchanges = 0;
    std::chrono::duration<double> wall{0};
    for (auto _ : state) {
        const std::uint64_t before = rig.cradle->exchangeCount();
        const auto start = std::chrono::steady_clock::now();
        rig.context.state.busy = true;
        procedure(rig.context, rig.host, rig.noSleep);
        wall += std::chrono::steady_clock::now() - start;
        exchanges += rig.cradle->exchangeCount() - before;
    }
    if (!rig.context.channel->IsOpen()) {
        state.SkipWithError("the link failed");
        return;
    }
    state.counters["exchanges"] =
        static_cast<double>(exchanges) / static_cast<double>(state.iterations());
    state.counters["ratio"] =
        wall / (static_cast<double>(exchanges) * std::chrono::duration<double>(kExchangeDelay));
}

void BM_Read(benchmark::State& state) {
    RunTransfer(state, &RunReadWorker);
}

// The floor for "ratio" on this machine: the simulator's 1 ms sleep alone, as often as a read
// exchanges frames. What a read or write adds beyond this is the procedures' own cost.
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
    RunTransfer(state, &RunWriteWorker);
}

BENCHMARK(BM_DelayAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    // The default 50 us timer slack would be added to every 1 ms delay; the figure is meant to
    // show the procedures' own overhead.
    prctl(PR_SET_TIMERSLACK, 1UL);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
