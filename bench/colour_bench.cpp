// Cost of each colour stage and of the whole pipeline, per colour, over a
// fixed pseudo-random set of samples; and the time to name every 24-bit colour.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "colour_pipeline.h"
#include "debug_output.h"

namespace {

using namespace tintora;

constexpr std::size_t kSetSize = 4096;

const std::vector<ColorRef>& Samples() {
  static const std::vector<ColorRef> samples = [] {
    std::vector<ColorRef> v(kSetSize);
    std::uint32_t state = 0x2545F491u;  // xorshift32, fixed seed: same set every run
    for (auto& c : v) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      c = state & 0xFFFFFFu;
    }
    return v;
  }();
  return samples;
}

const std::vector<XyzColor>& SampleXyz() {
  static const std::vector<XyzColor> xyz = [] {
    std::vector<XyzColor> v;
    for (ColorRef c : Samples()) v.push_back(SrgbToXyz(c));
    return v;
  }();
  return xyz;
}

const std::vector<AppearanceColor>& SampleAppearance() {
  static const std::vector<AppearanceColor> out = [] {
    std::vector<AppearanceColor> v;
    for (const XyzColor& x : SampleXyz()) v.push_back(XyzToAppearance(x));
    return v;
  }();
  return out;
}

void CountColours(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_SrgbToXyz(benchmark::State& state) {
  const auto& samples = Samples();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SrgbToXyz(samples[i++ % kSetSize]));
  }
  CountColours(state);
}
BENCHMARK(BM_SrgbToXyz);

void BM_XyzToAppearance(benchmark::State& state) {
  const auto& xyz = SampleXyz();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(XyzToAppearance(xyz[i++ % kSetSize]));
  }
  CountColours(state);
}
BENCHMARK(BM_XyzToAppearance);

void BM_NameColor(benchmark::State& state) {
  const auto& appearance = SampleAppearance();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NameColor(appearance[i++ % kSetSize]));
  }
  CountColours(state);
}
BENCHMARK(BM_NameColor);

void BM_WholePipeline(benchmark::State& state) {
  const auto& samples = Samples();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NameColor(XyzToAppearance(SrgbToXyz(samples[i++ % kSetSize]))));
  }
  CountColours(state);
}
BENCHMARK(BM_WholePipeline);

// The same, with a debug sink installed, as the Windows label has, where
// the two diagnostic lines are always formatted and written.
void DiscardLine(const Utf16Char*, void*) {}
void BM_WholePipelineWithDiagnostics(benchmark::State& state) {
  SetDebugSink(DiscardLine, nullptr);
  const auto& samples = Samples();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NameColor(XyzToAppearance(SrgbToXyz(samples[i++ % kSetSize]))));
  }
  ResetDebugSink();
  CountColours(state);
}
BENCHMARK(BM_WholePipelineWithDiagnostics);

void BM_EveryColour(benchmark::State& state) {
  for (auto _ : state) {
    for (ColorRef c = 0; c <= 0xFFFFFFu; ++c) {
      benchmark::DoNotOptimize(NameColor(XyzToAppearance(SrgbToXyz(c))));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 0x1000000);
}
BENCHMARK(BM_EveryColour)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
