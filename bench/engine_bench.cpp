// Micro-benchmarks of the engine's stages on a C-array input (Google Benchmark):
//   build/bench/engine_bench [--benchmark_filter=...]

#include "engine/engine.h"
#include "platform/cp936.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tarnwick;

std::string cArrayBytes(std::size_t count) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 5 + count / 8);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned value = static_cast<unsigned>(i * 2654435761u) >> 24;
        text += "0x";
        text += hex[value >> 4];
        text += hex[value & 15];
        text += ',';
        if (i % 16 == 15)
            text += "\r\n";
    }
    return text;
}

class FixedClock final : public platform::Clock {
public:
    std::u16string Date() const override { return u"2026-12-7"; }
    std::u16string Time() const override { return u"10:00:00"; }
};

class NullSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { benchmark::DoNotOptimize(bytes.data()); }
};

void BM_DecodeCp936(benchmark::State& state) {
    const std::string bytes = cArrayBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::DecodeCp936(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeCp936)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_StripDelimiters(benchmark::State& state) {
    const std::u16string text =
        platform::DecodeCp936(cArrayBytes(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(StripDelimiters(text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_StripDelimiters)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_WriteMif(benchmark::State& state) {
    const std::u16string digits = StripDelimiters(
        platform::DecodeCp936(cArrayBytes(static_cast<std::size_t>(state.range(0)))));
    const WordLayout layout = ComputeLayout(RadixMode::Hexadecimal, 1, digits.size());
    const WordList words = SplitWords(digits, layout.digitsPerWord, layout.depth);
    NullSink sink;
    for (auto _ : state)
        WriteMif(sink, RadixMode::Hexadecimal, layout, words, FixedClock());
    state.SetItemsProcessed(state.iterations() * layout.depth);
}
BENCHMARK(BM_WriteMif)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
