// A whole silent save run of the render thread on a fuzzed wave file, with
// the output format (the interpolation included), seek position and quality
// answer taken from the input:
// whatever the file holds, the run ends, and the output is either absent or a
// wave file whose header matches its length.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fileio.h"
#include "playthr.h"
#include "support/engine_fakes.h"
#include "waveread.h"

using namespace sonivel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string base = "/tmp/sonivel-save-fuzz-" + std::to_string(getpid());
    const std::string in = base + "-in.wav", out = base + "-out.wav";
    {
        File f = File::Create(in);
        if (!f.IsOpen() || !f.WriteAt(0, data, size) || !f.Close()) return 0;
    }
    std::remove(out.c_str());
    const std::uint8_t a = size ? data[size - 1] : 0;
    const std::uint8_t b = size > 1 ? data[size - 2] : 0;

    test::FakeClock clock;
    test::FakeDevice device(clock);
    test::TestHost host;
    host.currentFile = in;
    host.saveTarget = out;
    host.choice = OutputChoice{(a & 1) != 0, (a & 2) != 0, (a & 4) != 0, (a & 8) != 0, (a & 32) != 0};
    host.answerYes = (a & 16) != 0;
    host.seekPosition = b * 1000 / 255;
    CommandChannel channel;
    clock.WhenIdle([&] { channel.Store(kCmdSave); });
    PlayThread thread(host, device, clock, channel);
    thread.Run();
    if (!thread.Ended() || device.isOpen) __builtin_trap();

    File result = File::OpenRead(out);
    if (result.IsOpen()) {
        const std::int64_t length = result.Size();
        std::uint8_t header[44];
        if (length < 44 || result.ReadAt(0, header, 44) != 44) __builtin_trap();
        if (LoadLE32(header + 4) != length - 8 || LoadLE32(header + 40) != length - 44) __builtin_trap();
        const WaveReadResult saved = ReadWaveFile(out);
        if (!saved.ok()) __builtin_trap();
        // The data is whole output frames; a file raised by a whole ratio
        // (×1, ×2, ×4) turns every input frame into r output frames, the
        // last block's alike, so its data is a whole number of r-frame groups.
        const std::uint32_t frame = saved.info.InFormat.nBlockAlign;
        if (frame == 0 || (length - 44) % frame != 0) __builtin_trap();
        const WaveReadResult source = ReadWaveFile(in);
        if (source.ok() && source.info.InFormat.nSamplesPerSec != 0) {
            const std::uint32_t inRate = source.info.InFormat.nSamplesPerSec;
            const std::uint32_t outRate = saved.info.InFormat.nSamplesPerSec;
            if (outRate % inRate == 0 && outRate / inRate <= 4 && 44100 % inRate == 0) {
                const std::uint32_t group = outRate / inRate * frame;
                if ((length - 44) % group != 0) __builtin_trap();
            }
        }
    }
    return 0;
}
