// ConvertBlock's hardest cases (raised rates to 44100 Hz 16-bit stereo)
// timed beside a memcpy of the same output bytes, with nothing but the C++
// library, so that the Windows build can be measured under Wine beside the
// Linux one. Prints the best of many rounds per case and the ratio.
//
//   build/release/convert_block_time
//   wine64 build/windows/convert_block_time.exe
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "convert.h"

using namespace sonivel;

int main() {
    std::vector<std::uint8_t> in(kSampleBufferBytes), out(kSampleBufferBytes), copy(kSampleBufferBytes);
    std::uint32_t x = 12345;
    for (auto& b : in) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    const OutputChoice best{true, true, true, true};
    const WAVEFORMATEX target = SelectOutputFormat(best);
    std::printf("%-28s %10s %10s %7s\n", "case", "convert us", "memcpy us", "ratio");
    double worst = 0;
    for (std::uint32_t rate : {11025u, 22050u})
        for (int bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (bool effects : {false, true}) {
                    if (effects && ch == 2) continue;
                    const WAVEFORMAT f = WAVEFORMAT::Pcm(ch, rate, bits);
                    const BlockParams p = ComputeBlockParams(f, target, effects);
                    const auto bytes = static_cast<std::size_t>(p.FullBlockBytes);
                    using Clock = std::chrono::steady_clock;
                    double convert = 1e9, plain = 1e9;
                    for (int round = 0; round < 200; ++round) {
                        const auto t0 = Clock::now();
                        ConvertBlock(f, target, p, in.data(), p.BlockInBytes, out.data());
                        const auto t1 = Clock::now();
                        std::memcpy(copy.data(), in.data(), bytes);
                        const auto t2 = Clock::now();
                        convert = std::min(convert, std::chrono::duration<double, std::micro>(t1 - t0).count());
                        plain = std::min(plain, std::chrono::duration<double, std::micro>(t2 - t1).count());
                    }
                    char name[64];
                    std::snprintf(name, sizeof name, "%u/%d/%s->44100/16/st%s", rate, bits, ch == 2 ? "st" : "mo",
                                  effects ? "+fx" : "");
                    std::printf("%-28s %10.1f %10.1f %7.2f\n", name, convert, plain, convert / plain);
                    worst = std::max(worst, convert / plain);
                    if (copy[0] != in[0] || out.empty()) return 1;  // keeps the copies
                }
    std::printf("worst ratio %.2f\n", worst);
    return 0;
}
