// Micro-benchmarks of the engine's stages on a C-array input (Google Benchmark):
//   build/bench/engine_bench [--benchmark_filter=...]

#include "engine/engine.h"
#include "text/cp936.h"

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

class NullSink final : public platform::ByteSink {
public:
    void write(std::string_view bytes) override { benchmark::DoNotOptimize(bytes.data()); }
};

void BM_DecodeCp936(benchmark::State& state) {
    const std::string bytes = cArrayBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::u16string text;
        text::Cp936Decoder decoder;
        decoder.decode(bytes, text, true);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeCp936)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// The window's first pass: the box's text, 64 characters at a time.
void BM_CountBlocksText(benchmark::State& state) {
    const std::string bytes = cArrayBytes(static_cast<std::size_t>(state.range(0)));
    const std::u16string text(bytes.begin(), bytes.end());
    for (auto _ : state) {
        DelimiterStripper stripper;
        std::uint64_t others = 0;
        auto other = [&others](char16_t) { ++others; };
        benchmark::DoNotOptimize(
            stripper.countBlocks(text.data(), text.size(), true, RadixMode::Hexadecimal, other) +
            others);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CountBlocksText)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// The command line's second pass over a file's bytes: digits out, character by character
// against 64 at a time.
void BM_FileDigits(benchmark::State& state) {
    const std::string bytes = cArrayBytes(static_cast<std::size_t>(state.range(0)));
    std::string digits(bytes.size(), '\0');
    for (auto _ : state) {
        FileDigitStream stream;
        std::size_t used = 0;
        auto collect = [&](char16_t c) { digits[used++] = static_cast<char>(c); };
        stream.feedDigits(bytes, true, collect);
        benchmark::DoNotOptimize(used);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_FileDigits)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_WriteMif(benchmark::State& state) {
    const std::size_t words = static_cast<std::size_t>(state.range(0));
    std::string digits;
    for (std::size_t i = 0; i < words; ++i)
        digits += "a5";
    const WordLayout layout = ComputeLayout(RadixMode::Hexadecimal, 8, digits.size());
    for (auto _ : state) {
        NullSink sink;
        MifWriter writer(sink, RadixMode::Hexadecimal, layout, FixedClock());
        writer.addDigits(digits);
        writer.finish();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(words));
}
BENCHMARK(BM_WriteMif)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
