#include "decoded.h"

#include <sndfile.h>

#include <algorithm>
#include <vector>

namespace sonivel {
namespace {

// libsndfile reads through these, from any ByteSource.
struct Cursor {
    ByteSource* source = nullptr;
    sf_count_t position = 0;
};

sf_count_t Length(void* user) { return static_cast<Cursor*>(user)->source->Size(); }

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    auto* c = static_cast<Cursor*>(user);
    sf_count_t to = offset;
    if (whence == SEEK_CUR) to = c->position + offset;
    else if (whence == SEEK_END) to = c->source->Size() + offset;
    if (to < 0) return -1;
    c->position = to;
    return to;
}

sf_count_t Read(void* dst, sf_count_t count, void* user) {
    auto* c = static_cast<Cursor*>(user);
    if (count <= 0) return 0;
    const std::int64_t got = c->source->ReadAt(c->position, dst, static_cast<std::size_t>(count));
    if (got <= 0) return 0;
    c->position += got;
    return got;
}

sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
sf_count_t Tell(void* user) { return static_cast<Cursor*>(user)->position; }

SF_VIRTUAL_IO kIo = {Length, Seek, Read, Write, Tell};

class DecodedSource final : public ByteSource {
public:
    static std::unique_ptr<DecodedSource> Open(ByteSource& file, std::unique_ptr<ByteSource> owned, DecodedShape* shape) {
        auto d = std::unique_ptr<DecodedSource>(new DecodedSource);
        d->owned_ = std::move(owned);
        d->cursor_.source = &file;
        SF_INFO info{};
        d->sf_ = sf_open_virtual(&kIo, SFM_READ, &info, &d->cursor_);
        if (!d->sf_) return nullptr;
        const int major = info.format & SF_FORMAT_TYPEMASK;
        if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels < 1 || info.channels > 2 ||
            info.samplerate <= 0 || info.frames < 0)
            return nullptr;
        d->channels_ = info.channels;
        d->frames_ = info.frames;
        // GSM 6.10 cannot be sought in: it is decoded whole, and its length
        // is what decodes (the count the header implies may run a block over).
        if (!info.seekable && !d->DecodeWhole()) return nullptr;
        if (shape) *shape = DecodedShape{static_cast<std::uint16_t>(info.channels),
                                         static_cast<std::uint32_t>(info.samplerate), d->frames_};
        return d;
    }
    ~DecodedSource() override {
        if (sf_) sf_close(sf_);
    }

    std::int64_t Size() const override { return frames_ * FrameBytes(); }

    std::int64_t ReadAt(std::int64_t offset, void* dst, std::size_t n) override {
        const std::int64_t frameBytes = FrameBytes();
        if (offset < 0 || offset % frameBytes) return -1;
        const std::int64_t frame = offset / frameBytes;
        const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(n) / frameBytes, frames_ - frame);
        if (want <= 0) return 0;
        const short* from = nullptr;
        sf_count_t got = want;
        if (whole_) {
            from = samples_.data() + frame * channels_;
        } else {
            if (sf_seek(sf_, frame, SEEK_SET) != frame) return -1;
            samples_.resize(static_cast<std::size_t>(want * channels_));
            got = sf_readf_short(sf_, samples_.data(), want);
            if (got < 0) return -1;
            from = samples_.data();
        }
        auto* out = static_cast<std::uint8_t*>(dst);
        for (std::size_t i = 0; i < static_cast<std::size_t>(got * channels_); ++i) {
            const auto u = static_cast<std::uint16_t>(from[i]);
            out[2 * i] = static_cast<std::uint8_t>(u);
            out[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
        }
        return got * frameBytes;
    }

private:
    DecodedSource() = default;

    bool DecodeWhole() {
        // At most 256 MiB of decoded sound: over four hours of 8000 Hz mono.
        constexpr std::int64_t kMaxSamples = std::int64_t{1} << 27;
        constexpr sf_count_t kStep = 65536;
        for (;;) {
            const std::size_t at = samples_.size();
            if (static_cast<std::int64_t>(at) > kMaxSamples) return false;
            samples_.resize(at + static_cast<std::size_t>(kStep * channels_));
            const sf_count_t got = sf_readf_short(sf_, samples_.data() + at, kStep);
            samples_.resize(at + static_cast<std::size_t>(std::max<sf_count_t>(got, 0) * channels_));
            if (got <= 0) break;
        }
        frames_ = static_cast<std::int64_t>(samples_.size()) / channels_;
        whole_ = true;
        return true;
    }
    std::int64_t FrameBytes() const { return 2 * static_cast<std::int64_t>(channels_); }

    std::unique_ptr<ByteSource> owned_;
    Cursor cursor_;
    SNDFILE* sf_ = nullptr;
    int channels_ = 1;
    std::int64_t frames_ = 0;
    std::vector<short> samples_;  // the block read last, or the whole file
    bool whole_ = false;
};

}  // namespace

bool CanDecode() { return true; }

std::unique_ptr<ByteSource> OpenDecoded(ByteSource& file, DecodedShape* shape) {
    return DecodedSource::Open(file, nullptr, shape);
}

std::unique_ptr<ByteSource> OpenDecoded(std::unique_ptr<ByteSource> file, DecodedShape* shape) {
    if (!file) return nullptr;
    ByteSource& ref = *file;
    return DecodedSource::Open(ref, std::move(file), shape);
}

}  // namespace sonivel
