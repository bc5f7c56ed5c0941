#include "convert.h"

#include "interpolate.h"

namespace sonivel {

WAVEFORMATEX SelectOutputFormat(const OutputChoice& choice) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nSamplesPerSec = choice.rate44100 ? 44100 : 22050;
    f.wBitsPerSample = choice.bits16 ? 16 : 8;
    f.nChannels = choice.stereo ? 2 : 1;
    f.nBlockAlign = static_cast<std::uint16_t>(f.wBitsPerSample / 8 * f.nChannels);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

bool AboveEveryOutput(const WAVEFORMAT& in) {
    return in.nSamplesPerSec > 44100 || InputBits(in) > 16 || in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
}

WAVEFORMATEX AsIsFormat(const WAVEFORMAT& in) {
    WAVEFORMATEX f;
    f.wFormatTag = in.wFormatTag;
    f.nChannels = in.nChannels;
    f.nSamplesPerSec = in.nSamplesPerSec;
    f.nAvgBytesPerSec = in.nAvgBytesPerSec;
    f.nBlockAlign = in.nBlockAlign;
    f.wBitsPerSample = static_cast<std::uint16_t>(InputBits(in));
    return f;
}

WAVEFORMATEX OutputFormatFor(const WAVEFORMAT& in, const OutputChoice& choice) {
    return AboveEveryOutput(in) ? AsIsFormat(in) : SelectOutputFormat(choice);
}

QualityShortfall CheckQuality(const WAVEFORMAT& in, const WAVEFORMATEX& out) {
    QualityShortfall s;
    s.rate = out.nSamplesPerSec < in.nSamplesPerSec;
    s.channels = out.nChannels < in.nChannels;
    s.bits = InputBits(in) > out.wBitsPerSample;
    return s;
}

OutputChoice RaiseOutput(OutputChoice choice, const QualityShortfall& shortfall) {
    if (shortfall.rate) choice.rate44100 = true;
    if (shortfall.channels) choice.stereo = true;
    if (shortfall.bits) choice.bits16 = true;
    return choice;
}

BlockParams ComputeBlockParams(const WAVEFORMAT& in, const WAVEFORMATEX& out, bool stereoEffects,
                               bool bandLimited) {
    BlockParams p;
    if (in.nSamplesPerSec == 0 || in.nAvgBytesPerSec == 0) return p;
    const std::uint32_t r = out.nSamplesPerSec / in.nSamplesPerSec;
    p.RateRatio = static_cast<std::int32_t>(r);
    p.PlainCopy = out.nSamplesPerSec == in.nSamplesPerSec && out.nChannels == in.nChannels &&
                  InputBits(in) == out.wBitsPerSample && out.wFormatTag == in.wFormatTag;
    p.OutFrameBytes = out.nBlockAlign;
    p.BlockInBytes = static_cast<std::int32_t>(in.nAvgBytesPerSec);
    p.BlockOutBytes = static_cast<std::int32_t>(out.nAvgBytesPerSec);
    p.ExpansionFactor = p.BlockOutBytes / p.BlockInBytes;
    if (out.nChannels == 2 && in.nChannels == 1 && stereoEffects)
        p.StereoOffset = static_cast<std::int32_t>(700u * in.nSamplesPerSec / 11025u);
    // A full block advances one second of input, and one frame more when the
    // rate is raised; it writes everything up to the next block's first frame:
    // one second of output, and r frames more (that frame's in-betweens).
    p.FullBlockBytes = static_cast<std::int32_t>(out.nAvgBytesPerSec + (r > 1 ? r * out.nBlockAlign : 0));
    p.BandLimited = bandLimited && (r == 2 || r == 4);
    p.ContextFrames = p.BandLimited ? kInterpolationContext : 0;
    const bool classic = out.nSamplesPerSec == r * in.nSamplesPerSec && (r == 1 || r == 2 || r == 4);
    if (!classic && out.nSamplesPerSec > in.nSamplesPerSec) {
        p.Resampled = true;
        p.BandLimited = false;
        p.RateRatio = 1;
        p.Rates = ReducedRatio(out.nSamplesPerSec, in.nSamplesPerSec);
        p.Table = PhaseTableFor(p.Rates.L);
        p.ContextFrames = kResampleContext;
        p.FullBlockBytes = p.BlockOutBytes;
        // 700/11025 s at any rate: 1400 frames at 22050 Hz, 2800 at 44100.
        p.StereoShift = p.StereoOffset ? static_cast<std::int32_t>(700u * out.nSamplesPerSec / 11025u) : 0;
        p.StereoOffset = LookAheadFrames(p.Rates, p.StereoShift);
    }
    return p;
}

std::int64_t ShortBlockBytes(const WAVEFORMAT& in, const BlockParams& params, std::int32_t blockInBytes,
                             std::int64_t firstFrame) {
    if (!params.Resampled || in.nBlockAlign == 0) return static_cast<std::int64_t>(blockInBytes) * params.ExpansionFactor;
    const std::int64_t frames = blockInBytes / in.nBlockAlign;
    return (FirstOutputFrame(params.Rates, firstFrame + frames) - FirstOutputFrame(params.Rates, firstFrame)) *
           params.OutFrameBytes;
}

std::int64_t ConvertedBytes(const WAVEFORMAT& in, const BlockParams& params, std::int64_t inputBytes,
                            std::int64_t firstFrame) {
    if (inputBytes <= 0 || params.BlockInBytes <= 0) return 0;
    // Full blocks tile the input exactly, so the whole run is the frames
    // whose time falls in it.
    if (params.Resampled && in.nBlockAlign) {
        const std::int64_t frames = inputBytes / in.nBlockAlign;
        return (FirstOutputFrame(params.Rates, firstFrame + frames) - FirstOutputFrame(params.Rates, firstFrame)) *
               params.OutFrameBytes;
    }
    const std::int64_t advance = params.BlockInBytes + (params.RateRatio > 1 ? in.nBlockAlign : 0);
    const std::int64_t full = inputBytes / advance;
    const std::int64_t rest = inputBytes - full * advance;
    return full * params.FullBlockBytes + rest * params.ExpansionFactor;
}

bool OutputFitsWave(const WAVEFORMAT& in, const BlockParams& params, std::int64_t inputBytes) {
    return static_cast<std::int64_t>(OutputHeader::kSize) + ConvertedBytes(in, params, inputBytes) <= kMaxWaveFileBytes;
}

std::int64_t BlockInputSpan(const WAVEFORMAT& in, const BlockParams& params,
                            std::int32_t blockInBytes) {
    return static_cast<std::int64_t>(blockInBytes) +
           static_cast<std::int64_t>(params.StereoOffset + 2 + 2 * params.ContextFrames) * in.nBlockAlign;
}

}  // namespace sonivel
