// Speed of the codec: a decode, an encode, and the decode + encode round trip that every
// load-then-save performs. The round trip should stay under 10 microseconds.
#include "image/Generation.h"
#include "image/ImageCodec.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

const LocalDateTime kTime{2026, 3, 5, 10, 20};

PagerImage SampleImage() {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> byte(0, 255);
    PagerImage image{};
    for (std::uint8_t& b : image) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return image;
}

void BM_DecodeImage(benchmark::State& state) {
    const PagerImage image = SampleImage();
    PagerSettings settings;
    for (auto _ : state) {
        DecodeImage(image, Generation::V2, settings);
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(BM_DecodeImage);

void BM_EncodeImage(benchmark::State& state) {
    PagerSettings settings;
    DecodeImage(SampleImage(), Generation::V2, settings);
    PagerImage image{};
    for (auto _ : state) {
        EncodeImage(settings, Generation::V2, kTime, image);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_EncodeImage);

void BM_DecodeEncodeRoundTrip(benchmark::State& state) {
    const PagerImage source = SampleImage();
    PagerImage image{};
    for (auto _ : state) {
        PagerSettings settings;
        DecodeImage(source, Generation::V2, settings);
        EncodeImage(settings, Generation::V2, kTime, image);
        benchmark::DoNotOptimize(image);
    }
    state.counters["target_us"] = 10;
}
BENCHMARK(BM_DecodeEncodeRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
