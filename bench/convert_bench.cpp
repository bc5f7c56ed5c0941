// ConvertBlock for every accepted conversion at one second of input, timed
// beside a plain memcpy of the same number of output bytes in the same loop,
// so the ratio does not depend on the machine's speed or load.
//
//   build/release/bench/convert_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "convert.h"

namespace {

using namespace sonivel;

struct Case {
    WAVEFORMAT in;
    OutputChoice choice;
};

void BM_Convert(benchmark::State& state, Case c) {
    const WAVEFORMATEX out = SelectOutputFormat(c.choice);
    const BlockParams p = ComputeBlockParams(c.in, out, c.choice.effects);
    std::vector<std::uint8_t> in(kSampleBufferBytes), dst(kSampleBufferBytes),
        copy(kSampleBufferBytes);
    std::uint32_t x = 12345;
    for (auto& b : in) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    const std::size_t outBytes = static_cast<std::size_t>(p.FullBlockBytes);

    using Clock = std::chrono::steady_clock;
    double convertSeconds = 0, copySeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        ConvertBlock(c.in, out, p, in.data(), p.BlockInBytes, dst.data());
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        std::memcpy(copy.data(), in.data(), outBytes);
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        const double conv = std::chrono::duration<double>(t1 - t0).count();
        convertSeconds += conv;
        copySeconds += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(conv);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["convert_us"] = convertSeconds / n * 1e6;
    state.counters["copy_us"] = copySeconds / n * 1e6;
    state.counters["ratio"] = convertSeconds / copySeconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(outBytes) * state.iterations());
}

std::string Name(const WAVEFORMAT& in, const WAVEFORMATEX& out, bool effect) {
    auto fmt = [](std::uint32_t rate, int bits, int ch) {
        return std::to_string(rate) + "/" + std::to_string(bits) + "/" + (ch == 2 ? "st" : "mo");
    };
    return fmt(in.nSamplesPerSec, in.nBlockAlign * 8 / in.nChannels, in.nChannels) + "->" +
           fmt(out.nSamplesPerSec, out.wBitsPerSample, out.nChannels) + (effect ? "+fx" : "");
}

int Register() {
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (int bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (int mask = 0; mask < 8; ++mask) {
                    const WAVEFORMAT in = WAVEFORMAT::Pcm(ch, rate, bits);
                    const OutputChoice choice{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, true};
                    const WAVEFORMATEX out = SelectOutputFormat(choice);
                    if (CheckQuality(in, out).Any()) continue;
                    if (ComputeBlockParams(in, out, true).PlainCopy) continue;
                    const bool effect = ch == 1 && out.nChannels == 2;
                    benchmark::RegisterBenchmark(Name(in, out, effect).c_str(), BM_Convert, Case{in, choice})
                        ->UseManualTime()
                        ->Unit(benchmark::kMicrosecond);
                }
    return 0;
}

const int registered = Register();

}  // namespace

BENCHMARK_MAIN();
